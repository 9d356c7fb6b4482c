// The detection rules beside the library's comparison, through the run over real detectors:
// zones, light changes, the threshold that follows the noise, the ticks an alarm waits for,
// and the tick picture the settings dialog shows.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "detection_run.h"
#include "yuy2_scene.h"

namespace ovistra {
namespace {

using testing::SceneBlock;
using testing::TexturedScene;
using testing::TexturedScenePlan;

constexpr uint32_t kAuto = DetectionRun::kNoiseSenseMode;

class RulesHost : public DetectionHost {
public:
    std::vector<std::string> log;
    int tick = -1;

    bool CameraRecorded(int) const override { return false; }
    bool CameraRecordedBySchedule(int) const override { return false; }
    void ToggleCameraRecording(int, bool) override {}
    void StartDetectionTimer(uint32_t) override {}
    void StopDetectionTimer() override {}
    void TellNoCameraSelected() override {}
    void ShowDetectionRunning(bool) override {}
    void ColourAlarmFrame(int, bool) override {}
    void StartAlarmSound() override {}
    void StopAlarmSound() override {}
    void AlarmStarted(int camera) override { Log("alarm", camera); }
    void AlarmEnded(int) override {}
    void DetectionUnavailable(CDetectorRecord::Availability) override {}
    void LightChanged(int camera) override { Log("light", camera); }

private:
    void Log(const char* what, int camera) {
        log.push_back(std::to_string(tick) + ": " + what + " " + std::to_string(camera));
    }
};

DetectionRun::Settings Watch(uint32_t senseMode) {
    DetectionRun::Settings settings{1, senseMode, 0};
    return settings;
}

std::unique_ptr<CDetectorRecord> Library() {
    return std::make_unique<CDetectorRecord>(QString::fromUtf8(VIGIMOT_LIBRARY));
}

// Camera 1 watched with `settings`, shown one picture per tick (the first only fills the
// detector). Returns the host's log.
std::vector<std::string> Watched(const DetectionRun::Settings& settings,
                                 const std::vector<std::vector<uint8_t>>& pictures) {
    RulesHost host;
    DetectionRun run(host, Library);
    run.Toggle(settings);
    for (size_t t = 0; t < pictures.size(); ++t) {
        host.tick = static_cast<int>(t) - 1;
        run.CheckCameraMotion(1, pictures[t].data());
    }
    return host.log;
}

// A bright 80x120 block whose left edge is 40 + 60 k for step character k ('.' none).
SceneBlock Walker(char step, int top = 300) {
    return {40 + 60 * (step - '0'), top, 80, 120, 235};
}

// One textured picture per character of `steps`, lit by `light` percent (one character per
// tick: 'o' lamp off, 'O' lamp on at 170 %, 'P' on at 170 % lighting a pool of 45 levels).
std::vector<std::vector<uint8_t>> Pictures(const std::string& steps, const std::string& light,
                                           int noise = 2, int base = 60) {
    std::vector<std::vector<uint8_t>> pictures;
    for (size_t t = 0; t < steps.size(); ++t) {
        TexturedScenePlan plan;
        plan.seed = static_cast<uint32_t>(t + 1);
        plan.base = base;
        plan.noise = noise;
        const char lamp = t < light.size() ? light[t] : '.';
        plan.lightPercent = lamp == 'O' || lamp == 'P' ? 170 : 100;
        plan.pool = lamp == 'P' ? 45 : 0;
        if (steps[t] != '.') {
            plan.blocks.push_back(Walker(steps[t]));
        }
        pictures.push_back(TexturedScene(plan));
    }
    return pictures;
}

TEST(DetectionRules, MovementOutsideEveryZoneNeverAlarms) {
    struct Case {
        const char* name;
        std::vector<QRect> zones;
        int objectLeft, objectTop;
        bool alarms;
    } const cases[] = {
        {"no zone: the whole picture", {}, 300, 300, true},
        {"below the upper half's zone", {QRect(0, 0, 640, 240)}, 300, 300, false},
        {"inside the upper half's zone", {QRect(0, 0, 640, 240)}, 300, 60, true},
        {"reaching into the zone", {QRect(0, 0, 640, 240)}, 300, 200, true},
        {"in the second of two zones", {QRect(0, 0, 100, 100), QRect(480, 300, 160, 180)}, 500,
         320, true},
        {"between two zones", {QRect(0, 0, 100, 100), QRect(480, 300, 160, 180)}, 300, 200,
         false},
    };
    for (const Case& c : cases) {
        DetectionRun::Settings settings = Watch(50);
        settings.zones[0] = c.zones;
        TexturedScenePlan still, moved;
        moved.seed = 2;
        moved.blocks.push_back({c.objectLeft, c.objectTop, 60, 60, 235});
        const auto log = Watched(settings, {TexturedScene(still), TexturedScene(moved)});
        EXPECT_EQ(log, c.alarms ? std::vector<std::string>{"0: alarm 1"}
                                : std::vector<std::string>{})
            << c.name;
    }
}

TEST(DetectionRules, ZonesConfirmedWhileRunningApplyAtOnce) {
    RulesHost host;
    DetectionRun run(host, Library);
    run.Toggle(Watch(50));
    TexturedScenePlan still, moved;
    moved.blocks.push_back({300, 300, 60, 60, 235});
    run.CheckCameraMotion(1, TexturedScene(still).data());
    DetectionRun::Settings upperHalf = Watch(50);
    upperHalf.zones[0] = {QRect(0, 0, 640, 240)};
    run.ApplySettings(upperHalf);
    run.CheckCameraMotion(1, TexturedScene(moved).data());
    EXPECT_FALSE(run.AlarmActive(1));
    run.ApplySettings(Watch(50));
    run.CheckCameraMotion(1, TexturedScene(still).data());
    EXPECT_TRUE(run.AlarmActive(1));
}

TEST(DetectionRules, ALightSwitchedOnAndOffIsNoMotionButAPersonCrossingStillAlarms) {
    struct Case {
        const char* name;
        uint32_t senseMode;
        bool reject;
        std::string steps, light;
        std::vector<std::string> expected;
    } const cases[] = {
        {"lamp on and off, high sensitivity", 50, true, "..........", "...OOOO...",
         {"2: light 1", "6: light 1"}},
        {"lamp on and off, noise-following threshold", kAuto, true, "..........", "...OOOO...",
         {"2: light 1", "6: light 1"}},
        {"lamp on and off, low sensitivity", 240, true, "..........", "...OOOO...", {}},
        {"lamp on and off without the rule", 50, false, "..........", "...OOOO...",
         {"2: alarm 1"}},
        {"the lamp goes on as the person comes in", 50, true, "...012345", "...OOOOOO",
         {"2: alarm 1"}},
        {"the lamp goes on as the person comes in, noise-following", kAuto, true, "...012345",
         "...OOOOOO", {"2: alarm 1"}},
        {"a lamp lighting a pool, noise-following", kAuto, true, "..........", "...PPPP...",
         {"2: light 1", "6: light 1"}},
        {"a lamp lighting a pool as the person comes in, noise-following", kAuto, true,
         "...012345", "...PPPPPP", {"2: alarm 1"}},
        {"the lamp went on a tick before", 50, true, "....01234", "...OOOOOO",
         {"2: light 1", "3: alarm 1"}},
        {"the lamp goes off while the person walks", 50, true, "..012345", "OOOOO...",
         {"1: alarm 1"}},
    };
    for (const Case& c : cases) {
        DetectionRun::Settings settings = Watch(c.senseMode);
        settings.lightChangeReject = c.reject;
        EXPECT_EQ(Watched(settings, Pictures(c.steps, c.light)), c.expected) << c.name;
    }
}

TEST(DetectionRules, TheNoiseFollowingThresholdWatchesNoisyNightsAndCleanDaysAtTheirOwnLevel) {
    struct Case {
        const char* name;
        uint32_t senseMode;
        int base, noise;
        std::string steps;
        bool alarms;
        bool repeated = false;  // each picture shown on two ticks
    } const cases[] = {
        {"a noisy night at a fixed level alarms on noise", 50, 40, 60, "..........", true},
        {"a noisy night, following the noise", kAuto, 40, 60, "..........", false},
        {"a noisy night whose pictures come twice", kAuto, 40, 60, "..........", false, true},
        {"a person crossing the noisy night", kAuto, 40, 60, ".....0123", true},
        {"a clean day, following the noise", kAuto, 60, 2, "..........", false},
    };
    for (const Case& c : cases) {
        auto pictures = Pictures(c.steps, "", c.noise, c.base);
        for (size_t i = 1; c.repeated && i < pictures.size(); i += 2) {
            pictures[i] = pictures[i - 1];
        }
        const auto log = Watched(Watch(c.senseMode), pictures);
        EXPECT_EQ(!log.empty(), c.alarms) << c.name;
    }
    // A faint change on a clean picture: below every fixed level's reach, not below the noise's.
    const std::vector<std::vector<uint8_t>> faint = {
        testing::Yuy2Scene(1, 120, 2), testing::Yuy2Scene(2, 120, 2),
        testing::Yuy2Scene(3, 120, 2, 150)};
    EXPECT_TRUE(Watched(Watch(50), faint).empty());
    EXPECT_EQ(Watched(Watch(kAuto), faint), std::vector<std::string>{"1: alarm 1"});
}

TEST(DetectionRules, AnAlarmWaitsForItsNumberOfConsecutiveMotionTicks) {
    struct Case {
        uint32_t minTicks;
        std::string steps;
        std::vector<std::string> expected;
    } const cases[] = {
        {1, "..0...", {"1: alarm 1"}},
        {3, "..0...", {}},  // in and out: two ticks of motion
        {2, "..0...", {"2: alarm 1"}},
        {3, "..0..0..", {}},  // two flickers
        {3, "..012345", {"3: alarm 1"}},
        {20, "..012345", {}},
    };
    for (const Case& c : cases) {
        DetectionRun::Settings settings = Watch(50);
        settings.alarmMinTicks = c.minTicks;
        EXPECT_EQ(Watched(settings, Pictures(c.steps, "")), c.expected)
            << c.minTicks << " " << c.steps;
    }
}

TEST(DetectionRules, TheLastTickShowsThePictureAndMarksTheMovingObject) {
    RulesHost host;
    DetectionRun run(host, Library);
    EXPECT_FALSE(run.LastTick(1).valid);
    run.Toggle(Watch(50));
    const auto pictures = Pictures("..3", "");
    run.CheckCameraMotion(1, pictures[0].data());
    EXPECT_FALSE(run.LastTick(1).valid);
    run.CheckCameraMotion(1, pictures[1].data());
    run.CheckCameraMotion(1, pictures[2].data());
    const TickPicture& tick = run.LastTick(1);
    ASSERT_TRUE(tick.valid);
    EXPECT_TRUE(tick.motion);
    EXPECT_FALSE(tick.lightChange);
    EXPECT_EQ(tick.threshold, 50);
    ASSERT_EQ(tick.changed.size(), size_t{TickPicture::kWidth} * TickPicture::kHeight);
    // The walker covers pixels 220..299 x 300..419: samples 55..74 x 75..104.
    int inside = 0, outside = 0;
    for (int y = 0; y < TickPicture::kHeight; ++y) {
        for (int x = 0; x < TickPicture::kWidth; ++x) {
            const size_t i = size_t(y) * TickPicture::kWidth + x;
            const bool inObject = x >= 55 && x < 75 && y >= 75 && y < 105;
            (inObject ? inside : outside) += tick.changed[i];
            if (inObject) {
                EXPECT_GT(tick.grey[i], 200) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(inside, 20 * 30);
    EXPECT_EQ(outside, 0);
    EXPECT_FALSE(run.LastTick(2).valid) << "camera 2 is not watched";
}

}  // namespace
}  // namespace ovistra
