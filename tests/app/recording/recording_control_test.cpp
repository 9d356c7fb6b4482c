// The recording control over real recorders, with a free-space source and a clock the tests
// set: counts and flags, names, list entries, circular sets and the disk rules.
#include "recording_control.h"

#include <gst/base/gstbasetransform.h>
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

#include "disk_space.h"
#include "file_size_limit.h"
#include "recorded_file.h"
#include "recording_list.h"
#include "recording_recovery.h"
#include "window_ids.h"

namespace {

using ovistra::RecordingControl;
using ovistra::RecordingHost;
using ovistra::RecordReason;
namespace ids = ovistra::ids;

constexpr uint64_t kMb = 1024 * 1024;

class FakeHost : public RecordingHost {
public:
    QDateTime now = QDateTime(QDate(2007, 3, 25), QTime(14, 30, 5));
    std::optional<uint64_t> freeBytes = 1000 * kMb;
    bool realDisk = false;  // the record folder's own file system answers instead
    std::map<uintptr_t, uint32_t> timers;
    std::vector<std::pair<int, int>> messages;
    std::vector<QString> events;
    QString diskLabel;
    bool indicator = false;

    QDateTime LocalNow() const override { return now; }
    std::optional<DiskSpace> FreeSpace(const QString& folder) const override {
        if (realDisk) {
            const std::optional<uint64_t> bytes = ovistra::platform::FreeBytes(folder);
            return bytes ? std::optional<DiskSpace>(DiskSpace{*bytes, folder}) : std::nullopt;
        }
        if (!freeBytes) {
            return std::nullopt;
        }
        return DiskSpace{*freeBytes, QStringLiteral("/rec")};
    }
    bool CanRecord(int) const override { return true; }
    void StartTimer(uintptr_t id, uint32_t periodMs) override { timers[id] = periodMs; }
    void StopTimer(uintptr_t id) override { timers.erase(id); }
    void ShowMessage(int textId, int captionId) override {
        messages.emplace_back(textId, captionId);
    }
    QString Text(int id) const override { return QStringLiteral("T%1").arg(id); }
    void ShowDiskLabel(const QString& text) override { diskLabel = text; }
    void ShowRecordingIndicator(bool shown) override { indicator = shown; }
    void RecordingsChanged() override {}
    void RecordingStarted(int camera, RecordReason, const QString&) override {
        events.push_back(QStringLiteral("started %1").arg(camera));
    }
    void RecordingStopped(int camera, const QString&, qint64) override {
        events.push_back(QStringLiteral("stopped %1").arg(camera));
    }
    void RecordingFailed(int camera, int textId) override {
        events.push_back(QStringLiteral("failed %1 %2").arg(camera).arg(textId));
    }
    void RecordingWithoutSound(int camera) override {
        events.push_back(QStringLiteral("without-sound %1").arg(camera));
    }
    void DiskLow(const QString&, uint64_t freeMb) override {
        events.push_back(QStringLiteral("disk-low %1").arg(freeMb));
    }
    void CircularReused(int camera, const QString& file) override {
        events.push_back(QStringLiteral("reused %1 %2").arg(camera).arg(file));
    }
};

class RecordingControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        gst_init(nullptr, nullptr);
        ASSERT_TRUE(folder.isValid());
        list = std::make_unique<ovistra::RecordingList>(folder.path() + "/");
        control = std::make_unique<RecordingControl>(host, list.get());
        ovistra::RecordingSetup setup;
        setup.recordFolder = folder.path() + "/rec/";
        setup.frameRate = {25, 0, 10, 25};
        setup.timeStampMask = 0b0001;
        setup.compressors = {"jpegenc", "jpegenc", "jpegenc", "jpegenc"};
        control->SetSetup(setup);
    }
    void SetCircular(bool on) {
        ovistra::RecordingSetup setup = control->setup();
        setup.circular = on;
        control->SetSetup(setup);
    }

    QTemporaryDir folder;
    FakeHost host;
    std::unique_ptr<ovistra::RecordingList> list;
    std::unique_ptr<RecordingControl> control;
};

