// The switching thread's passes, followed step by step through its hooks and a recording sleep.
#include "camera_switcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using ovistra::CameraSwitcher;
using ovistra::SwitchState;

// One run of the loop: every hook call and sleep as a step ("select 1", "write 3", "sleep 50",
// "caption 2", "hand 0"); the loop ends after `maxSteps`.
struct SwitchRun {
    uint32_t eachMs = 1000;
    uint32_t disMs = 50;
    uint32_t intervalMs = 300;
    size_t maxSteps = 40;
    std::function<void(SwitchState&, size_t step)> onSleep;  // plays the UI thread
    std::vector<std::string> steps;

    std::vector<std::string> Go(SwitchState& state, bool withHandOver = false) {
        std::mutex lock;
        std::atomic<bool> finished{false};
        auto note = [&](std::string step) {
            std::lock_guard guard(lock);
            steps.push_back(std::move(step));
        };
        CameraSwitcher::Hooks hooks;
        hooks.selectOutput = [&](int c) { note("select " + std::to_string(c)); };
        hooks.switchDecoderInput = [&](int c) { note("write " + std::to_string(c)); };
        hooks.cyclingCameraShown = [&](int c) { note("caption " + std::to_string(c)); };
        if (withHandOver) {
            hooks.handOver = [&](int c) { note("hand " + std::to_string(c)); };
        }
        CameraSwitcher switcher(
            state,
            {[this] { return eachMs; }, [this] { return disMs; }, [this] { return intervalMs; }},
            hooks, [&](uint32_t ms) {
                note("sleep " + std::to_string(ms));
                if (onSleep) {
                    onSleep(state, steps.size());
                }
                const bool more = steps.size() < maxSteps;
                finished = !more;
                return more;
            });
        switcher.Start();
        while (!finished) {
            std::this_thread::yield();
        }
        switcher.Stop();
        return steps;
    }
};

void Enable(SwitchState& state, std::array<int, 4> enabled) {
    for (int i = 0; i < 4; ++i) {
        state.cameraEnabled[i] = enabled[i];
    }
}

std::vector<std::string> Only(const std::vector<std::string>& steps, const std::string& kind) {
    std::vector<std::string> kept;
    for (const auto& step : steps) {
        if (step.rfind(kind, 0) == 0) {
            kept.push_back(step);
        }
    }
    return kept;
}

TEST(CameraSwitcher, EnabledSubsetsVisitOnlyTheirInputs) {
    struct Case {
        std::array<int, 4> enabled;
        std::vector<std::string> writes;  // the first four
    };
    const Case cases[] = {
        {{0, 1, 0, 1}, {"write 1", "write 3", "write 1", "write 3"}},
        {{1, 0, 1, 0}, {"write 0", "write 2", "write 0", "write 2"}},
        {{1, 1, 1, 1}, {"write 0", "write 1", "write 2", "write 3"}},
        {{0, 0, 0, 1}, {"write 3", "write 3", "write 3", "write 3"}},
    };
    for (const Case& c : cases) {
        SwitchState state;
        Enable(state, c.enabled);
        SwitchRun run;
        const auto writes = Only(run.Go(state), "write");
        ASSERT_GE(writes.size(), 4u);
        EXPECT_EQ(std::vector<std::string>(writes.begin(), writes.begin() + 4), c.writes);
        for (const auto& select : Only(run.steps, "select")) {
            const int camera = std::stoi(select.substr(7));
            EXPECT_TRUE(camera == -1 || c.enabled[camera]) << select;
        }
    }
}

TEST(CameraSwitcher, SideBySideRoutesNowhereBeforeTheDecoderMovesOn) {
    SwitchState state;
    SwitchRun run;
    run.Go(state);
    // The decoder's input is unknown at first: camera 1's is written and settles before its
    // feed; then select -1, write 2, settle; and so on.
    const std::vector<std::string> pass = {"select -1", "write 0",   "sleep 300",
                                           "select 0",  "sleep 50",  "select -1",
                                           "write 1",   "sleep 300", "select 1"};
    ASSERT_GE(run.steps.size(), pass.size());
    EXPECT_EQ(std::vector<std::string>(run.steps.begin(), run.steps.begin() + 9), pass);
    for (size_t i = 1; i < run.steps.size(); ++i) {
        if (run.steps[i].rfind("write", 0) == 0) {
            EXPECT_EQ(run.steps[i - 1], "select -1") << i;
        }
    }
}

TEST(CameraSwitcher, CyclingShowsTheCameraDwellsThenRoutesNowhere) {
    SwitchState state;
    state.cyclingView = true;
    SwitchRun run;
    run.eachMs = 2000;
    run.Go(state);
    const std::vector<std::string> pass = {"select -1", "write 0",    "sleep 300", "caption 0",
                                           "select 0",  "sleep 2000", "select -1", "write 1",
                                           "sleep 300", "caption 1"};
    ASSERT_GE(run.steps.size(), pass.size());
    EXPECT_EQ(std::vector<std::string>(run.steps.begin(), run.steps.begin() + 10), pass);
}

