// The detection run over real detectors and scripted scenes: when alarms start and end, what
// they record and sound, who owns the shared sound, what a hand or scheduled recording does to
// it, stopping in the middle, the tick, the settings taken while running, and a missing library.
#include "detection_run.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "yuy2_scene.h"

namespace ovistra {
namespace {

constexpr int kBackground = 40;
constexpr int kObject = 235;  // a grey difference above 200, below 240

class ScriptHost : public DetectionHost {
public:
    std::vector<std::string> log;
    std::array<bool, 5> recorded{};
    std::array<bool, 5> scheduled{};
    std::array<bool, 5> red{};
    std::vector<uint32_t> timerStarts;
    bool timerRunning = false;
    bool shownRunning = false;
    int noCameraMessages = 0;
    std::vector<CDetectorRecord::Availability> unavailable;
    int tick = -1;

    bool CameraRecorded(int camera) const override { return recorded[camera]; }
    bool CameraRecordedBySchedule(int camera) const override { return scheduled[camera]; }
    void ToggleCameraRecording(int camera, bool byAlarm) override {
        recorded[camera] = !recorded[camera];
        Log("rec " + std::to_string(camera) + (byAlarm ? " alarm" : ""));
    }
    void StartDetectionTimer(uint32_t periodMs) override {
        timerStarts.push_back(periodMs);
        timerRunning = true;
    }
    void StopDetectionTimer() override { timerRunning = false; }
    void TellNoCameraSelected() override { ++noCameraMessages; }
    void ShowDetectionRunning(bool running) override { shownRunning = running; }
    void ColourAlarmFrame(int camera, bool alarm) override { red[camera] = alarm; }
    void StartAlarmSound() override { Log("sound on"); }
    void StopAlarmSound() override { Log("sound off"); }
    void AlarmStarted(int camera) override { Log("alarm " + std::to_string(camera)); }
    void AlarmEnded(int camera) override { Log("end " + std::to_string(camera)); }
    void DetectionUnavailable(CDetectorRecord::Availability why) override {
        unavailable.push_back(why);
    }

private:
    void Log(const std::string& what) { log.push_back(std::to_string(tick) + ": " + what); }
};

// The same scene with fresh noise on every tick, and the object appearing or leaving on each
// 'M' of a camera's script.
class Scenes {
public:
    Scenes() {
        for (uint32_t i = 0; i < 2; ++i) {
            frames_[0][i] = testing::Yuy2Scene(i + 1, kBackground, 2);
            frames_[1][i] = testing::Yuy2Scene(i + 7, kBackground, 2, kObject);
        }
    }
    const uint8_t* Next(int camera, char step, int tick) {
        if (step == 'M') {
            withObject_[camera] = !withObject_[camera];
        }
        return frames_[withObject_[camera] ? 1 : 0][tick & 1].data();
    }

private:
    std::vector<uint8_t> frames_[2][2];
    std::array<bool, 5> withObject_{};
};

DetectionRun::DetectorFactory LibraryAt(const char* path) {
    return [path] { return std::make_unique<CDetectorRecord>(QString::fromUtf8(path)); };
}

// One warm-up tick gives every detector its first frame, then tick t plays character t of
// each camera's script; detection stops after tick `stopAt` when it is not negative.
void Play(DetectionRun& run, ScriptHost& host, const std::array<std::string, 4>& scripts,
          int stopAt = -1, const DetectionRun::Settings* settings = nullptr) {
    Scenes scenes;
    size_t ticks = 0;
    for (const std::string& script : scripts) {
        ticks = std::max(ticks, script.size());
    }
    for (int t = -1; t < static_cast<int>(ticks); ++t) {
        host.tick = t;
        for (int camera = 1; camera <= 4; ++camera) {
            const std::string& script = scripts[camera - 1];
            const char step = t >= 0 && t < static_cast<int>(script.size()) ? script[t] : '.';
            if (run.HasDetector(camera)) {
                run.CheckCameraMotion(camera, scenes.Next(camera, step, t));
            }
        }
        if (t == stopAt && settings) {
            run.Toggle(*settings);
        }
    }
}

using Log = std::vector<std::string>;

TEST(DetectionRun, AlarmsStartOnMotionAndEndOnTheEleventhQuietTick) {
    const std::string quiet(20, '.');
    struct Case {
        const char* name;
        uint32_t mask, actions;
        std::array<std::string, 4> scripts;
        int handRecorded = 0;  // a camera recorded before its alarm
        int scheduleRecorded = 0;
        Log expected;
    } const cases[] = {
        {"one motion tick",
         1,
         3,
         {"M" + quiet, "", "", ""},
         0,
         0,
         {"0: alarm 1", "0: rec 1 alarm", "0: sound on", "11: rec 1", "11: sound off",
          "11: end 1"}},
        {"motion every few ticks keeps one alarm",
         1,
         3,
         {"M....M....M" + quiet, "", "", ""},
         0,
         0,
         {"0: alarm 1", "0: rec 1 alarm", "0: sound on", "21: rec 1", "21: sound off",
          "21: end 1"}},
        {"the sound belongs to the latest alarm",
         3,
         2,
         {"M" + quiet, "...M" + quiet, "", ""},
         0,
         0,
         {"0: alarm 1", "0: sound on", "3: alarm 2", "3: sound off", "3: sound on", "11: end 1",
          "14: sound off", "14: end 2"}},
        {"a hand recording is not started again but ends with the alarm",
         1,
         1,
         {"M" + quiet, "", "", ""},
         1,
         0,
         {"0: alarm 1", "11: rec 1", "11: end 1"}},
        {"a scheduled recording is left alone",
         1,
         3,
         {"M" + quiet, "", "", ""},
         1,
         1,
         {"0: alarm 1", "0: sound on", "11: sound off", "11: end 1"}},
        {"no actions", 4, 0, {"", "", "M" + quiet, ""}, 0, 0, {"0: alarm 3", "11: end 3"}},
        {"an unwatched camera never alarms", 2, 3, {"M" + quiet, "", "", ""}, 0, 0, {}},
        {"the high mask bits mean nothing", 0x11, 1, {"", "", "", "M" + quiet}, 0, 0, {}},
    };
    for (const Case& c : cases) {
        ScriptHost host;
        host.recorded[c.handRecorded] = c.handRecorded != 0;
        host.scheduled[c.scheduleRecorded] = c.scheduleRecorded != 0;
        DetectionRun run(host, LibraryAt(VIGIMOT_LIBRARY));
        run.Toggle({c.mask, 200, c.actions});
        Play(run, host, c.scripts);
        EXPECT_EQ(host.log, c.expected) << c.name;
        EXPECT_FALSE(run.soundPlaying()) << c.name;
    }
}

TEST(DetectionRun, TheFrameBlinksEveryTickOfTheAlarmAndEndsInTheNormalColour) {
    ScriptHost host;
    DetectionRun run(host, LibraryAt(VIGIMOT_LIBRARY));
    run.Toggle({1, 200, 0});
    Scenes scenes;
    run.CheckCameraMotion(1, scenes.Next(1, '.', 0));
    std::vector<bool> colours;
    for (int t = 0; t < 12; ++t) {
        run.CheckCameraMotion(1, scenes.Next(1, t == 0 ? 'M' : '.', t + 1));
        colours.push_back(host.red[1]);
    }
    EXPECT_EQ(colours, (std::vector<bool>{false, true, false, true, false, true, false, true, false,
                                          true, false, false}));
    EXPECT_FALSE(run.AlarmActive(1));
}

TEST(DetectionRun, StoppingDuringAnAlarmEndsSoundRecordingsAndRedFrames) {
    ScriptHost host;
    host.recorded[2] = true;  // by hand, on a watched camera without motion
    host.recorded[3] = true;  // not watched
    DetectionRun run(host, LibraryAt(VIGIMOT_LIBRARY));
    const DetectionRun::Settings settings{3, 200, 3};
    run.Toggle(settings);
    Play(run, host, {"M..", "", "", ""}, 1, &settings);
    EXPECT_EQ(host.log, (Log{"0: alarm 1", "0: rec 1 alarm", "0: sound on", "1: end 1", "1: rec 1",
                             "1: rec 2", "1: sound off"}));
    EXPECT_TRUE(host.recorded[3]);
    EXPECT_EQ(host.red, (std::array<bool, 5>{}));
    EXPECT_FALSE(run.running());
    EXPECT_FALSE(host.timerRunning);
    EXPECT_FALSE(host.shownRunning);
    EXPECT_EQ(run.soundOwner(), 0);
    for (int camera = 1; camera <= 4; ++camera) {
        EXPECT_FALSE(run.HasDetector(camera));
    }
}

TEST(DetectionRun, TheButtonNeedsACameraToStartButNoneToStop) {
    const struct {
        uint32_t senseMode;
        uint32_t tickMs;
    } ticks[] = {{50, 250}, {200, 500}, {240, 500}, {100, 500}};
    for (const auto& c : ticks) {
        ScriptHost host;
        DetectionRun run(host, LibraryAt(VIGIMOT_LIBRARY));
        run.Toggle({1, c.senseMode, 1});
        EXPECT_EQ(host.timerStarts, std::vector<uint32_t>{c.tickMs}) << c.senseMode;
    }
    ScriptHost host;
    DetectionRun run(host, LibraryAt(VIGIMOT_LIBRARY));
    run.Toggle({16, 200, 1});
    EXPECT_EQ(host.noCameraMessages, 1);
    EXPECT_FALSE(run.running());
    EXPECT_TRUE(host.timerStarts.empty());
    run.Toggle({0x12, 200, 1});
    EXPECT_TRUE(run.running() && host.shownRunning && host.timerRunning);
    EXPECT_TRUE(run.HasDetector(2));
    EXPECT_FALSE(run.HasDetector(1) || run.HasDetector(3) || run.HasDetector(4));
    // The settings confirmed meanwhile watch no camera: the button still stops detection.
    run.Toggle({0, 200, 1});
    EXPECT_FALSE(run.running() || host.timerRunning || host.shownRunning);
    EXPECT_EQ(host.noCameraMessages, 1);
}

TEST(DetectionRun, ConfirmedSettingsChangeThresholdAndActionsAtOnceButNotTheTick) {
    ScriptHost host;
    DetectionRun run(host, LibraryAt(VIGIMOT_LIBRARY));
    run.Toggle({1, 240, 0});
    Play(run, host, {"MM", "", "", ""});
    EXPECT_TRUE(host.log.empty()) << "the object is below threshold 240";
    run.ApplySettings({0, 50, 1});
    Play(run, host, {"M.", "", "", ""});
    EXPECT_EQ(host.log, (Log{"0: alarm 1", "0: rec 1 alarm"}));
    EXPECT_EQ(host.timerStarts, std::vector<uint32_t>{500});
    EXPECT_TRUE(run.HasDetector(1)) << "the watched cameras wait for the next start";
}

TEST(DetectionRun, WithoutTheLibraryDetectionRunsSilentlyAndSaysSoOnce) {
    ScriptHost host;
    DetectionRun run(host, LibraryAt("/nonexistent/libvigimot.so"));
    const DetectionRun::Settings settings{3, 50, 3};
    run.Toggle(settings);
    Play(run, host, {"M.M.M", "M.M.M", "", ""});
    run.Toggle(settings);
    run.Toggle(settings);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.unavailable,
              std::vector<CDetectorRecord::Availability>{CDetectorRecord::Availability::NoLibrary});
}

}  // namespace
}  // namespace ovistra