TEST_F(RecordingControlTest, StartsAreRefusedAtThirtyMegabytesOrLessOrWhenNothingAnswers) {
    const struct {
        std::optional<uint64_t> freeBytes;
        bool starts;
    } cases[] = {{30 * kMb, false}, {31 * kMb - 1, false}, {31 * kMb, true}, {std::nullopt, false}};
    for (const auto& c : cases) {
        host.freeBytes = c.freeBytes;
        host.messages.clear();
        EXPECT_EQ(control->ToggleRecording(1), c.starts);
        EXPECT_EQ(control->IsRecording(1), c.starts);
        if (c.starts) {
            control->ToggleRecording(1);
        } else {
            EXPECT_EQ(host.messages, (std::vector<std::pair<int, int>>{{118, 119}}));
        }
    }
    EXPECT_EQ(host.diskLabel, QStringLiteral("T179 /rec    T180 31MB"));
}

TEST_F(RecordingControlTest, UnattendedRefusalsAreToldOncePerCauseAndARestartKeepsWhatRuns) {
    host.freeBytes = 10 * kMb;
    for (RecordReason reason : {RecordReason::Alarm, RecordReason::Schedule, RecordReason::Hand}) {
        EXPECT_FALSE(control->ToggleRecording(1, reason));
    }
    EXPECT_EQ(host.messages.size(), 2u);  // one for the unattended starts, one for the hand
    host.freeBytes = 1000 * kMb;
    ASSERT_TRUE(control->ToggleRecording(3));
    const QString running = control->fileName(3);
    const ovistra::RecordingSetup good = control->setup();
    ovistra::RecordingSetup taken = good;
    taken.recordFolder = folder.filePath("taken");  // a file: no recorder can write below it
    QFile(taken.recordFolder).open(QIODevice::WriteOnly);
    control->SetSetup(taken);
    EXPECT_FALSE(control->Restart(3, RecordReason::Schedule));
    EXPECT_FALSE(control->ToggleRecording(2, RecordReason::Alarm));
    EXPECT_EQ(control->fileName(3), running);
    control->SetSetup(good);
    EXPECT_TRUE(control->Restart(3, RecordReason::Schedule));
    EXPECT_NE(control->fileName(3), running);
    control->SetSetup(taken);
    EXPECT_FALSE(control->ToggleRecording(2, RecordReason::Alarm));  // told again after a start
    EXPECT_EQ(host.messages, (std::vector<std::pair<int, int>>{
                                 {118, 119}, {118, 119}, {117, 218}, {117, 218}}));
    control->StopAll();
}

TEST_F(RecordingControlTest, CountsTimersAndTheAllCamerasFlagFollowStartsAndStops) {
    for (int camera : {1, 2, 3}) {
        ASSERT_TRUE(control->ToggleRecording(camera));
        EXPECT_FALSE(control->allRecording());
    }
    EXPECT_TRUE(host.indicator);
    EXPECT_EQ(host.timers.at(ids::kDiskWatchTimer), 60000u);
    EXPECT_EQ(host.timers.at(ids::kFirstFrameTimer + 1), 40u);  // a stored 0 records at 25
    EXPECT_EQ(host.timers.at(ids::kFirstFrameTimer + 2), 100u);
    ASSERT_TRUE(control->ToggleRecording(4));
    EXPECT_TRUE(control->allRecording());
    EXPECT_EQ(control->running(), 4);

    control->ToggleRecording(2);
    EXPECT_FALSE(control->allRecording());
    EXPECT_EQ(host.timers.count(ids::kFirstFrameTimer + 1), 0u);
    control->ToggleAllRecording();  // starts camera 2 again
    EXPECT_TRUE(control->allRecording());
    control->ToggleAllRecording();  // stops all four, in order
    EXPECT_EQ(control->running(), 0);
    EXPECT_FALSE(host.indicator);
    EXPECT_TRUE(host.timers.empty());
    const std::vector<QString> tail(host.events.end() - 4, host.events.end());
    EXPECT_EQ(tail, (std::vector<QString>{"stopped 1", "stopped 2", "stopped 3", "stopped 4"}));
}