TEST(CameraSwitcher, OneCameraRewritesItsInputEveryPassAfterSevenMilliseconds) {
    SwitchState state;
    Enable(state, {0, 0, 1, 0});
    state.singleCameraMode = true;
    SwitchRun run;
    run.intervalMs = 60000;
    run.Go(state);
    const auto writes = Only(run.steps, "write");
    ASSERT_GE(writes.size(), 3u);
    for (const auto& write : writes) {
        EXPECT_EQ(write, "write 2");
    }
    // The first write moves the decoder and settles in full; rewrites pause 7 ms.
    EXPECT_EQ(run.steps[2], "sleep 60000");
    for (size_t i = 3; i + 1 < run.steps.size(); ++i) {
        if (run.steps[i] == "write 2") {
            EXPECT_EQ(run.steps[i + 1], "sleep 7");
        }
    }
    // Once fed, the one branch is never cut off.
    const auto selects = Only(run.steps, "select");
    for (size_t i = 1; i < selects.size(); ++i) {
        EXPECT_EQ(selects[i], "select 2");
    }
}

TEST(CameraSwitcher, ZeroTimingsStillSleepAMillisecondAPass) {
    SwitchState state;
    SwitchRun run;
    run.disMs = 0;
    run.intervalMs = 0;
    run.Go(state);
    const auto sleeps = Only(run.steps, "sleep");
    EXPECT_NE(std::find(sleeps.begin(), sleeps.end(), "sleep 1"), sleeps.end());
    // Between two writes the thread slept at least a millisecond in all.
    uint32_t slept = 0;
    bool seenWrite = false;
    for (const auto& step : run.steps) {
        if (step.rfind("write", 0) == 0) {
            if (seenWrite) {
                EXPECT_GE(slept, 1u);
            }
            seenWrite = true;
            slept = 0;
        } else if (step.rfind("sleep", 0) == 0) {
            slept += std::stoul(step.substr(6));
        }
    }
}

TEST(CameraSwitcher, AllCamerasOffRoutesNowhereAndIdlesUntilOneIsEnabled) {
    // The UI thread clears the idle flag after enabling a camera; when that clearing came just
    // before the thread set the flag, the thread must still see the camera.
    for (const bool clearsFlag : {true, false}) {
        SwitchState state;
        Enable(state, {0, 0, 0, 0});
        SwitchRun run;
        run.maxSteps = 30;
        run.onSleep = [clearsFlag](SwitchState& s, size_t step) {
            if (step == 6) {  // the UI thread enables camera 2
                s.cameraEnabled[1] = 1;
                if (clearsFlag) {
                    s.noCameraActive = false;
                }
            }
        };
        run.Go(state);
        ASSERT_GE(run.steps.size(), 7u);
        EXPECT_EQ(run.steps[0], "select -1");
        for (size_t i = 1; i < 6; ++i) {
            EXPECT_EQ(run.steps[i], "sleep 5") << i;
        }
        // Its input is written and settles before its branch is fed.
        const auto fed = std::find(run.steps.begin(), run.steps.end(), "select 1");
        EXPECT_NE(fed, run.steps.end()) << clearsFlag;
        EXPECT_LT(std::find(run.steps.begin(), run.steps.end(), "write 1") - run.steps.begin(),
                  fed - run.steps.begin() - 1);
    }
}

TEST(CameraSwitcher, AllCamerasSwitchedOffMidPassEndTheFeedAtOnce) {
    SwitchState state;
    SwitchRun run;
    run.maxSteps = 15;
    run.onSleep = [](SwitchState& s, size_t step) {
        if (step == 5) {  // during camera 1's feed every camera goes off
            Enable(s, {0, 0, 0, 0});
        }
    };
    run.Go(state);
    // select 0, sleep 50, then the pass ends routing nowhere: no write follows.
    ASSERT_GE(run.steps.size(), 7u);
    EXPECT_EQ(run.steps[3], "select 0");
    EXPECT_EQ(run.steps[5], "select -1");
    EXPECT_EQ(Only(run.steps, "write"), std::vector<std::string>{"write 0"});
    EXPECT_TRUE(state.noCameraActive);
}

TEST(CameraSwitcher, MarksFreshFramesOnlyForRecordingCameras) {
    SwitchState state;
    state.recording[2] = true;
    SwitchRun run;
    run.maxSteps = 30;
    run.Go(state);
    EXPECT_EQ(state.frameReady[0], 0);
    EXPECT_EQ(state.frameReady[1], 0);
    EXPECT_EQ(state.frameReady[2], 1);
    EXPECT_EQ(state.frameReady[3], 0);
}

TEST(CameraSwitcher, HandsOverTheLinkedCameraOrAll) {
    struct Case {
        int link;
        std::vector<std::string> handed;
    };
    const Case cases[] = {{2, {"hand 1"}}, {5, {"hand 0", "hand 1", "hand 2", "hand 3"}}, {0, {}}};
    for (const Case& c : cases) {
        SwitchState state;
        state.linkCamera = c.link;
        SwitchRun run;
        run.maxSteps = 27;  // the first write and four passes, the fifth cut short
        run.Go(state, true);
        EXPECT_EQ(Only(run.steps, "hand"), c.handed) << c.link;
    }
}

TEST(CameraSwitcher, StopEndsTheLongestSettlingSleepAtOnce) {
    SwitchState state;
    CameraSwitcher::Hooks hooks;
    std::atomic<int> writes{0};
    hooks.selectOutput = [](int) {};
    hooks.switchDecoderInput = [&](int) { ++writes; };
    CameraSwitcher switcher(
        state, {[] { return 60000u; }, [] { return 0u; }, [] { return 60000u; }}, hooks);
    switcher.Start();
    while (writes == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto before = std::chrono::steady_clock::now();
    switcher.Stop();
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_FALSE(switcher.running());
    // Far below the minute the sleep was set for.
    EXPECT_LT(took, std::chrono::milliseconds(1000));
}

}  // namespace
