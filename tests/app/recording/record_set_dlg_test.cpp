// The record settings dialog on the offscreen platform, built from the real resource library:
// the time stamp boxes, what confirm and cancel hand back, the disk line, the frame-rate range.
#include "record_set_dlg.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <vector>

#include "message_box.h"
#include "dialog_controls.h"
#include "posted_messages.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

using MainWindowStandIn = testing::PostedMessages;

class RecordSetDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources) << error.toStdString();
        platform::MessageBoxes::Instance().Configure(
            platform::MessageBoxes::Mode::Headless, [this](int id) { return resources->Text(id); });
        values.recordPath = dir.path();
    }

    // Opened as the main window opens it; the folder browser would fail the test if shown.
    CRecordSetDlg& Open() {
        dialog = std::make_unique<CRecordSetDlg>(values, *resources, main.Handle());
        dialog->SetFolderChooser([](QWidget*, const QString&, const QString&) {
            ADD_FAILURE() << "folder browser opened";
            return QString();
        });
        dialog->show();
        return *dialog;
    }
    void Click(int id) { testing::ClickControl(*dialog, id); }
    bool Checked(int id) { return testing::IsChecked(*dialog, id); }
    QSpinBox* Spin(int id) { return qobject_cast<QSpinBox*>(dialog->Control(id)); }

    QTemporaryDir dir;
    std::unique_ptr<ResourceLibrary> resources;
    RegistrySettings values;
    MainWindowStandIn main;
    std::unique_ptr<CRecordSetDlg> dialog;
};

TEST_F(RecordSetDlgTest, TimeStampBoxesKeepTheAllCamerasBoxInStepAndConfirmStoresTheMask) {
    struct Case {
        uint32_t mask;
        std::vector<int> clicks;
        bool allChecked;
        uint32_t stored;
    };
    const Case cases[] = {
        {0, {1057, 1058, 1059, 1060}, true, 15},
        {0, {1060, 1058, 1057, 1059}, true, 15},
        {0, {1057, 1058, 1059}, false, 7},
        {15, {1058}, false, 13},
        {0, {1048}, true, 15},
        {15, {1048}, false, 0},
        {5, {1058, 1060}, true, 15},
    };
    for (const Case& c : cases) {
        values.timeStamp = c.mask;
        Open();
        for (int id : c.clicks) {
            Click(id);
        }
        EXPECT_EQ(Checked(1048), c.allChecked) << c.mask << " then " << c.clicks.size();
        Click(CRecordSetDlg::kConfirmButton);
        EXPECT_EQ(dialog->settings().timeStamp, c.stored) << c.mask << " then " << c.clicks.size();
    }
}

TEST_F(RecordSetDlgTest, CancelHandsBackTheOpeningValuesAndConfirmTheEditedOnes) {
    values.frameRate = {5, 6, 7, 8};
    for (int button : {CRecordSetDlg::kCancelButton, CRecordSetDlg::kConfirmButton}) {
        main.messages.clear();
        Open();
        Spin(1051)->setValue(20);
        Click(button);
        const bool confirmed = button == CRecordSetDlg::kConfirmButton;
        // Both answers hand the copy back; a cancelled one holds the opening values.
        EXPECT_EQ(main.messages, std::vector<uint32_t>{ids::kRecordSetConfirmed});
        RegistrySettings mainCopy;
        dialog->CopyRecordValuesTo(mainCopy);
        EXPECT_EQ(mainCopy.frameRate[1], confirmed ? 20u : 6u);
        EXPECT_EQ(mainCopy.frameRate[0], 5u);
    }
}

TEST_F(RecordSetDlgTest, DiskLineShowsTotalAndFreeSizeOfTheRecordFileSystem) {
    auto expected = [this] {
        struct statvfs fs {};
        EXPECT_EQ(statvfs(QFile::encodeName(dir.path()).constData(), &fs), 0);
        const double gib = 1024.0 * 1024.0 * 1024.0;
        return resources->Text(198) +
               QString::asprintf(" %.1fG       ", double(fs.f_blocks) * fs.f_frsize / gib) +
               resources->Text(180) +
               QString::asprintf(" %.1fG", double(fs.f_bavail) * fs.f_frsize / gib);
    };
    const QString before = expected();
    // A record folder not made yet is on the disk of its nearest existing parent.
    values.recordPath = dir.filePath("not/made/yet");
    Open();
    auto* line = qobject_cast<QLabel*>(dialog->Control(CRecordSetDlg::kDiskLine));
    ASSERT_TRUE(line);
    const QString shown = line->text();
    const QString after = expected();
    EXPECT_TRUE(shown == before || shown == after) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(resources->Text(198) + " ")) << shown.toStdString();
}

