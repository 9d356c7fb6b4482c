// The colour dialog and its picker offscreen, built from the real resource library: live
// preview, the picker's Cancel, OK, "Default", the range check, the warning of colours too
// close to read and the settings file.
#include "c_set_color.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "c_color_button.h"
#include "custom_settings.h"
#include "dialog_controls.h"
#include "message_box.h"
#include "posted_messages.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

using Messages = std::vector<uint32_t>;
constexpr uint32_t kBackground = ids::kColoursChanged;  // WM_USER+102
constexpr uint32_t kText = ids::kColoursReset;          // WM_USER+103
constexpr int kEdits[] = {1006, 1007, 1008, 1009, 1010, 1055};

class CSetColorTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources) << error.toStdString();
        platform::MessageBoxes::Instance().Configure(platform::MessageBoxes::Mode::Headless, {});
        platform::MessageBoxes::Instance().ClearHistory();
        CurrentColourScheme() = ColourScheme{};
    }
    void TearDown() override { CurrentColourScheme() = ColourScheme{}; }

    void WriteFile(const QByteArray& bytes) {
        QDir(dir.path()).mkpath("customSetting");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray ReadFile() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void Open() {
        dialog = std::make_unique<CSetColor>(*resources, path, main.Handle());
        dialog->show();
        Deliver();  // what earlier steps posted
        main.messages.clear();
    }
    void SetEdits(const std::vector<QString>& texts) {
        for (size_t i = 0; i < texts.size(); ++i) {
            auto* edit = qobject_cast<QLineEdit*>(dialog->Control(kEdits[i]));
            ASSERT_TRUE(edit);
            edit->setText(texts[i]);
        }
    }
    CColorEdit* Pick(int button) {
        testing::ClickControl(*dialog, button);
        return dialog->picker();
    }
    static void Deliver() { QCoreApplication::sendPostedEvents(); }
    static std::vector<int> Boxes() {
        std::vector<int> texts;
        for (const auto& box : platform::MessageBoxes::Instance().History()) {
            texts.push_back(box.textId);
        }
        return texts;
    }

    std::unique_ptr<ResourceLibrary> resources;
    QTemporaryDir dir;
    QString path = dir.filePath("customSetting/CustomSetting.dt");
    testing::PostedMessages main;
    std::unique_ptr<CSetColor> dialog;
};

TEST_F(CSetColorTest, APreviewRepaintsAnExistingButtonAndTellsTheMainWindowOnce) {
    CColorButton elsewhere(QStringLiteral("Exit"));
    elsewhere.resize(100, 30);
    const struct {
        int button;
        uint32_t message;
        QColor face;  // of the other button after the preview
    } cases[] = {{1049, kBackground, QColor(200, 10, 20)}, {1050, kText, QColor(30, 124, 255)}};
    for (const auto& c : cases) {
        Open();
        CColorEdit* picker = Pick(c.button);
        ASSERT_TRUE(picker) << c.button;
        picker->setCurrentColor(QColor(200, 10, 20));
        picker->setCurrentColor(QColor(200, 10, 20));
        Deliver();
        EXPECT_EQ(main.messages, Messages{c.message}) << c.button;
        EXPECT_EQ(elsewhere.grab().toImage().pixelColor(5, 15), c.face) << c.button;
        // Black is where the picker starts, no choice: nothing told, the scheme kept.
        const ColourScheme previewed = CurrentColourScheme();
        picker->setCurrentColor(Qt::black);
        Deliver();
        EXPECT_EQ(main.messages.size(), 1u) << c.button;
        EXPECT_EQ(CurrentColourScheme(), previewed) << c.button;
        // Cancel puts the colour back and tells the main window.
        picker->reject();
        Deliver();
        EXPECT_EQ(main.messages, (Messages{c.message, c.message})) << c.button;
        EXPECT_EQ(CurrentColourScheme(), ColourScheme{}) << c.button;
    }
    EXPECT_EQ(ReadFile(), "") << "made on opening, never written by a preview";
}

