#include "recording_control.h"

#include <QDir>
#include <QFileInfo>

#include "avi_repair.h"
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

bool RecordingControl::Start(int camera, RecordReason reason) {
    if (!host_.CanRecord(camera)) {
        return false;
    }
    if (!HasFreeSpace(kStartThresholdMb)) {
        host_.ShowMessage(ids::kTextNoDiskSpace, ids::kCaptionGeneral);
        return false;
    }
    const QDateTime start = host_.LocalNow();
    QDir().mkpath(CameraFolder(camera));
    const QString file = FreeFileName(camera, start);
    std::unique_ptr<CRecorder> recorder = MakeRecorder(camera, file);
    if (!recorder) {
        // Nothing was counted or flagged yet: a recording that cannot run is not started.
        host_.ShowMessage(ids::kTextRecordingNotSetUp, ids::kCaptionRecording);
        host_.RecordingFailed(camera, ids::kTextRecordingNotSetUp);
        return false;
    }
    if (running_ == 0 && !setup_.circular) {
        host_.StartTimer(ids::kDiskWatchTimer, kWatchPeriodMs);
    }
    ++running_;
    writeFaultTold_ = false;
    CameraRecording& c = Camera(camera);
    c.recorder = std::move(recorder);
    c.reason = reason;
    c.circularMode = setup_.circular;
    c.file = file;
    c.started = start;
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

void RecordingControl::Stop(int camera) {
    CameraRecording& c = Camera(camera);
    host_.StopTimer(FrameTimer(camera));
    host_.StopTimer(RotationTimer(camera));
    // The end of the stream first: the file gets its index and plays.
    c.recorder->Stop();
    c.recorder->Teardown();
    c.recorder.reset();
    CompleteEntry(camera);
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

void RecordingControl::CompleteEntry(int camera) {
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
        const QDateTime now = host_.LocalNow();
        it->endDate = now.toString(QStringLiteral("yy/MM/dd"));
        it->endTime = now.toString(QStringLiteral("HH:mm:ss"));
        it->lastIndex = c.circularMode ? c.circular.lastIndex : 0;
        it->lastFileLength = c.circularMode ? c.circular.lastFileLength : 0;
        list_->Save();
        return;
    }
}

void RecordingControl::SwitchFile(int camera, const QString& file) {
    CRecorder& recorder = *Camera(camera).recorder;
    recorder.Stop();
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
        // The disk ran low before the set wrapped: cut the file here and start over the set.
        set.lastIndex = set.fileIndex;
        highestIndex_[camera - 1] = set.fileIndex;
        set.lastFileLength = set.ticks;
        set.fileIndex = 0;
        set.wrapped = true;
        set.ticks = 0;
        SwitchFile(camera, set.baseName);
    } else {
        ToggleRecording(camera);
    }
}

void RecordingControl::WatchRecordDisk() {
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
    if (recorder.WriteFailed()) {
        OnWriteFault(camera);
    }
}

void RecordingControl::OnWriteFault(int camera) {
    const QString written = Camera(camera).recorder->fileName();
    host_.RecordingFailed(camera, ids::kTextNoDiskSpace);
    Stop(camera);
    // The writer never finished the file: it gets its index as after a crash.
    RepairAviFile(written);
    // Told after the stop: a message box's loop must not meet this recording again.
    if (!writeFaultTold_) {
        writeFaultTold_ = true;
        host_.ShowMessage(ids::kTextNoDiskSpace, ids::kCaptionGeneral);
    }
}

}  // namespace ovistra
