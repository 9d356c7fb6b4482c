// An alarm's recording on the simulated device begins with the camera's pictures from the
// seconds before the alarm: the intruder's first steps are in the file, the file and its list
// entry are named and dated by its first picture, and it plays for the whole time it covers.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>

#include "event_log.h"
#include "local_clock.h"
#include "recorded_file.h"
#include "recording_list.h"
#include "settings_store.h"
#include "sim_device.h"
#include "sim_scene.h"
#include "station_fixture.h"

namespace station_pre_alarm_test {
namespace {

using namespace ovistra;

// The row of the scene's moving object shows it.
bool ShowsObject(const uint8_t* grey, size_t bytes) {
    const uint8_t* row =
        grey + (media::SimScene::kObjectTop + media::SimScene::kObjectHeight / 2) * 640;
    return bytes >= 640 * 480 && std::any_of(row, row + 640, [](uint8_t y) { return y > 180; });
}

using StationPreAlarm = ovistra::testing::StationFixture;

// At the fast timings all four cameras are visited in turn, each a few times a second.
TEST_F(StationPreAlarm, AnAlarmRecordingBeginsWithTheSecondsBeforeTheAlarm) {
    RecordingList list{dir.path() + "/program/"};
    context.recordings = &list;
    context.detectorLibrary = VIGIMOT_LIBRARY;
    context.detectAtStart = true;
    media::SimDeviceConfig config;
    config.motions = {{2, 4.0, 4.6}};
    config.settleMs = 0;  // settled at once, as the fast timings expect
    AddSimulatedDevice(std::move(config));
    ASSERT_TRUE(registry.CreateKey(SettingsStore::kProgramKey));
    for (const auto& [name, value] : {std::pair{"Distime", "40"},
                                      {"Intervaltime", "0"},
                                      {"FrameRate2", "25"},
                                      {"MotionDetectCamera", "2"},
                                      {"SenseMode", "50"},
                                      {"DetectingAction", "1"},
                                      {"PreAlarmSeconds", "3"}}) {
        ASSERT_TRUE(AddRunOverride(registry, name, value, nullptr));
    }
    ASSERT_TRUE(AddRunOverride(registry, "RecordPath", dir.filePath("rec"), nullptr));
    // The alarm's moment and the recording's end, as the station tells them.
    QStringList started;
    QTime alarmAt;
    QElapsedTimer run, sinceAlarm;
    qint64 liveMs = -1;
    EventLog::Instance().Enable([&](const QByteArray& line) {
        if (line.contains(" alarm-started ") && !alarmAt.isValid()) {
            alarmAt = platform::LocalNow().time();
            sinceAlarm.start();
        } else if (line.contains(" recording-started ")) {
            started << QString::fromUtf8(line.trimmed());
        } else if (line.contains(" recording-stopped ") && liveMs < 0) {
            liveMs = sinceAlarm.elapsed();
        }
    });
    ovistra::testing::RecordingDialog dialog(context);
    uint32_t preAlarmMs = 0;
    size_t mostHeld = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        mostHeld = std::max(mostHeld, dialog.recording_->preAlarm().bytesHeld());
        if (dialog.recording_->IsRecording(2)) {
            preAlarmMs = dialog.recording_->preAlarmMs(2);
        }
    });
    dialog.onCaptureStarted = [&] {
        run.start();
        watch.start(10);
    };
    EXPECT_TRUE(RunThenExit(dialog, 9500));
    EventLog::Instance().Disable();
    const double runSeconds = double(run.elapsed()) / 1000;
    ASSERT_GT(liveMs, 0) << "the alarm ended before the exit";

    // The buffer was full when the alarm came: about the whole span.
    EXPECT_GT(preAlarmMs, 2500u);
    EXPECT_LE(preAlarmMs, 3000u);
    ASSERT_EQ(started.size(), 1);
    EXPECT_TRUE(started[0].contains(QStringLiteral(" reason=alarm ")));
    EXPECT_TRUE(
        started[0].endsWith(QStringLiteral(" pre-alarm=%1").arg(preAlarmMs / 1000.0, 0, 'f', 1)))
        << started[0].toStdString();

    ASSERT_EQ(list.entries().size(), 1u);
    const RecordInfo& entry = list.entries()[0];
    const QTime listed = QTime::fromString(entry.startTime, QStringLiteral("HH:mm:ss"));
    EXPECT_GE(listed.secsTo(alarmAt), 2) << "listed by its first picture";
    EXPECT_LE(listed.secsTo(alarmAt), 4);
    EXPECT_EQ(QFileInfo(entry.path).fileName().mid(7, 6), listed.toString(QStringLiteral("HHmmss")))
        << "named by its first picture";

    // It plays for the seconds before the alarm and the alarm's own.
    const double covered = (preAlarmMs + liveMs) / 1000.0;
    const ovistra::testing::FileFacts facts = ovistra::testing::Inspect(entry.path);
    EXPECT_GT(facts.seconds, preAlarmMs / 1000.0 + 0.7 * liveMs / 1000.0);
    EXPECT_LT(facts.seconds, covered + 0.3);
    // The quiet scene for most of the seconds before the alarm, then the intruder's entry about
    // where the alarm came (a picture stored while the alarm took the others follows them).
    std::vector<bool> object;
    ovistra::testing::ForEachPicture(entry.path, "GRAY8", [&object](const uint8_t* p, size_t n) {
        object.push_back(ShowsObject(p, n));
        return true;
    });
    const long entered = std::find(object.begin(), object.end(), true) - object.begin();
    const long earlierSamples = preAlarmMs / 40;
    EXPECT_GE(entered, earlierSamples / 2);
    EXPECT_LE(entered, earlierSamples + 8);

    // Only the watched camera kept pictures, no more than its span held at its rate and those
    // that came while the recording was being set up.
    const double perSecond = double(statistics.frames[1].load()) / runSeconds;
    EXPECT_GT(mostHeld, 0u);
    EXPECT_LE(mostHeld, size_t((2 * perSecond * 3 + 2) * 614400));
}

}  // namespace
}  // namespace station_pre_alarm_test
