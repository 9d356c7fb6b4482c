// The main window's start-up, timers, messages and shutdown, with its feature steps recorded.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "station_fixture.h"

namespace {

using namespace ovistra;

// Records the order in which the window calls its feature steps.
class StepRecordingDialog : public CQuorvaneDlg {
public:
    using CQuorvaneDlg::CQuorvaneDlg;
    ~StepRecordingDialog() override { CloseMailbox(); }

    std::vector<std::string> steps;
    QStringList missingElements;
    bool videoViewPossible = true;
    int clockTicks = 0;

protected:
    QStringList MissingMediaElements() override {
        steps.push_back("check media");
        return missingElements;
    }
    bool CanMakeVideoView() override {
        steps.push_back("check video view");
        return videoViewPossible;
    }
    void NotifySiblingStarted() override { steps.push_back("notify sibling"); }
    int StartCapture() override {
        steps.push_back("start capture");
        return 0;
    }
    void StopSwitching() override { steps.push_back("stop switching"); }
    void CheckSchedules() override { ++clockTicks; }
    void LoadRecordingList() override { steps.push_back("load recording list"); }
    void CloseSecondaryWindows() override { steps.push_back("close secondary windows"); }
    void StopAllRecordings() override { steps.push_back("stop recordings"); }
    void StopCaptureGraph() override { steps.push_back("stop graph"); }
    void CloseDeviceControl() override { steps.push_back("close device"); }
    void TearDownCaptureGraph() override { steps.push_back("tear down graph"); }
    void NotifySiblingStopped() override { steps.push_back("notify sibling stopped"); }
};

class StationDialog : public ovistra::testing::StationFixture {
protected:
    void SetUp() override {
        StationFixture::SetUp();
        QFile key(keyFile);
        ASSERT_TRUE(key.open(QIODevice::WriteOnly));
        key.write(
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Halvorn\\Brisquel]\n\"RecordPath\"=\"" +
            dir.filePath("rec").toUtf8() + "\"\n\"EachTime\"=dword:000007d0\n");
        key.close();
    }
};

TEST_F(StationDialog, StartsAndStopsInOrder) {
    StepRecordingDialog dialog(context);
    EXPECT_TRUE(RunThenExit(dialog, 300));
    const std::vector<std::string> expected = {
        "check media",   "check video view", "notify sibling",          "load recording list",
        "start capture", "stop switching",   "close secondary windows", "stop recordings",
        "stop graph",    "close device",     "tear down graph",         "notify sibling stopped"};
    EXPECT_EQ(dialog.steps, expected);
    EXPECT_EQ(dialog.windowTitle(), "Quorvane ");
    EXPECT_TRUE(platform::MessageBoxes::Instance().History().empty());
}

TEST_F(StationDialog, ClosingTheWindowStopsTheSwitchingThreadFirstToo) {
    StepRecordingDialog dialog(context);
    QTimer::singleShot(100, &dialog, [&dialog] { dialog.PostMessage(ids::kWmClose, 0, 0); });
    EXPECT_TRUE(dialog.RunModal());
    const auto stop = std::find(dialog.steps.begin(), dialog.steps.end(), "stop switching");
    ASSERT_NE(stop, dialog.steps.end());
    EXPECT_EQ(*(stop + 1), "stop recordings");
    EXPECT_EQ(std::count(dialog.steps.begin(), dialog.steps.end(), "stop switching"), 1);
    EXPECT_EQ(std::count(dialog.steps.begin(), dialog.steps.end(), "close secondary windows"), 0);
}

TEST_F(StationDialog, AnExitBeforeTheCaptureStartedNeverStartsIt) {
    StepRecordingDialog dialog(context);
    // A busy start: the exit button and the capture start fall due in the same pass of the
    // window's loop, the exit first.
    QTimer::singleShot(1, &dialog, [&dialog] { dialog.OnCommand(ids::kExitButton); });
    QTimer::singleShot(0, &dialog, [] { QThread::msleep(50); });
    EXPECT_TRUE(dialog.RunModal());
    EXPECT_EQ(std::count(dialog.steps.begin(), dialog.steps.end(), "start capture"), 0);
}

