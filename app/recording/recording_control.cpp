#include "recording_control.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <tuple>
#include <vector>

#include "avi_repair.h"
#include "durable_file.h"
#include "durable_writer.h"
#include "folders.h"
#include "recording_list.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr uint32_t kDefaultFrameRate = 25;
// How far a name search walks on from the start second; a day of taken names is no folder
// the station made.
constexpr int kNameSearchSeconds = 86400;

int KindText(RecordReason reason) {
    switch (reason) {
        case RecordReason::Schedule:
            return ids::kTextKindSchedule;
        case RecordReason::Alarm:
            return ids::kTextKindAlarm;
        case RecordReason::Hand:
        case RecordReason::Link:
            break;
    }
    return ids::kTextKindHand;
}

int FaultText(RecorderFault fault) {
    switch (fault) {
        case RecorderFault::Write:
            return ids::kTextRecordingWriteFailed;
        case RecorderFault::Pipeline:
            return ids::kTextRecorderFailed;
        case RecorderFault::Stalled:
            return ids::kTextRecorderStalled;
        case RecorderFault::NoSpace:
        case RecorderFault::None:
            break;
    }
    return ids::kTextNoDiskSpace;
}

uintptr_t FrameTimer(int camera) {
    return ids::kFirstFrameTimer + static_cast<uintptr_t>(camera - 1);
}

uintptr_t RotationTimer(int camera) {
    return ids::kFirstCircularTimer + static_cast<uintptr_t>(camera - 1);
}

}  // namespace

RecordingControl::RecordingControl(RecordingHost& host, RecordingList* list)
    : host_(host), list_(list) {}

RecordingControl::~RecordingControl() {
    StopAll();
}

QString RecordingControl::CameraFolder(int camera) const {
    return platform::JoinPath(setup_.recordFolder, QStringLiteral("Camera%1").arg(camera));
}

QString RecordingControl::CircularFileName(const QString& baseName, int index) {
    QString stem = baseName;
    if (stem.endsWith(QLatin1String(".avi"))) {
        stem.chop(4);
    }
    return stem + QString::number(index) + QLatin1String(".avi");
}

uint32_t RecordingControl::FrameRate(int camera) const {
    const uint32_t rate = setup_.frameRate[camera - 1];
    return rate == 0 ? kDefaultFrameRate : rate;
}

bool RecordingControl::HasFreeSpace(uint32_t thresholdMb) {
    const std::optional<RecordingHost::DiskSpace> space = host_.FreeSpace(setup_.recordFolder);
    if (!space) {
        return false;
    }
    const uint64_t freeMb = space->freeBytes >> 20;
    host_.ShowDiskLabel(host_.Text(ids::kTextDrive) + QLatin1Char(' ') + space->mountPoint +
                        QLatin1String("    ") + host_.Text(ids::kTextFree) + QLatin1Char(' ') +
                        QString::number(freeMb) + QLatin1String("MB"));
    if (freeMb > thresholdMb) {
        return true;
    }
    host_.DiskLow(setup_.recordFolder, freeMb);
    return false;
}

bool RecordingControl::ToggleRecording(int camera, RecordReason reason) {
    if (camera < 1 || camera > kCameras) {
        return false;
    }
    if (IsRecording(camera)) {
        Stop(camera);
        return false;
    }
    return Start(camera, reason);
}

bool RecordingControl::Restart(int camera, RecordReason reason) {
    if (camera < 1 || camera > kCameras || !host_.CanRecord(camera)) {
        return false;
    }
    // The sound input belongs to the running recorder until it stops.
    if (!IsRecording(camera) || setup_.audioCamera == static_cast<uint32_t>(camera)) {
        if (IsRecording(camera)) {
            Stop(camera);
        }
        return Start(camera, reason);
    }
    // A running recording is not ended for a new one that could not follow it.
    if (!HasFreeSpace(kStartThresholdMb)) {
        Refuse(reason, ids::kTextNoDiskSpace, ids::kCaptionGeneral);
        return false;
    }
    QDir().mkpath(CameraFolder(camera));
    std::unique_ptr<CRecorder> next = MakeRecorder(camera, FreeFileName(camera, host_.LocalNow()));
    if (!next) {
        Refuse(reason, ids::kTextRecordingNotSetUp, ids::kCaptionRecording);
        host_.RecordingFailed(camera, ids::kTextRecordingNotSetUp);
        return false;
    }
    Stop(camera);
    return Start(camera, reason, std::move(next));
}