TEST_F(RecordingControlTest, AStartThatCannotRunIsUndoneAndTheOthersStillStart) {
    // Camera 3's folder is taken by a file: its writer cannot open anything there.
    QDir().mkpath(folder.path() + "/rec");
    QFile blocker(folder.path() + "/rec/Camera3");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    control->ToggleAllRecording();
    EXPECT_TRUE(control->IsRecording(1) && control->IsRecording(2) && control->IsRecording(4));
    EXPECT_FALSE(control->IsRecording(3));
    EXPECT_EQ(control->running(), 3);
    EXPECT_FALSE(control->allRecording());
    EXPECT_EQ(host.messages, (std::vector<std::pair<int, int>>{{117, 218}}));
    EXPECT_EQ(host.timers.count(ids::kFirstFrameTimer + 2), 0u);
    EXPECT_EQ(list->entries().size(), 3u);
    EXPECT_NE(std::find(host.events.begin(), host.events.end(), "failed 3 117"),
              host.events.end());

    // A failed alarm start leaves no alarm label behind.
    control->ToggleRecording(3, RecordReason::Alarm);
    EXPECT_EQ(control->reason(3), RecordReason::Hand);
    control->StopAll();
    EXPECT_EQ(control->running(), 0);
}

TEST_F(RecordingControlTest, EntriesNameTheFileCameraKindStampAndTimes) {
    const struct {
        int camera;
        RecordReason reason;
        const char* kind;
        const char* stamp;
    } cases[] = {
        {1, RecordReason::Hand, "T217", "T210"},
        {2, RecordReason::Schedule, "T195", "T211"},
        {3, RecordReason::Alarm, "T194", "T211"},
        {4, RecordReason::Link, "T217", "T211"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(control->ToggleRecording(c.camera, c.reason));
    }
    host.now = host.now.addSecs(3600 * 10);  // past midnight
    control->StopAll();
    ASSERT_EQ(list->entries().size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const ovistra::RecordInfo& e = list->entries()[i];
        const auto& c = cases[i];
        EXPECT_EQ(e.path, folder.path() + QStringLiteral("/rec/Camera%1/070325_143005.avi")
                                              .arg(c.camera));
        EXPECT_EQ(e.camera, QString::number(c.camera));
        EXPECT_EQ(e.kind, c.kind);
        EXPECT_EQ(e.stamp, c.stamp);
        EXPECT_EQ(e.startDate + " " + e.startTime, "07/03/25 14:30:05");
        EXPECT_EQ(e.endDate + " " + e.endTime, "07/03/26 00:30:05");
        EXPECT_EQ(e.lastIndex, 0);
        EXPECT_EQ(e.lastFileLength, 0);
        EXPECT_TRUE(QFileInfo(e.path).size() > 0) << e.path.toStdString();
    }
    // The list on disk says the same.
    ovistra::RecordingList reread(folder.path() + "/");
    reread.Load();
    EXPECT_EQ(reread.entries(), list->entries());
}

TEST_F(RecordingControlTest, ASecondRecordingInTheSameSecondTakesTheNextFreeName) {
    control->ToggleRecording(1);
    control->ToggleRecording(1);
    control->ToggleRecording(1);
    control->ToggleRecording(1);
    ASSERT_EQ(list->entries().size(), 2u);
    EXPECT_TRUE(list->entries()[0].path.endsWith("/Camera1/070325_143005.avi"));
    EXPECT_TRUE(list->entries()[1].path.endsWith("/Camera1/070325_143006.avi"));
    EXPECT_GT(QFileInfo(list->entries()[0].path).size(), 0);
}

TEST_F(RecordingControlTest, ACircularSetGrowsWrapsWhenTheDiskRunsLowAndReusesItsFiles) {
    SetCircular(true);
    ASSERT_TRUE(control->ToggleRecording(2));
    EXPECT_EQ(host.timers.at(ids::kDiskWatchTimer), 60000u);
    EXPECT_EQ(host.timers.at(ids::kFirstCircularTimer + 1), 600000u);
    // Files 1 to 4 every three ticks, then 20 minutes into file 4 the disk is low.
    for (int tick = 0; tick < 13; ++tick) {
        control->RotateCircularFile(2);
    }
    EXPECT_EQ(control->circularSet(2).fileIndex, 4);
    host.freeBytes = 50 * kMb;
    control->RotateCircularFile(2);
    const RecordingControl::CircularSet& set = control->circularSet(2);
    EXPECT_TRUE(set.wrapped);
    EXPECT_EQ(set.fileIndex, 0);
    EXPECT_EQ(set.lastIndex, 4);
    EXPECT_EQ(set.lastFileLength, 2);
    EXPECT_EQ(control->highestIndex(2), 4);
    const QString base = control->fileName(2);
    for (int index = 1; index <= 4; ++index) {
        EXPECT_TRUE(QFile::exists(RecordingControl::CircularFileName(base, index))) << index;
    }
    EXPECT_FALSE(QFile::exists(RecordingControl::CircularFileName(base, 5)));
    // Files 0 to 4 again, each in full; the set never grows.
    for (int tick = 0; tick < 15; ++tick) {
        control->RotateCircularFile(2);
    }
    EXPECT_EQ(set.fileIndex, 0);
    EXPECT_EQ(set.lastFileLength, 3);
    EXPECT_FALSE(QFile::exists(RecordingControl::CircularFileName(base, 5)));
    control->ToggleRecording(2);
    EXPECT_EQ(list->entries().back().lastIndex, 4);
    EXPECT_EQ(list->entries().back().lastFileLength, 3);
}

TEST_F(RecordingControlTest, ARotationTickWithCircularModeTurnedOffStopsOnALowDisk) {
    SetCircular(true);
    ASSERT_TRUE(control->ToggleRecording(1));
    SetCircular(false);
    host.freeBytes = 40 * kMb;
    control->RotateCircularFile(1);
    EXPECT_FALSE(control->IsRecording(1));
}

TEST_F(RecordingControlTest, TheDiskWatchStopsEveryCameraInOrderAtTwentyMegabytes) {
    for (int camera : {4, 2, 1}) {
        ASSERT_TRUE(control->ToggleRecording(camera));
    }
    host.freeBytes = 21 * kMb;
    control->WatchRecordDisk();
    EXPECT_EQ(control->running(), 3);
    host.events.clear();
    host.freeBytes = 20 * kMb;
    control->WatchRecordDisk();
    EXPECT_EQ(control->running(), 0);
    EXPECT_EQ(host.events,
              (std::vector<QString>{"disk-low 20", "stopped 1", "stopped 2", "stopped 4"}));
}

TEST_F(RecordingControlTest, OnlyTheAudioCamerasFilesCarrySound) {
    auto inputs = std::make_shared<ovistra::StaticAudioInputList>();
    inputs->Add({"Mic", [] { return gst_element_factory_make("audiotestsrc", nullptr); }});
    inputs->Add({"Line in", [] {
                     GstElement* source = gst_element_factory_make("audiotestsrc", nullptr);
                     g_object_set(source, "is-live", TRUE, nullptr);
                     return source;
                 }});
    ovistra::RecordingSetup setup = control->setup();
    setup.audioCamera = 2;
    setup.audioInputs = inputs;
    setup.compressors = {"", "", "", ""};
    control->SetSetup(setup);
    for (int camera : {1, 2, 4}) {
        ASSERT_TRUE(control->ToggleRecording(camera));
    }
    const std::vector<uint8_t> frame(640 * 480 * 2, 128);
    for (int tick = 0; tick < 12; ++tick) {
        for (int camera : {1, 2, 4}) {
            control->PushFrame(camera, frame.data(), tick == 0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    control->StopAll();
    ASSERT_EQ(list->entries().size(), 3u);
    for (const ovistra::RecordInfo& entry : list->entries()) {
        SCOPED_TRACE(entry.path.toStdString());
        const ovistra::testing::FileFacts facts = ovistra::testing::Inspect(entry.path);
        EXPECT_EQ(facts.width, 640);
        EXPECT_EQ(facts.audioStreams, entry.camera == "2" ? 1 : 0);
    }
}

// A file system of `mb` megabytes at `path`, for as long as it lives; the machines that run the
// tests run them as root.
class SmallDisk {
public:
    SmallDisk(const QString& path, int mb) : path_(QFile::encodeName(path)) {
        const std::string options = "size=" + std::to_string(mb) + "m,mode=0700";
        mounted_ = mount("tmpfs", path_.constData(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) {
            umount2(path_.constData(), MNT_DETACH);
        }
    }
    bool mounted() const { return mounted_; }

private:
    QByteArray path_;
    bool mounted_ = false;
};

std::vector<uint8_t> GreyFrame(int step) {
    return std::vector<uint8_t>(640 * 480 * 2, static_cast<uint8_t>(16 + step % 200));
}

TEST_F(RecordingControlTest, CircularRecordingsOnAFullDiskMakeRoomAndGoOnPlayable) {
    const QString disk = folder.filePath("disk");
    ASSERT_TRUE(QDir().mkpath(disk));
    const SmallDisk small(disk, 64);
    if (!small.mounted()) {
        GTEST_SKIP() << "mounting a small file system was refused here";
    }
    host.realDisk = true;
    ovistra::RecordingSetup setup = control->setup();
    setup.recordFolder = disk + "/rec/";
    setup.circular = true;
    setup.frameRate = {25, 25, 25, 25};
    setup.timeStampMask = 0;
    // Raw pictures: 900 KB each, so four cameras fill the disk within twenty frames.
    setup.compressors = {"identity", "identity", "identity", "identity"};
    control->SetSetup(setup);

    // An earlier circular set: its follower is the disk's oldest footage.
    ASSERT_TRUE(control->ToggleRecording(3));
    for (int tick = 0; tick < 6; ++tick) {
        if (tick == 3) {
            for (int rotation = 0; rotation < RecordingControl::kTicksPerFile; ++rotation) {
                control->RotateCircularFile(3);
            }
        }
        control->PushFrame(3, GreyFrame(tick).data(), true);
    }
    control->ToggleRecording(3);
    const QString earlier = list->entries().back().path;
    const QString earlierFollower = RecordingControl::CircularFileName(earlier, 1);
    ASSERT_EQ(list->entries().back().lastIndex, 1);
    ASSERT_TRUE(QFile::exists(earlierFollower));

    host.events.clear();
    for (int camera = 1; camera <= 4; ++camera) {
        ASSERT_TRUE(control->ToggleRecording(camera)) << camera;
    }
    for (int tick = 0; tick < 60; ++tick) {
        for (int camera = 1; camera <= 4; ++camera) {
            control->PushFrame(camera, GreyFrame(tick + camera).data(), true);
        }
        if (tick % 20 == 19) {
            host.now = host.now.addSecs(60);
            control->WatchRecordDisk();
        }
    }
    for (const QString& event : host.events) {
        EXPECT_FALSE(event.startsWith("failed") || event.startsWith("stopped")) << event.toStdString();
    }
    EXPECT_EQ(control->running(), 4);
    EXPECT_NE(std::find(host.events.begin(), host.events.end(), "reused 3 " + earlierFollower),
              host.events.end());
    EXPECT_FALSE(QFile::exists(earlierFollower));
    control->StopAll();

    ASSERT_EQ(list->entries().size(), 5u);
    for (const ovistra::RecordInfo& entry : list->entries()) {
        SCOPED_TRACE(entry.path.toStdString());
        EXPECT_FALSE(entry.StillRecording());
        for (int index = 0; index <= entry.lastIndex; ++index) {
            const QString file =
                index == 0 ? entry.path : RecordingControl::CircularFileName(entry.path, index);
            if (!QFile::exists(file)) {
                continue;  // a follower that gave way
            }
            const ovistra::testing::FileFacts facts = ovistra::testing::Inspect(file);
            EXPECT_EQ(facts.width, 640) << file.toStdString();
            EXPECT_GT(facts.seconds, 0) << file.toStdString();
        }
    }
}

TEST_F(RecordingControlTest, AWriteFaultWhoseRepairFailsLeavesTheEntryOpenForTheNextStart) {
    constexpr rlim_t kLimit = 300 * 1024;
    std::optional<ovistra::testing::FileSizeLimit> full;
    full.emplace(kLimit);
    ASSERT_TRUE(control->ToggleRecording(1));
    ASSERT_TRUE(control->ToggleRecording(2));
    const QString file = control->fileName(1);
    // Well short of the limit: a fault here would be repaired while the disk still has room.
    for (int tick = 0; tick < 200 && QFileInfo(file).size() < qint64(kLimit) / 2; ++tick) {
        control->PushFrame(1, GreyFrame(tick).data(), true);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(control->IsRecording(1));
    // The disk now refuses even the index the repair would write.
    full.reset();
    full.emplace(4096);
    for (int tick = 0; tick < 100 && control->IsRecording(1); ++tick) {
        control->PushFrame(1, GreyFrame(tick).data(), true);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Its own text, not a full disk's; camera 2 goes on.
    EXPECT_FALSE(control->IsRecording(1));
    EXPECT_TRUE(control->IsRecording(2));
    EXPECT_EQ(host.messages, (std::vector<std::pair<int, int>>{{ids::kTextRecordingWriteFailed,
                                                                ids::kCaptionGeneral}}));
    ASSERT_EQ(list->entries().size(), 2u);
    EXPECT_TRUE(list->entries()[0].StillRecording());
    full.reset();
    control->StopAll();

    ovistra::RecordingList next(folder.path() + "/");
    next.Load();
    ASSERT_TRUE(next.entries()[0].StillRecording());
    const std::vector<ovistra::RecoveredRecording> recovered = ovistra::RecoverOpenRecordings(next);
    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_EQ(recovered[0].fate, ovistra::RecoveredRecording::Fate::Repaired);
    EXPECT_FALSE(next.entries()[0].StillRecording());
    EXPECT_EQ(ovistra::testing::Inspect(next.entries()[0].path).width, 640);
}

// An encoder that takes a few pictures, then fails as a broken codec does.
struct FailingEncoder {
    GstBaseTransform parent;
    int pictures;
};
struct FailingEncoderClass {
    GstBaseTransformClass parent;
};
G_DEFINE_TYPE(FailingEncoder, failing_encoder, GST_TYPE_BASE_TRANSFORM)

GstFlowReturn FailingEncoderTransform(GstBaseTransform* element, GstBuffer*) {
    auto* self = reinterpret_cast<FailingEncoder*>(element);
    if (++self->pictures <= 3) {
        return GST_FLOW_OK;
    }
    GST_ELEMENT_ERROR(element, STREAM, ENCODE, ("broken"), (nullptr));
    return GST_FLOW_ERROR;
}

void failing_encoder_class_init(FailingEncoderClass* klass) {
    auto* element = GST_ELEMENT_CLASS(klass);
    GstCaps* any = gst_caps_new_any();
    gst_element_class_add_pad_template(element,
                                       gst_pad_template_new("sink", GST_PAD_SINK, GST_PAD_ALWAYS, any));
    gst_element_class_add_pad_template(element,
                                       gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, any));
    gst_caps_unref(any);
    gst_element_class_set_static_metadata(element, "Failing encoder", "Codec/Encoder/Video",
                                          "fails after three pictures", "tests");
    GST_BASE_TRANSFORM_CLASS(klass)->transform_ip = FailingEncoderTransform;
}

void failing_encoder_init(FailingEncoder* self) {
    self->pictures = 0;
    gst_base_transform_set_in_place(GST_BASE_TRANSFORM(self), TRUE);
}

TEST_F(RecordingControlTest, AnEncoderThatFailsEndsOnlyItsCamerasRecordingWithItsOwnText) {
    gst_element_register(nullptr, "failingenc", GST_RANK_NONE, failing_encoder_get_type());
    ovistra::RecordingSetup setup = control->setup();
    setup.compressors[1] = "failingenc";
    control->SetSetup(setup);
    ASSERT_TRUE(control->ToggleRecording(1));
    ASSERT_TRUE(control->ToggleRecording(2));
    for (int tick = 0; tick < 100 && control->IsRecording(2); ++tick) {
        control->PushFrame(1, GreyFrame(tick).data(), true);
        control->PushFrame(2, GreyFrame(tick).data(), true);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(control->IsRecording(2));
    EXPECT_TRUE(control->IsRecording(1));
    EXPECT_NE(std::find(host.events.begin(), host.events.end(),
                        QStringLiteral("failed 2 %1").arg(ids::kTextRecorderFailed)),
              host.events.end());
    // Its first pictures were written and are kept.
    EXPECT_FALSE(list->entries()[1].StillRecording());
    EXPECT_EQ(ovistra::testing::Inspect(list->entries()[1].path).width, 640);
    control->StopAll();
    EXPECT_FALSE(list->entries()[0].StillRecording());
}

}  // namespace
