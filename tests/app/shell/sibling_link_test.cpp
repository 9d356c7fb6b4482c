// The station's side of the sibling link against a main window stand-in: the hand-over block,
// the recordings a sibling asks for and never the user's, the registered sibling that may close
// the station, and requests with wild parameters.
#include "sibling_link.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
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
    QString LinkRecordingOf(int camera) const override {
        const auto found = recording.find(camera);
        return found != recording.end() && found->second.startsWith("link") ? found->second
                                                                            : QString();
    }
    void ToggleLinkRecording(int camera) override {
        if (!recording.erase(camera)) {
            recording[camera] = QStringLiteral("link %1").arg(++starts);
        }
    }
    std::set<int> Recorded() const {
        std::set<int> cameras;
        for (const auto& [camera, id] : recording) {
            cameras.insert(camera);
        }
        return cameras;
    }
    bool CameraOn(int camera) const override { return on.count(camera) > 0; }
    void SwitchCameraOn(int camera) override { on.insert(camera); }
    void ShowOnlyCamera(int camera) override { on = {camera}; }
    void StartRegisterTimer() override { timer = true; }
    void StopRegisterTimer() override { timer = false; }
    void Exit() override { ++exits; }
    bool IsSiblingWindow(intptr_t value) const override { return value == sibling; }

    bool capture = true;
    std::map<int, QString> recording;  // camera -> the recording: "user", or the link's
    int starts = 0;
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

constexpr intptr_t kClient = 777;

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
    link.OnStopFrames(kClient);
    EXPECT_FALSE(link.active());
    EXPECT_EQ(linkCamera.load(), 0);
    platform::SharedBlockReader gone(name);
    EXPECT_EQ(gone.Open(), platform::SharedBlockResult::Failed);
    link.HandOver(2, requested.data());  // nothing to copy into, nothing happens
}

TEST_F(SiblingLinkTest, RequestsWithACameraTheStationHasNotChangeNothing) {
    for (uintptr_t wild : {uintptr_t{0}, uintptr_t{6}, UINTPTR_MAX}) {
        link.OnStartFrames(wild);
        link.OnControl(kClient, wild);
        EXPECT_FALSE(link.active()) << wild;
        EXPECT_EQ(linkCamera.load(), 0) << wild;
    }
    link.OnCommand(kClient, 77, 1);  // an unknown type is only remembered
    EXPECT_EQ(link.lastCommand(), 77u);
    EXPECT_EQ(link.siblingWindow(), 0);
    EXPECT_TRUE(station.recording.empty());
}

TEST_F(SiblingLinkTest, RemoteRecordingsStopWithoutEndingTheUsersOwn) {
    station.recording = {{2, "user"}};
    link.OnControl(kClient, 5);
    link.OnCommand(kClient, ids::kSiblingRegisterType, 0);  // no window: record at once
    EXPECT_EQ(station.Recorded(), (std::set<int>{1, 2, 3, 4}));
    EXPECT_EQ(link.owner(1), kClient);
    EXPECT_EQ(link.owner(2), 0);
    link.OnStopFrames(kClient);  // nobody registered: only what the link started stops
    EXPECT_EQ(station.Recorded(), std::set<int>{2});
    EXPECT_EQ(station.exits, 0);
}

TEST_F(SiblingLinkTest, ARegisteredSiblingRecordsOnceCaptureRunsAndItsStopClosesTheStation) {
    station.capture = false;
    link.OnControl(station.sibling, 2);
    link.OnCommand(station.sibling, ids::kSiblingRegisterType, 99);  // forged: no sibling of ours
    EXPECT_EQ(link.siblingWindow(), 0);
    link.OnCommand(station.sibling, ids::kSiblingRegisterType, station.sibling);
    EXPECT_EQ(link.siblingWindow(), station.sibling);
    EXPECT_EQ(station.on, std::set<int>{2});  // the requested camera alone
    EXPECT_TRUE(station.timer);
    link.OnRegisterTimer();
    EXPECT_TRUE(station.recording.empty());  // not before capture exists
    station.capture = true;
    link.OnRegisterTimer();
    EXPECT_FALSE(station.timer);
    EXPECT_EQ(station.Recorded(), std::set<int>{2});
    EXPECT_EQ(link.owner(2), 4242);
    station.sibling = 5151;
    link.OnCommand(5151, ids::kSiblingRegisterType, 5151);  // a second sibling is ignored
    EXPECT_EQ(link.siblingWindow(), 4242);
    // Each of the three stop requests runs the exit sequence.
    link.OnStopFrames(kClient);
    link.OnControl(kClient, 1);
    link.OnCommand(kClient, ids::kSiblingStopType, 0);
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
        station.recording = {{1, "user"}};
        link.OnStartFrames(5);
        link.OnCommand(station.sibling, ids::kSiblingRegisterType,
                       c.registered ? station.sibling : 0);
        link.OnRegisterTimer();
        ASSERT_EQ(station.Recorded(), (std::set<int>{1, 2, 3, 4}));
        link.OnClientGone(station.sibling, c.othersWantFrames);
        EXPECT_EQ(link.siblingWindow(), 0);
        EXPECT_EQ(station.Recorded(), std::set<int>{1});
        EXPECT_FALSE(station.timer);
        EXPECT_EQ(station.exits, 0);
        EXPECT_EQ(link.active(), c.linkStays);
        EXPECT_EQ(platform::SharedBlockReader(name).Open() == platform::SharedBlockResult::Reused,
                  c.linkStays);
        link.OnStopFrames(station.sibling);
    }
}

TEST_F(SiblingLinkTest, ARecordingStartedAgainAfterALossStaysTheClientsUntilItsStop) {
    link.OnControl(kClient, 3);
    link.OnCommand(kClient, ids::kSiblingRegisterType, 0);
    const QString before = station.recording[3];
    station.recording.clear();  // the device went, every recording ended
    EXPECT_TRUE(link.Owns(3, before));
    station.recording[3] = "link again";
    link.RecordingRestarted(3, before);
    link.OnCommand(kClient, ids::kSiblingStopType, 0);
    EXPECT_TRUE(station.recording.empty());
    // Asked to stop while the device is away: nothing is left to start again, nothing starts.
    link.OnCommand(kClient, ids::kSiblingRegisterType, 0);
    const QString lost = station.recording[3];
    station.recording.clear();
    link.OnCommand(kClient, ids::kSiblingStopType, 0);
    EXPECT_FALSE(link.Owns(3, lost));
    EXPECT_TRUE(station.recording.empty());
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
