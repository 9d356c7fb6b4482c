// The motion settings dialog on the offscreen platform, built from the real resource library.
#include "c_motion_set.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QScreen>
#include <QTest>
#include <memory>
#include <vector>

#include "dialog_controls.h"
#include "posted_messages.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

using MainWindowStandIn = testing::PostedMessages;

const std::vector<uint32_t> kConfirmed{ids::kMotionSetConfirmed};
const std::vector<uint32_t> kCancelled{ids::kMotionSetCancelled};

class CMotionSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources) << error.toStdString();
        dialog = std::make_unique<CMotionSet>(*resources, main.Handle());
    }
    // As the main window does: values first, then show; it closes the dialog on the answer.
    void Open(const MotionValues& values) {
        dialog->hide();
        main.messages.clear();
        dialog->SetValues(values);
        dialog->show();
    }
    void Click(int id) { testing::ClickControl(*dialog, id); }
    bool Checked(int id) { return testing::IsChecked(*dialog, id); }

    std::unique_ptr<ResourceLibrary> resources;
    MainWindowStandIn main;
    std::unique_ptr<CMotionSet> dialog;
};

TEST_F(CMotionSetTest, SensitivityShowsTheStoredThresholdAndConfirmKeepsAKnownOne) {
    const struct {
        uint32_t stored;
        int radio;
        uint32_t confirmed;
    } cases[] = {{240, 1118, 240}, {200, 1119, 200}, {50, 1120, 50},
                 {100, 1119, 200}, {0, 1119, 200},   {0xFFFFFFFFu, 1119, 200}};
    for (const auto& c : cases) {
        Open({0, c.stored, 0});
        for (int radio : {1118, 1119, 1120}) {
            EXPECT_EQ(Checked(radio), radio == c.radio) << c.stored << " " << radio;
        }
        Click(CMotionSet::kConfirmButton);
        EXPECT_EQ(dialog->values().senseMode, c.confirmed) << c.stored;
    }
}

TEST_F(CMotionSetTest, BoxesShowTheLowBitsAndConfirmStoresOnlyWhatIsTicked) {
    const int boxes[] = {1048, 1057, 1058, 1059, 1087, 1117};  // cameras 1..4, record, sound
    const struct {
        uint32_t mask, actions;
        uint32_t shown;  // bit k: boxes[k] ticked
        std::vector<int> clicks;
        uint32_t confirmedMask, confirmedActions;
    } cases[] = {{0x1A, 7, 0x3A, {}, 0xA, 3},
                 {0xF, 2, 0x2F, {1048, 1057, 1058, 1059, 1087}, 0, 3},
                 {0, 1, 0x10, {1058, 1087}, 0x4, 0},
                 {0xFFFFFFF0u, 0xFC, 0, {1048, 1059, 1117}, 0x9, 2}};
    for (const auto& c : cases) {
        Open({c.mask, 200, c.actions});
        for (int k = 0; k < 6; ++k) {
            EXPECT_EQ(Checked(boxes[k]), ((c.shown >> k) & 1u) != 0) << c.mask << " " << boxes[k];
        }
        for (int id : c.clicks) {
            Click(id);
        }
        Click(CMotionSet::kConfirmButton);
        EXPECT_EQ(dialog->values().cameraMask, c.confirmedMask) << c.mask;
        EXPECT_EQ(dialog->values().actions, c.confirmedActions) << c.mask;
        EXPECT_EQ(main.messages, kConfirmed) << c.mask;
    }
}

TEST_F(CMotionSetTest, CancelEscapeAndCloseAnswerOnceAndKeepTheValues) {
    enum Way { kButton, kEscape, kClose };
    for (Way way : {kButton, kEscape, kClose}) {
        Open({0x5, 240, 2});
        Click(1048);
        Click(1120);
        Click(1087);
        if (way == kButton) {
            Click(CMotionSet::kCancelButton);
        } else if (way == kEscape) {
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        } else {
            dialog->close();
        }
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(main.messages, kCancelled) << way;
        Click(CMotionSet::kCancelButton);  // a second answer to the same opening is ignored
        Click(CMotionSet::kConfirmButton);
        EXPECT_EQ(main.messages, kCancelled) << way;
        const MotionValues& kept = dialog->values();
        EXPECT_TRUE(kept.cameraMask == 0x5 && kept.senseMode == 240 && kept.actions == 2) << way;
    }
}

TEST_F(CMotionSetTest, EnterConfirmsOnceAndAReopeningShowsTheConfirmedValues) {
    Open({0x1, 200, 0});
    Click(1058);
    Click(1118);
    Click(1117);
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    static_cast<QDialog&>(*dialog).accept();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(main.messages, kConfirmed);
    EXPECT_TRUE(dialog->isVisible());  // closing is the main window's part

    // The main window keeps the dialog and shows it again with its own copy untouched.
    const MotionValues confirmed = dialog->values();
    Open(confirmed);
    EXPECT_TRUE(Checked(1048) && Checked(1058) && !Checked(1057) && !Checked(1059));
    EXPECT_TRUE(Checked(1118) && Checked(1117) && !Checked(1087));
    Click(CMotionSet::kConfirmButton);
    EXPECT_EQ(main.messages, kConfirmed);
    EXPECT_EQ(dialog->values().cameraMask, 0x5u);
}

TEST_F(CMotionSetTest, OpensAtTheTopRightOfTheScreenWithItsSizeKept) {
    Open({});
    const QRect area = dialog->screen()->availableGeometry();
    EXPECT_EQ(dialog->frameGeometry().right(), area.right());
    EXPECT_EQ(dialog->frameGeometry().top(), area.top());
    dialog->resize(dialog->width() + 40, dialog->height() + 30);
    const QSize size = dialog->size();
    Open({});
    EXPECT_EQ(dialog->size(), size);
    EXPECT_EQ(dialog->frameGeometry().right(), area.right());
}

}  // namespace
}  // namespace ovistra
