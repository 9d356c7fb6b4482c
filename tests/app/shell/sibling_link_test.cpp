// The station's side of the sibling link against a main window stand-in: the hand-over block,
// the recordings a sibling asks for and never the user's, the registered sibling that may close
// the station, and requests with wild parameters.
#include "sibling_link.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <vector>

#include "hand_over_copy.h"
#include "shared_block_reader.h"
#include "window_ids.h"

namespace ovistra {
namespace {

class StationStandIn : public SiblingLink::Host {
public:
    bool CaptureExists() const override { return capture; }
    bool CameraRecording(int camera) const override { return recording.count(camera) > 0; }
    bool AllCamerasRecording() const override { return recording.size() == 4; }
    void ToggleLinkRecording(int camera) override {
        if (!recording.erase(camera)) {
            recording.insert(camera);
        }
    }
    void ToggleAllLinkRecording() override {
        if (AllCamerasRecording()) {
            recording.clear();
        } else {
            recording = {1, 2, 3, 4};
        }
    }
    bool CameraOn(int camera) const override { return on.count(camera) > 0; }
    void SwitchCameraOn(int camera) override { on.insert(camera); }
    void ShowOnlyCamera(int camera) override { on = {camera}; }
    void StartRegisterTimer() override { timer = true; }
    void StopRegisterTimer() override { timer = false; }
    void Exit() override { ++exits; }
    bool IsSiblingWindow(intptr_t value) const override { return value == sibling; }