TEST_F(CSetColorTest, APickedColourFillsItsEditsAndOkWritesThemKeepingOtherKeys) {
    WriteFile("[Settings]\nPassword=c2VjcmV0\nCheckState=0\n");
    Open();
    CColorEdit* picker = Pick(1050);
    ASSERT_TRUE(picker);
    picker->setCurrentColor(Qt::black);
    picker->accept();
    Deliver();
    EXPECT_EQ(main.messages, Messages{kText}) << "black as the choice is shown at once";
    EXPECT_EQ(qobject_cast<QLineEdit*>(dialog->Control(1055))->text(), "0");
    qobject_cast<QLineEdit*>(dialog->Control(1006))->setText(" 12");
    main.messages.clear();
    testing::ClickControl(*dialog, CSetColor::kConfirmButton);
    const ColourScheme confirmed{12, 124, 255, 0, 0, 0};
    EXPECT_EQ(main.messages, (Messages{kBackground, kText}));
    EXPECT_EQ(CurrentColourScheme(), confirmed);
    const CustomSettings file(path);
    EXPECT_EQ(file.LoadColourScheme(), confirmed);
    EXPECT_EQ(file.LoadCheckState(), 1);
    EXPECT_EQ(file.LoadPassword(), "c2VjcmV0");
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(CSetColorTest, DefaultWritesTheDefaultSchemeAndKeepsTheOtherKeys) {
    WriteFile("; mine\r\n[Settings]\r\nBGColorRed=9\r\nFGColorBlue=9\r\nPassword=c2VjcmV0\r\n");
    CurrentColourScheme() = {9, 9, 9, 9, 9, 9};
    Open();
    testing::ClickControl(*dialog, CSetColor::kDefaultButton);
    EXPECT_EQ(main.messages, (Messages{kBackground, kText}));
    EXPECT_EQ(CurrentColourScheme(), ColourScheme{});
    EXPECT_EQ(ReadFile(),
              "; mine\r\n[Settings]\r\nBGColorRed=30\r\nFGColorBlue=100\r\nPassword=c2VjcmV0\r\n"
              "BGColorGreen=124\r\nBGColorBlue=255\r\nFGColorRed=0\r\nFGColorGreen=255\r\n"
              "CheckState=1\r\n");
}

TEST_F(CSetColorTest, AnEditOutsideTheRangeStopsOkAndThePickerWithTheRangeMessage) {
    WriteFile("[Settings]\nPassword=c2VjcmV0\n");
    const QByteArray before = ReadFile();
    for (const char* text : {"256", "-1", "abc", "", "1e2"}) {
        for (int button : {CSetColor::kConfirmButton, 1049}) {
            Open();
            SetEdits({"1", "2", "3", "4", "5", text});
            platform::MessageBoxes::Instance().ClearHistory();
            testing::ClickControl(*dialog, button);
            const std::string what = std::string(text) + " " + std::to_string(button);
            EXPECT_EQ(Boxes(), std::vector<int>{ids::kTextColourRange}) << what;
            EXPECT_TRUE(main.messages.empty()) << what;
            EXPECT_TRUE(dialog->isVisible() && !dialog->picker()) << what;
            EXPECT_EQ(ReadFile(), before) << what;
        }
    }
}

TEST_F(CSetColorTest, CancelTakesBackWhatThePickerConfirmed) {
    Open();
    CColorEdit* picker = Pick(1049);
    ASSERT_TRUE(picker);
    picker->setCurrentColor(QColor(50, 60, 70));
    picker->accept();
    Deliver();
    main.messages.clear();
    testing::ClickControl(*dialog, CSetColor::kCancelButton);
    EXPECT_EQ(main.messages, Messages{kBackground});
    EXPECT_EQ(CurrentColourScheme(), ColourScheme{});
}

TEST_F(CSetColorTest, OpeningAFileNotSetUpCreatesItClosedWithoutEmptyingIt) {
    const QFile::Permissions others = QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther;
    const QByteArray kept = "[Settings]\nCheckState=0\nPassword=c2VjcmV0\n";
    for (const QByteArray& stored : {QByteArray(), kept}) {
        QDir(dir.filePath("customSetting")).removeRecursively();
        if (!stored.isEmpty()) {
            WriteFile(stored);
        }
        Open();
        EXPECT_EQ(ReadFile(), stored);
        EXPECT_FALSE(QFile::permissions(path) & others);
        EXPECT_FALSE(QFile::permissions(dir.filePath("customSetting")) & others);
    }
}

TEST_F(CSetColorTest, AFailedWriteIsReportedAndTheSchemeStillApplies) {
    // A file where the folder should be: neither the folder nor the file can be made.
    QFile blocker(dir.filePath("customSetting"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Open();
    SetEdits({"1", "2", "3", "250", "251", "252"});
    testing::ClickControl(*dialog, CSetColor::kConfirmButton);
    EXPECT_EQ(Boxes(), std::vector<int>{ids::kTextColoursNotSaved});
    EXPECT_EQ(main.messages, (Messages{kBackground, kText}));
    EXPECT_EQ(CurrentColourScheme(), (ColourScheme{1, 2, 3, 250, 251, 252}));
}

TEST_F(CSetColorTest, TheWarningLineFollowsTheColoursAsTypedAndAsPreviewed) {
    Open();
    QLabel* warning = dialog->contrastWarning();
    ASSERT_TRUE(warning);
    EXPECT_TRUE(warning->isVisible() && warning->text().contains("2.8:1")) << "the default pair";
    const struct {
        std::vector<QString> edits;
        const char* ratio;  // shown; none: hidden
    } cases[] = {
        {{"120", "120", "120", "120", "120", "120"}, "1.0:1"},  // one colour for both
        {{"0", "0", "0", "89", "89", "89"}, "2.9:1"},           // just short of 3:1
        {{"0", "0", "0", "90", "90", "90"}, nullptr},
        {{"9", "9", "9", "9", "9", "256"}, nullptr},  // out of range: the range check speaks
    };
    for (const auto& c : cases) {
        SetEdits(c.edits);
        EXPECT_EQ(warning->isVisible(), c.ratio != nullptr) << c.edits[3].toStdString();
        if (c.ratio) {
            EXPECT_TRUE(warning->text().contains(c.ratio)) << warning->text().toStdString();
        }
    }
    SetEdits({"0", "0", "0", "90", "90", "90"});
    CColorEdit* picker = Pick(1050);
    ASSERT_TRUE(picker);
    picker->setCurrentColor(QColor(10, 10, 10));
    EXPECT_TRUE(warning->isVisible()) << "a preview counts before it is chosen";
    picker->reject();
    EXPECT_FALSE(warning->isVisible()) << "the picker's Cancel goes back to the edits";
}

TEST_F(CSetColorTest, OkAsksBeforeKeepingANewPairTooCloseToReadAndKeepsItOnYes) {
    WriteFile("[Settings]\nPassword=c2VjcmV0\n");
    const QByteArray before = ReadFile();
    Open();
    SetEdits({"40", "40", "40", "50", "50", "50"});
    testing::ClickControl(*dialog, CSetColor::kConfirmButton);  // answered No, the default
    EXPECT_EQ(Boxes(), std::vector<int>{CSetColor::kTextContrastQuestion});
    EXPECT_TRUE(dialog->isVisible() && main.messages.empty());
    EXPECT_EQ(ReadFile(), before);

    platform::MessageBoxes::Instance().QueueAnswer(platform::MessageAnswer::Yes);
    testing::ClickControl(*dialog, CSetColor::kConfirmButton);
    const ColourScheme kept{40, 40, 40, 50, 50, 50};
    EXPECT_EQ(main.messages, (Messages{kBackground, kText}));
    EXPECT_EQ(CustomSettings(path).LoadColourScheme(), kept);

    // Kept once, the pair is not asked about again; nor is the default pair.
    for (int button : {CSetColor::kConfirmButton, CSetColor::kDefaultButton}) {
        Open();
        platform::MessageBoxes::Instance().ClearHistory();
        testing::ClickControl(*dialog, button);
        EXPECT_TRUE(Boxes().empty()) << button;
        EXPECT_FALSE(dialog->isVisible()) << button;
    }
}

}  // namespace
}  // namespace ovistra