TEST_F(RecordSetDlgTest, AccountSwitchIsNotOfferedAndNeverChanged) {
    for (uint16_t flag : {0, 1}) {
        values.enableLua = flag;
        Open();
        EXPECT_FALSE(dialog->Control(1156)->isVisible());
        EXPECT_FALSE(dialog->Control(1157)->isVisible());
        EXPECT_FALSE(dialog->Control(1157)->parentWidget()->isVisible());  // nor its frame
        Click(CRecordSetDlg::kConfirmButton);
        EXPECT_EQ(dialog->settings().enableLua, flag);
    }
}

TEST_F(RecordSetDlgTest, TheFolderLineShowsWhereRecordingsGoAndAnEmptyPathIsTheVideosFolder) {
    const QString videos =
        QDir(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation)).filePath("Quorvane");
    const QString said = resources->Text(CRecordSetDlg::kTextFolderUsed) + " ";
    ASSERT_NE(said, " ");
    values.recordPath.clear();
    Open();
    auto* edit = qobject_cast<QLineEdit*>(dialog->Control(CRecordSetDlg::kRecordPathEdit));
    auto* line = qobject_cast<QLabel*>(dialog->Control(CRecordSetDlg::kFolderLine));
    auto* disk = qobject_cast<QLabel*>(dialog->Control(CRecordSetDlg::kDiskLine));
    ASSERT_TRUE(edit && line && disk);
    EXPECT_TRUE(edit->text().isEmpty());  // the setting stays as stored
    EXPECT_EQ(edit->placeholderText(), videos);
    EXPECT_EQ(line->text(), said + videos);
    EXPECT_FALSE(disk->text().isEmpty());  // the disk the videos folder will be made on
    // The line follows what is typed, a path that is no folder included.
    const struct {
        QString typed, shown;
    } cases[] = {{dir.filePath("typed"), dir.filePath("typed")},
                 {"relative", videos},
                 {"/", videos},
                 {"", videos}};
    for (const auto& c : cases) {
        edit->setText(c.typed);
        EXPECT_EQ(line->text(), said + c.shown) << c.typed.toStdString();
    }
    Click(CRecordSetDlg::kConfirmButton);
    EXPECT_TRUE(dialog->settings().recordPath.isEmpty());
}

TEST_F(RecordSetDlgTest, FrameRatesStayWithinOneToThirty) {
    const struct {
        uint32_t stored;
        uint32_t confirmed;
    } cases[] = {{0, 1}, {1, 1}, {12, 12}, {30, 30}, {45, 30}, {4000000000u, 30}};
    for (const auto& c : cases) {
        values.frameRateAll = c.stored;
        values.frameRate.fill(c.stored);
        Open();
        for (int id : {1055, 1146, 1051, 1155, 1050}) {
            ASSERT_TRUE(Spin(id)) << id;
            EXPECT_EQ(Spin(id)->minimum(), 1);
            EXPECT_EQ(Spin(id)->maximum(), 30);
        }
        Click(CRecordSetDlg::kConfirmButton);
        EXPECT_EQ(dialog->settings().frameRateAll, c.confirmed) << c.stored;
        for (uint32_t rate : dialog->settings().frameRate) {
            EXPECT_EQ(rate, c.confirmed) << c.stored;
        }
    }
}