void RecordingControl::ToggleAllRecording(RecordReason reason) {
    if (allRecording()) {
        for (int camera = 1; camera <= kCameras; ++camera) {
            ToggleRecording(camera);
        }
    } else if (HasFreeSpace(kStartThresholdMb)) {
        for (int camera = 1; camera <= kCameras; ++camera) {
            if (!IsRecording(camera)) {
                ToggleRecording(camera, reason);
            }
        }
    } else {
        host_.ShowMessage(ids::kTextNoDiskSpace, ids::kCaptionGeneral);
    }
    host_.RecordingsChanged();
}

bool RecordingControl::StartAlarmRecording(int camera) {
    if (camera < 1 || camera > kCameras || IsRecording(camera)) {
        return false;
    }
    PreAlarmClip earlier = preAlarm_.Take(camera);
    if (!Start(camera, RecordReason::Alarm, nullptr, &earlier)) {
        return false;
    }
    if (!earlier.empty()) {
        const PreAlarmClip::Clock::time_point first = earlier.pictures().front().captured;
        const PreAlarmClip::Clock::time_point until = earlier.taken();
        // Written: its memory goes back to the buffer for the pictures that come meanwhile.
        earlier = PreAlarmClip();
        CatchUp(camera, first, until);
    }
    return true;
}

void RecordingControl::CatchUp(int camera, PreAlarmClip::Clock::time_point first,
                               PreAlarmClip::Clock::time_point until) {
    // Writing the earlier pictures took a while: what the camera showed meanwhile follows, so
    // the live pictures go on where the file stands.
    const auto interval = std::chrono::milliseconds(1000 / FrameRate(camera));
    for (int round = 0; round < kCatchUpRounds && IsRecording(camera); ++round) {
        if (PreAlarmClip::Clock::now() - until < interval) {
            return;
        }
        const PreAlarmClip more = preAlarm_.Take(camera);
        if (more.taken() <= until) {
            return;
        }
        until = more.taken();
        CameraRecording& c = Camera(camera);
        c.recorder->PushEarlier(EarlierPictures(more, first, c.started), MsBetween(first, until));
    }
}

