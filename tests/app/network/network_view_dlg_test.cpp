// The network view dialog on the offscreen platform, built from the real resource library.
#include "network_view_dlg.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <memory>

#include "dialog_controls.h"
#include "message_box.h"
#include "posted_messages.h"
#include "resource_library.h"

namespace ovistra::network {
namespace {

using Dlg = CNetworkViewDlg;

class NetworkViewDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources) << error.toStdString();
        platform::MessageBoxes::Instance().Configure(platform::MessageBoxes::Mode::Headless,
                                                     [this](int id) { return resources->Text(id); });
        platform::MessageBoxes::Instance().ClearHistory();
        dialog = std::make_unique<Dlg>(*resources, main.Handle());
        ASSERT_TRUE(dialog->Control(Dlg::kUrlLine));
    }
    // As the main window does: values first, then show; an answer hides it.
    void Open(const NetworkViewValues& values) {
        dialog->hide();
        dialog->SetValues(values);
        dialog->show();
        main.messages.clear();
    }
    template <typename T>
    T* Get(int id) {
        auto* control = qobject_cast<T*>(dialog->Control(id));
        EXPECT_TRUE(control) << id;
        return control;
    }
    void Type(int id, const QString& text) { Get<QLineEdit>(id)->setText(text); }
    QString Url() { return Get<QLabel>(Dlg::kUrlLine)->text(); }
    std::vector<int> Boxes() {
        std::vector<int> ids;
        for (const auto& box : platform::MessageBoxes::Instance().History()) {
            ids.push_back(box.textId);
        }
        return ids;
    }

    std::unique_ptr<ResourceLibrary> resources;
    testing::PostedMessages main;
    std::unique_ptr<Dlg> dialog;
};

TEST_F(NetworkViewDlgTest, OpensWithTheStoredValuesAndHandsBackWhatWasConfirmed) {
    Open({8600, QStringLiteral("127.0.0.1"), {QStringLiteral("home"), QStringLiteral("pw")}});
    EXPECT_TRUE(ovistra::testing::IsChecked(*dialog, Dlg::kOnBox));
    EXPECT_EQ(Get<QSpinBox>(Dlg::kPortEdit)->value(), 8600);
    EXPECT_EQ(Get<QLineEdit>(Dlg::kUserEdit)->text(), QStringLiteral("home"));
    EXPECT_EQ(Get<QLineEdit>(Dlg::kPasswordEdit)->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(Url().contains(QStringLiteral("rtsp://127.0.0.1:8600/camera1"))) << Url().toStdString();

    // The line follows what is typed, before any confirm.
    Get<QSpinBox>(Dlg::kPortEdit)->setValue(9001);
    Type(Dlg::kAddressEdit, QStringLiteral("::1"));
    EXPECT_TRUE(Url().contains(QStringLiteral("rtsp://[::1]:9001/all"))) << Url().toStdString();
    Type(Dlg::kUserEdit, QStringLiteral("viewer"));
    Type(Dlg::kPasswordEdit, QStringLiteral("a:b c"));
    ovistra::testing::ClickControl(*dialog, Dlg::kConfirmButton);
    EXPECT_EQ(main.messages, std::vector<uint32_t>{Dlg::kConfirmed});
    EXPECT_EQ(dialog->values().port, 9001u);
    EXPECT_EQ(dialog->values().bind, QStringLiteral("::1"));
    EXPECT_EQ(dialog->values().credentials.user, QStringLiteral("viewer"));
    EXPECT_EQ(dialog->values().credentials.password, QStringLiteral("a:b c"));

    // Cancel keeps the values it opened with; off hands back port 0 and keeps the port shown.
    Open(dialog->values());
    Get<QSpinBox>(Dlg::kPortEdit)->setValue(7000);
    ovistra::testing::ClickControl(*dialog, Dlg::kCancelButton);
    EXPECT_EQ(main.messages, std::vector<uint32_t>{Dlg::kCancelled});
    EXPECT_EQ(dialog->values().port, 9001u);
    Open(dialog->values());
    ovistra::testing::ClickControl(*dialog, Dlg::kOnBox);
    EXPECT_EQ(Url(), resources->Text(Dlg::kTextOff));
    ovistra::testing::ClickControl(*dialog, Dlg::kConfirmButton);
    EXPECT_EQ(dialog->values().port, 0u);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(NetworkViewDlgTest, RefusesToServeBeyondThisMachineWithoutAUserAndStaysOpen) {
    const struct {
        const char* address;
        const char* user;
        const char* password;
        int box;  // 0: confirmed
    } cases[] = {
        {"0.0.0.0", "", "", Dlg::kTextNeedsUser},
        {"192.168.1.5", "", "ignored", Dlg::kTextNeedsUser},
        {"0.0.0.0", "viewer", "", Dlg::kTextNeedsPassword},
        {"camera-pc", "viewer", "pw", Dlg::kTextNotAnAddress},
        {"0.0.0.0", "viewer", "pw", 0},
        {"127.0.0.1", "", "", 0},
    };
    for (const auto& c : cases) {
        Open({8554, QStringLiteral("127.0.0.1"), {}});
        platform::MessageBoxes::Instance().ClearHistory();
        Type(Dlg::kAddressEdit, QLatin1String(c.address));
        Type(Dlg::kUserEdit, QLatin1String(c.user));
        Type(Dlg::kPasswordEdit, QLatin1String(c.password));
        ovistra::testing::ClickControl(*dialog, Dlg::kConfirmButton);
        if (c.box != 0) {
            EXPECT_EQ(Boxes(), std::vector<int>{c.box}) << c.address;
            EXPECT_TRUE(main.messages.empty()) << c.address;
            EXPECT_EQ(dialog->values().bind, QStringLiteral("127.0.0.1"));
            // Still open and answerable: Cancel goes out.
            ovistra::testing::ClickControl(*dialog, Dlg::kCancelButton);
            EXPECT_EQ(main.messages, std::vector<uint32_t>{Dlg::kCancelled}) << c.address;
        } else {
            EXPECT_TRUE(Boxes().empty()) << c.address;
            EXPECT_EQ(main.messages, std::vector<uint32_t>{Dlg::kConfirmed}) << c.address;
            EXPECT_EQ(dialog->values().bind, QLatin1String(c.address));
        }
    }
}

}  // namespace
}  // namespace ovistra::network