TEST_F(RecordSetDlgTest, SoundAndModeRadiosRoundTrip) {
    // Camera 9 comes from a hand-edited key: no sound, not a stray control.
    const struct {
        uint32_t audio;
        bool circular;
        int radio;
        uint32_t confirmed;
    } cases[] = {{0, false, 1111, 0}, {1, true, 1107, 1}, {4, false, 1110, 4}, {9, true, 1111, 0}};
    for (const auto& c : cases) {
        values.cameraAudio = c.audio;
        values.recordMode = c.circular;
        Open();
        EXPECT_TRUE(Checked(c.radio)) << c.audio;
        EXPECT_TRUE(Checked(c.circular ? 1113 : 1112));
        Click(CRecordSetDlg::kConfirmButton);
        EXPECT_EQ(dialog->settings().cameraAudio, c.confirmed);
        EXPECT_EQ(dialog->settings().recordMode, c.circular);
    }
}

TEST_F(RecordSetDlgTest, TheSoundInputListOffersTheInputsThereAndKeepsAStoredOneThatIsNot) {
    const QString automatic = resources->Text(CRecordSetDlg::kTextAutomaticInput);
    const QString absent = resources->Text(CRecordSetDlg::kTextAbsentInput);
    const QStringList there{"USB 2.0 A/V Converter Audio", "Built-in Audio Analog Stereo"};
    const struct {
        QString stored;
        int pick;  // the entry the user takes; -1 none
        QStringList shown;
        QString shownCurrent;
        QString confirmed;
    } cases[] = {
        {"", -1, {automatic, there[0], there[1]}, automatic, ""},
        {"", 2, {automatic, there[0], there[1]}, automatic, there[1]},
        {there[0], 0, {automatic, there[0], there[1]}, there[0], ""},
        // Unplugged for now: still the choice, marked, until another is taken.
        {"Headset Mono", -1, {automatic, there[0], there[1], "Headset Mono " + absent},
         "Headset Mono " + absent, "Headset Mono"},
        {"Headset Mono", 1, {automatic, there[0], there[1], "Headset Mono " + absent},
         "Headset Mono " + absent, there[0]},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.toStdString() + " pick " + std::to_string(c.pick));
        values.audioInput = c.stored;
        dialog = std::make_unique<CRecordSetDlg>(values, *resources, main.Handle());
        dialog->SetAudioInputNames(there);
        dialog->show();
        auto* list = qobject_cast<QComboBox*>(dialog->Control(CRecordSetDlg::kAudioInputList));
        ASSERT_TRUE(list);
        QStringList shown;
        for (int i = 0; i < list->count(); ++i) {
            shown << list->itemText(i);
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(list->currentText(), c.shownCurrent);
        if (c.pick >= 0) {
            list->setCurrentIndex(c.pick);
        }
        Click(CRecordSetDlg::kConfirmButton);
        EXPECT_EQ(dialog->settings().audioInput, c.confirmed);
        RegistrySettings target;
        dialog->CopyRecordValuesTo(target);
        EXPECT_EQ(target.audioInput, c.confirmed);
    }
}

TEST_F(RecordSetDlgTest, ChosenFolderBecomesTheRecordPathAndNoChoiceKeepsIt) {
    for (const QString& answer : {dir.filePath("chosen"), QString()}) {
        Open();
        QString title;
        dialog->SetFolderChooser([&](QWidget*, const QString& t, const QString&) {
            title = t;
            return answer;
        });
        Click(1147);
        EXPECT_EQ(title, "Record Directory");
        const auto* line = qobject_cast<QLabel*>(dialog->Control(CRecordSetDlg::kFolderLine));
        EXPECT_TRUE(line->text().endsWith(" " + (answer.isEmpty() ? dir.path() : answer)));
        Click(CRecordSetDlg::kConfirmButton);
        EXPECT_EQ(dialog->settings().recordPath, answer.isEmpty() ? dir.path() : answer);
    }
}

TEST_F(RecordSetDlgTest, OpensAtTheTopRightOfTheScreen) {
    Open();
    const QRect area = dialog->screen()->availableGeometry();
    EXPECT_EQ(dialog->frameGeometry().right(), area.right());
    EXPECT_EQ(dialog->frameGeometry().top(), area.top());
}

TEST_F(RecordSetDlgTest, WithoutAMainWindowAnswerClosesTheDialogItself) {
    dialog = std::make_unique<CRecordSetDlg>(values, *resources, platform::WindowHandle());
    dialog->show();
    Click(CRecordSetDlg::kCancelButton);
    EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
}  // namespace ovistra