uint32_t RecordingControl::MsBetween(PreAlarmClip::Clock::time_point from,
                                     PreAlarmClip::Clock::time_point to) {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

std::vector<CRecorder::EarlierPicture> RecordingControl::EarlierPictures(
    const PreAlarmClip& clip, PreAlarmClip::Clock::time_point first, const QDateTime& firstLocal) {
    std::vector<CRecorder::EarlierPicture> pictures;
    pictures.reserve(clip.pictures().size());
    for (const PreAlarmClip::Picture& p : clip.pictures()) {
        const uint32_t offsetMs = MsBetween(first, p.captured);
        pictures.push_back({p.frame, offsetMs, firstLocal.addMSecs(offsetMs)});
    }
    return pictures;
}

bool RecordingControl::Start(int camera, RecordReason reason, std::unique_ptr<CRecorder> built,
                             const PreAlarmClip* earlier) {
    if (!host_.CanRecord(camera)) {
        return false;
    }
    if (!built && !HasFreeSpace(kStartThresholdMb)) {
        Refuse(reason, ids::kTextNoDiskSpace, ids::kCaptionGeneral);
        return false;
    }
    QDateTime start = host_.LocalNow();
    std::vector<CRecorder::EarlierPicture> pictures;
    uint32_t earlierMs = 0;
    if (earlier && !earlier->empty()) {
        // Named, listed and stamped by the pictures' own times: the station's clock now, less
        // how long ago each was taken.
        const auto first = earlier->pictures().front().captured;
        earlierMs = MsBetween(first, earlier->taken());
        start = start.addMSecs(-static_cast<qint64>(earlierMs));
        pictures = EarlierPictures(*earlier, first, start);
    }
    QDir().mkpath(CameraFolder(camera));
    const QString file = built ? built->fileName() : FreeFileName(camera, start);
    std::unique_ptr<CRecorder> recorder = built ? std::move(built) : MakeRecorder(camera, file);
    if (!recorder) {
        // Nothing was counted or flagged yet: a recording that cannot run is not started.
        Refuse(reason, ids::kTextRecordingNotSetUp, ids::kCaptionRecording);
        host_.RecordingFailed(camera, ids::kTextRecordingNotSetUp);
        return false;
    }
    recorder->PushEarlier(pictures, earlierMs);
    unattendedRefusal_ = 0;
    if (running_ == 0) {
        // Circular mode too: four cameras can fill its margin well within ten minutes.
        host_.StartTimer(ids::kDiskWatchTimer, kWatchPeriodMs);
    }
    ++running_;
    faultTold_ = false;
    CameraRecording& c = Camera(camera);
    c.recorder = std::move(recorder);
    c.reason = reason;
    c.circularMode = setup_.circular;
    c.file = file;
    c.started = start;
    c.preAlarmMs = earlierMs;
    c.circular = CircularSet{};
    AddEntry(camera, reason, start);
    host_.StartTimer(FrameTimer(camera), 1000 / FrameRate(camera));
    if (c.circularMode) {
        c.circular.baseName = file;
        host_.StartTimer(RotationTimer(camera), kRotationPeriodMs);
    }
    if (running_ == 1) {
        host_.ShowRecordingIndicator(true);
    }
    host_.RecordingStarted(camera, reason, file);
    if (setup_.audioCamera == static_cast<uint32_t>(camera) && !c.recorder->hasSound()) {
        host_.RecordingWithoutSound(camera);
    }
    host_.RecordingsChanged();
    return true;
}

void RecordingControl::Refuse(RecordReason reason, int textId, int captionId) {
    if (reason == RecordReason::Alarm || reason == RecordReason::Schedule) {
        // Nobody pressed a button: every alarm would repeat the same box.
        if (unattendedRefusal_ == textId) {
            return;
        }
        unattendedRefusal_ = textId;
    }
    host_.ShowMessage(textId, captionId);
}

void RecordingControl::Stop(int camera) {
    CameraRecording& c = Camera(camera);
    host_.StopTimer(FrameTimer(camera));
    host_.StopTimer(RotationTimer(camera));
    const QDateTime end = host_.LocalNow();
    // The end of the stream first: the file gets its index and plays.
    const QString last = c.recorder->fileName();
    const bool finished = c.recorder->Stop();
    c.recorder->Teardown();
    c.recorder.reset();
    // Listed as finished only once its file plays; else the next start repairs it.
    if (KeepFile(last, finished)) {
        CompleteEntry(camera, end);
    }
    if (--running_ == 0) {
        host_.StopTimer(ids::kDiskWatchTimer);
        host_.ShowRecordingIndicator(false);
    }
    host_.RecordingStopped(camera, c.file, c.started.secsTo(host_.LocalNow()));
    c.reason = RecordReason::Hand;
    host_.RecordingsChanged();
}

void RecordingControl::StopAll() {
    for (int camera = 1; camera <= kCameras; ++camera) {
        if (IsRecording(camera)) {
            Stop(camera);
        }
    }
}

std::unique_ptr<CRecorder> RecordingControl::MakeRecorder(int camera, const QString& file) const {
    auto recorder = std::make_unique<CRecorder>();
    recorder->SetFrameInterval(1000 / FrameRate(camera));
    if ((setup_.timeStampMask & (1u << (camera - 1))) != 0) {
        recorder->EnableTimeStamp();
    }
    recorder->EnableAudio(setup_.audioCamera == static_cast<uint32_t>(camera));
    recorder->SetAudioInputs(setup_.audioInputs);
    recorder->SetVideoCompressor(setup_.compressors[camera - 1]);
    recorder->SetFileName(file);
    if (recorder->BuildGraph() && recorder->Run()) {
        return recorder;
    }
    recorder->Teardown();
    // The name was free, so whatever is there now is the failed start's own empty file.
    const QFileInfo left(file);
    if (left.exists() && left.size() == 0) {
        QFile::remove(file);
    }
    return nullptr;
}

QString RecordingControl::FreeFileName(int camera, const QDateTime& start) const {
    const QDir folder(CameraFolder(camera));
    QDateTime moment = start;
    for (int i = 0; i < kNameSearchSeconds; ++i, moment = moment.addSecs(1)) {
        const QString stem = moment.toString(QStringLiteral("yyMMdd_HHmmss"));
        // A circular set's later files carry its stem too; none of them may be overwritten.
        if (folder.entryList({stem + QLatin1String("*.avi")}, QDir::Files).isEmpty()) {
            return folder.filePath(stem + QLatin1String(".avi"));
        }
    }
    return folder.filePath(start.toString(QStringLiteral("yyMMdd_HHmmss")) +
                           QLatin1String(".avi"));
}

void RecordingControl::AddEntry(int camera, RecordReason reason, const QDateTime& start) {
    if (!list_) {
        return;
    }
    RecordInfo info;
    info.path = Camera(camera).file;
    info.camera = QString::number(camera);
    info.kind = host_.Text(KindText(reason));
    const bool stamped = (setup_.timeStampMask & (1u << (camera - 1))) != 0;
    info.stamp = host_.Text(stamped ? ids::kTextStamped : ids::kTextPlain);
    info.startDate = start.toString(QStringLiteral("yy/MM/dd"));
    info.startTime = start.toString(QStringLiteral("HH:mm:ss"));
    list_->entries().push_back(info);
    list_->Save();
}

bool RecordingControl::KeepFile(const QString& file, bool finished) {
    if (!finished) {
        const AviRepairResult::Outcome outcome = RepairAviFile(file).outcome;
        if (outcome != AviRepairResult::Outcome::Repaired &&
            outcome != AviRepairResult::Outcome::AlreadyComplete) {
            return false;
        }
    }
    // On the disk before the list calls it finished: the writer keeps that order.
    if (writer_) {
        writer_->SyncFinished(file);
    } else {
        platform::SyncFinishedFile(file);
    }
    return true;
}

void RecordingControl::CompleteEntry(int camera, const QDateTime& end) {
    if (!list_) {
        return;
    }
    const CameraRecording& c = Camera(camera);
    auto& entries = list_->entries();
    // The newest open entry of this file: the list may have changed since the start.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->path != c.file || !it->StillRecording()) {
            continue;
        }
        it->endDate = end.toString(QStringLiteral("yy/MM/dd"));
        it->endTime = end.toString(QStringLiteral("HH:mm:ss"));
        it->lastIndex = c.circularMode ? c.circular.lastIndex : 0;
        it->lastFileLength = c.circularMode ? c.circular.lastFileLength : 0;
        list_->Save();
        return;
    }
}