TEST_F(StationDialog, EscapeDoesNotEndTheStation) {
    StepRecordingDialog dialog(context);
    QTimer::singleShot(100, &dialog, [&dialog] {
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTimer::singleShot(100, &dialog, [&dialog] {
            EXPECT_TRUE(dialog.isVisible());
            dialog.OnCommand(ids::kExitButton);
        });
    });
    EXPECT_TRUE(dialog.RunModal());
    EXPECT_EQ(std::count(dialog.steps.begin(), dialog.steps.end(), "close secondary windows"), 1);
}

TEST_F(StationDialog, MissingMediaElementsEndStartUpWithText114) {
    StepRecordingDialog dialog(context);
    dialog.missingElements = {"avimux"};
    EXPECT_FALSE(dialog.RunModal());
    const auto& history = platform::MessageBoxes::Instance().History();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].textId, 114);
    EXPECT_EQ(history[0].captionId, 119);
    EXPECT_FALSE(history[0].text.isEmpty());
    const std::vector<std::string> expected = {
        "check media",  "stop switching",  "stop recordings",       "stop graph",
        "close device", "tear down graph", "notify sibling stopped"};
    EXPECT_EQ(dialog.steps, expected);
}

TEST_F(StationDialog, NoVideoViewEndsStartUpWithText115) {
    StepRecordingDialog dialog(context);
    dialog.videoViewPossible = false;
    EXPECT_FALSE(dialog.RunModal());
    ASSERT_EQ(platform::MessageBoxes::Instance().History().size(), 1u);
    EXPECT_EQ(platform::MessageBoxes::Instance().History()[0].textId, 115);
    EXPECT_EQ(std::count(dialog.steps.begin(), dialog.steps.end(), "start capture"), 0);
}

TEST_F(StationDialog, ClockShowsLocalTimeEverySecondAndDrivesTheScheduleCheck) {
    EXPECT_EQ(CQuorvaneDlg::ClockText(QDateTime(QDate(2026, 12, 8), QTime(6, 30, 5))),
              "2026-12-08  06:30:05");
    StepRecordingDialog dialog(context);
    EXPECT_TRUE(RunThenExit(dialog, 2300));
    auto* clock = qobject_cast<QLabel*>(dialog.Control(ids::kClockCaption));
    ASSERT_NE(clock, nullptr);
    const QRegularExpression format("^\\d{4}-\\d\\d-\\d\\d  \\d\\d:\\d\\d:\\d\\d$");
    EXPECT_TRUE(format.match(clock->text()).hasMatch()) << clock->text().toStdString();
    EXPECT_GE(dialog.clockTicks, 1);
    EXPECT_EQ(std::count(dialog.steps.begin(), dialog.steps.end(), "start capture"), 1);
}

TEST_F(StationDialog, LoadsSettingsAndMakesTheCameraFolders) {
    StepRecordingDialog dialog(context);
    EXPECT_TRUE(RunThenExit(dialog, 100));
    EXPECT_EQ(dialog.settings().eachTimeMs.Get(), 2000u);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("rec/Camera%1").arg(n))).exists()) << n;
    }
}

TEST_F(StationDialog, SettlingTimeMessageTakesSaneValuesOnly) {
    StepRecordingDialog dialog(context);
    QTimer::singleShot(50, &dialog, [&dialog] {
        dialog.SendMessage(ids::kCameraIntervalTime, 120, 0);
        dialog.SendMessage(ids::kCameraIntervalTime, 0xFFFFFFFFu, 0);  // wild: ignored
        dialog.OnCommand(ids::kExitButton);
    });
    dialog.RunModal();
    EXPECT_EQ(dialog.settings().intervalTimeMs.Get(), 120u);
}

TEST_F(StationDialog, ARunWithoutSettingsDialogsLeavesTheKeyAsItWas) {
    QFile key(keyFile);
    ASSERT_TRUE(key.open(QIODevice::ReadOnly));
    const QByteArray before = key.readAll();
    key.close();
    {
        StepRecordingDialog dialog(context);
        RunThenExit(dialog, 100);
    }
    ASSERT_TRUE(key.open(QIODevice::ReadOnly));
    EXPECT_EQ(key.readAll(), before);
}

}  // namespace