    bool capture = true;
    std::set<int> recording;
    std::set<int> on{1, 2, 3, 4};
    bool timer = false;
    int exits = 0;
    intptr_t sibling = 4242;
};

class SiblingLinkTest : public ::testing::Test {
protected:
    std::string name = "/ovistra-link-test-" + std::to_string(getpid());
    StationStandIn station;
    std::atomic<int> linkCamera{0};
    SiblingLink link{station, linkCamera, name};
};

std::vector<uint8_t> Frame(uint8_t value) {
    return std::vector<uint8_t>(640 * 480 * 2, value);
}

TEST_F(SiblingLinkTest, TheBlockHoldsTheRequestedCamerasPictureAndGoesWithTheLink) {
    link.OnStartFrames(3);
    EXPECT_TRUE(link.active());
    EXPECT_EQ(linkCamera.load(), 3);
    const auto other = Frame(10), requested = Frame(30);
    link.HandOver(1, other.data());  // camera 2
    link.HandOver(2, requested.data());
    link.HandOver(3, other.data());
    {
        platform::SharedBlockReader reader(name);
        ASSERT_EQ(reader.Open(), platform::SharedBlockResult::Reused);
        ASSERT_EQ(reader.view().size(), static_cast<size_t>(kHandOverBytes));
        EXPECT_EQ(reader.view()[0], 30);
        EXPECT_EQ(reader.view()[kHandOverBytes - 1], 30);
    }
    link.OnStartFrames(5);  // a second request keeps the block: every camera now
    link.HandOver(3, other.data());
    link.OnStopFrames();
    EXPECT_FALSE(link.active());
    EXPECT_EQ(linkCamera.load(), 0);
    platform::SharedBlockReader gone(name);
    EXPECT_EQ(gone.Open(), platform::SharedBlockResult::Failed);
    link.HandOver(2, requested.data());  // nothing to copy into, nothing happens
}

TEST_F(SiblingLinkTest, RequestsWithACameraTheStationHasNotChangeNothing) {
    for (uintptr_t wild : {uintptr_t{0}, uintptr_t{6}, UINTPTR_MAX}) {
        link.OnStartFrames(wild);
        link.OnControl(wild);
        EXPECT_FALSE(link.active()) << wild;
        EXPECT_EQ(linkCamera.load(), 0) << wild;
    }
    link.OnCommand(77, 1);  // an unknown type is only remembered
    EXPECT_EQ(link.lastCommand(), 77u);
    EXPECT_EQ(link.siblingWindow(), 0);
    EXPECT_TRUE(station.recording.empty());
}

TEST_F(SiblingLinkTest, RemoteRecordingsStopWithoutEndingTheUsersOwn) {
    station.recording = {2};  // the user records camera 2
    link.OnControl(5);
    link.OnCommand(ids::kSiblingRegisterType, 0);  // no window: record at once
    EXPECT_EQ(station.recording, (std::set<int>{1, 2, 3, 4}));
    EXPECT_TRUE(link.remoteRecording(1));
    EXPECT_FALSE(link.remoteRecording(2));
    link.OnStopFrames();  // nobody registered: only what the link started stops
    EXPECT_EQ(station.recording, std::set<int>{2});
    EXPECT_EQ(station.exits, 0);
}

TEST_F(SiblingLinkTest, ARegisteredSiblingRecordsOnceCaptureRunsAndItsStopClosesTheStation) {
    station.capture = false;
    link.OnControl(2);
    link.OnCommand(ids::kSiblingRegisterType, 99);  // forged: no sibling of ours
    EXPECT_EQ(link.siblingWindow(), 0);
    link.OnCommand(ids::kSiblingRegisterType, station.sibling);
    EXPECT_EQ(link.siblingWindow(), station.sibling);
    EXPECT_EQ(station.on, std::set<int>{2});  // the requested camera alone
    EXPECT_TRUE(station.timer);
    link.OnRegisterTimer();
    EXPECT_TRUE(station.recording.empty());  // not before capture exists
    station.capture = true;
    link.OnRegisterTimer();
    EXPECT_FALSE(station.timer);
    EXPECT_EQ(station.recording, std::set<int>{2});
    station.sibling = 5151;
    link.OnCommand(ids::kSiblingRegisterType, 5151);  // a second sibling is ignored
    EXPECT_EQ(link.siblingWindow(), 4242);
    // Each of the three stop requests runs the exit sequence.
    link.OnStopFrames();
    link.OnControl(1);
    link.OnCommand(ids::kSiblingStopType, 0);
    EXPECT_EQ(station.exits, 3);
}

TEST_F(SiblingLinkTest, AVanishedClientEndsWhatItStartedButNeverTheStation) {
    struct Case {
        bool registered;
        bool othersWantFrames;
        bool linkStays;
    };
    for (const Case c : {Case{true, false, false}, Case{false, false, false},
                         Case{true, true, true}}) {
        station.recording = {1};  // the user's
        link.OnStartFrames(5);
        link.OnCommand(ids::kSiblingRegisterType, c.registered ? station.sibling : 0);
        link.OnRegisterTimer();
        ASSERT_EQ(station.recording, (std::set<int>{1, 2, 3, 4}));
        link.OnClientGone(station.sibling, c.othersWantFrames);
        EXPECT_EQ(link.siblingWindow(), 0);
        EXPECT_EQ(station.recording, std::set<int>{1});
        EXPECT_FALSE(station.timer);
        EXPECT_EQ(station.exits, 0);
        EXPECT_EQ(link.active(), c.linkStays);
        EXPECT_EQ(platform::SharedBlockReader(name).Open() == platform::SharedBlockResult::Reused,
                  c.linkStays);
        link.OnStopFrames();
    }
}

TEST_F(SiblingLinkTest, ShutdownRemovesTheBlockAndNamesTheCameraOnlyWhileLinked) {
    EXPECT_EQ(link.OnShutdown(), 0);
    link.OnStartFrames(3);
    EXPECT_EQ(link.OnShutdown(), 3);
    EXPECT_FALSE(link.active());
    EXPECT_EQ(platform::SharedBlockReader(name).Open(), platform::SharedBlockResult::Failed);
    EXPECT_EQ(link.OnShutdown(), 0);
}

}  // namespace
}  // namespace ovistra