void RecordingControl::SwitchFile(int camera, const QString& file) {
    CRecorder& recorder = *Camera(camera).recorder;
    const QString last = recorder.fileName();
    KeepFile(last, recorder.Stop());
    TellReused(camera, file);
    if (!recorder.ChangeOutputFile(file) || !recorder.Run()) {
        host_.RecordingFailed(camera, ids::kTextRecordingNotSetUp);
        Stop(camera);
    }
}

void RecordingControl::RotateCircularFile(int camera) {
    if (camera < 1 || camera > kCameras || !IsRecording(camera)) {
        return;
    }
    CircularSet& set = Camera(camera).circular;
    ++set.ticks;
    if (HasFreeSpace(kCircularThresholdMb) || set.wrapped) {
        if (set.ticks != kTicksPerFile) {
            return;
        }
        ++set.fileIndex;
        set.ticks = 0;
        if (!set.wrapped) {
            set.lastIndex = set.fileIndex;
            SwitchFile(camera, CircularFileName(set.baseName, set.fileIndex));
        } else if (set.fileIndex > highestIndex_[camera - 1]) {
            set.fileIndex = 0;
            set.lastFileLength = kTicksPerFile;
            SwitchFile(camera, set.baseName);
        } else {
            SwitchFile(camera, CircularFileName(set.baseName, set.fileIndex));
        }
    } else if (setup_.circular) {
        WrapCircularSet(camera);
        SwitchFile(camera, set.baseName);
    } else {
        ToggleRecording(camera);
    }
}

void RecordingControl::WrapCircularSet(int camera) {
    CircularSet& set = Camera(camera).circular;
    set.lastIndex = set.fileIndex;
    highestIndex_[camera - 1] = set.fileIndex;
    set.lastFileLength = set.ticks;
    set.fileIndex = 0;
    set.wrapped = true;
    set.ticks = 0;
}

QString RecordingControl::AdvanceCircularSet(int camera) {
    CircularSet& set = Camera(camera).circular;
    set.ticks = 0;
    ++set.fileIndex;
    if (!set.wrapped) {
        set.lastIndex = set.fileIndex;
    } else if (set.fileIndex > highestIndex_[camera - 1]) {
        set.fileIndex = 0;
        set.lastFileLength = kTicksPerFile;
    }
    return set.fileIndex == 0 ? set.baseName : CircularFileName(set.baseName, set.fileIndex);
}

void RecordingControl::WatchRecordDisk() {
    MeasureWriteRate();
    if (setup_.circular) {
        KeepCircularRoom();
        return;
    }
    if (HasFreeSpace(kWatchThresholdMb)) {
        return;
    }
    for (int camera = 1; camera <= kCameras; ++camera) {
        if (IsRecording(camera)) {
            ToggleRecording(camera);
        }
    }
}

void RecordingControl::PushFrame(int camera, const uint8_t* frame, bool isNew) {
    if (camera < 1 || camera > kCameras || !IsRecording(camera)) {
        return;
    }
    CRecorder& recorder = *Camera(camera).recorder;
    recorder.PushFrame(frame, isNew);
    const RecorderFault fault = recorder.Fault();
    if (fault != RecorderFault::None) {
        OnFault(camera, fault);
    }
}

void RecordingControl::OnFault(int camera, RecorderFault fault) {
    if (fault == RecorderFault::NoSpace && Camera(camera).circularMode &&
        GoOnAfterFullDisk(camera)) {
        return;
    }
    host_.RecordingFailed(camera, FaultText(fault));
    // The writer never finished the file: the stop repairs it as after a crash.
    Stop(camera);
    // Told after the stop: a message box's loop must not meet this recording again.
    if (!faultTold_) {
        faultTold_ = true;
        host_.ShowMessage(FaultText(fault), ids::kCaptionGeneral);
    }
}

bool RecordingControl::GoOnAfterFullDisk(int camera) {
    CameraRecording& c = Camera(camera);
    const QString torn = c.recorder->fileName();
    c.recorder->Stop();
    c.recorder->Teardown();
    QString next;
    if (MakeRoom(CircularMarginBytes())) {
        next = AdvanceCircularSet(camera);
    } else if (!c.circular.wrapped) {
        WrapCircularSet(camera);
        next = c.circular.baseName;
    } else {
        next = AdvanceCircularSet(camera);
    }
    TellReused(camera, next);
    if (next != torn) {
        // What it gives way to frees the room the torn file's index needs.
        QFile::resize(next, 0);
        KeepFile(torn, false);
    }
    std::unique_ptr<CRecorder> recorder = MakeRecorder(camera, next);
    if (!recorder) {
        return false;
    }
    c.recorder = std::move(recorder);
    return true;
}

std::optional<uint64_t> RecordingControl::FreeBytes() const {
    const std::optional<RecordingHost::DiskSpace> space = host_.FreeSpace(setup_.recordFolder);
    return space ? std::optional<uint64_t>(space->freeBytes) : std::nullopt;
}

void RecordingControl::TellReused(int camera, const QString& file) {
    const QFileInfo info(file);
    if (info.exists() && info.size() > 0) {
        host_.CircularReused(camera, file);
    }
}

bool RecordingControl::MakeRoom(uint64_t wantedBytes) {
    struct Candidate {
        QDateTime modified;
        QString file;
        int camera = 0;
    };
    std::vector<Candidate> candidates;
    auto beingWritten = [this](const QString& file) {
        return std::any_of(cameras_.begin(), cameras_.end(), [&file](const CameraRecording& c) {
            return c.recorder && c.recorder->fileName() == file;
        });
    };
    auto addFollowers = [&](const QString& base, int camera, int lastIndex) {
        for (int index = 1; index <= lastIndex; ++index) {
            const QString file = CircularFileName(base, index);
            const QFileInfo info(file);
            if (info.isFile() && !beingWritten(file)) {
                candidates.push_back({info.lastModified(), file, camera});
            }
        }
    };
    if (list_) {
        for (const RecordInfo& entry : list_->entries()) {
            if (!entry.StillRecording() && entry.lastIndex >= 1) {
                addFollowers(entry.path, entry.camera.toInt(), entry.lastIndex);
            }
        }
    }
    for (int camera = 1; camera <= kCameras; ++camera) {
        const CameraRecording& c = Camera(camera);
        if (c.recorder && c.circularMode) {
            const int highest = c.circular.wrapped ? highestIndex_[camera - 1] : c.circular.lastIndex;
            addFollowers(c.circular.baseName, camera, highest);
        }
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return std::tie(a.modified, a.file) < std::tie(b.modified, b.file);
    });
    // A set keeps its numbering: playback counts its files by it and says what gave way.
    bool deleted = false;
    for (const Candidate& candidate : candidates) {
        const std::optional<uint64_t> free = FreeBytes();
        if (!free || *free >= wantedBytes) {
            break;
        }
        host_.CircularReused(candidate.camera, candidate.file);
        deleted = QFile::remove(candidate.file) || deleted;
    }
    return deleted;
}

uint64_t RecordingControl::CircularMarginBytes() const {
    const uint64_t fixed = uint64_t{kCircularThresholdMb} << 20;
    const auto measured = static_cast<uint64_t>(bytesPerSecond_ * kCircularMarginSeconds);
    return std::max(fixed, measured);
}

void RecordingControl::MeasureWriteRate() {
    const QDateTime now = host_.LocalNow();
    int64_t grown = 0;
    for (int camera = 1; camera <= kCameras; ++camera) {
        const CameraRecording& c = Camera(camera);
        WrittenSample& sample = written_[camera - 1];
        if (!c.recorder) {
            sample = WrittenSample{};
            continue;
        }
        const QString file = c.recorder->fileName();
        const int64_t bytes = QFileInfo(file).size();
        grown += file == sample.file ? std::max<int64_t>(0, bytes - sample.bytes) : bytes;
        sample = WrittenSample{file, bytes};
    }
    const qint64 ms = writtenAt_.isValid() ? writtenAt_.msecsTo(now) : 0;
    if (ms > 0) {
        bytesPerSecond_ = double(grown) * 1000.0 / double(ms);
    }
    writtenAt_ = now;
}

void RecordingControl::KeepCircularRoom() {
    const uint64_t margin = CircularMarginBytes();
    // A disk that does not answer is no reason to delete anything.
    if (HasFreeSpace(static_cast<uint32_t>(margin >> 20)) || !FreeBytes()) {
        return;
    }
    MakeRoom(margin);
    const std::optional<uint64_t> free = FreeBytes();
    if (!free || *free >= margin) {
        return;
    }
    for (int camera = 1; camera <= kCameras; ++camera) {
        CameraRecording& c = Camera(camera);
        if (c.recorder && c.circularMode && !c.circular.wrapped) {
            WrapCircularSet(camera);
            SwitchFile(camera, c.circular.baseName);
        }
    }
}

}  // namespace ovistra
