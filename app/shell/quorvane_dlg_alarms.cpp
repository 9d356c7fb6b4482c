// What follows an alarm beyond the live view: its still, its line in the alarm log, the user's
// alarm commands and the desktop's notification.
#include <QDir>
#include <QTimer>
#include <atomic>
#include <cstring>
#include <vector>

#include "alarm_commands.h"
#include "alarm_log.h"
#include "capture_device.h"
#include "capture_graph.h"
#include "desktop_notifier.h"
#include "durable_file.h"
#include "durable_writer.h"
#include "event_log.h"
#include "frame_grabber.h"
#include "local_clock.h"
#include "quorvane_dlg.h"
#include "still_picture.h"
#include "video_view.h"
#include "window_ids.h"

namespace ovistra {
namespace {

// The alarm's command and notification wait for its still this long at most, looking this often.
constexpr int kStillWaitMs = 2000;
constexpr int kStillPollMs = 10;

}  // namespace

struct CQuorvaneDlg::AlarmStillFrame {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(media::kFrameBytes);
    // --- set by the UI thread when it hands the bytes over, cleared by the writer's thread
    // (release) once it has read them; the UI thread writes them only while clear (acquire).
    std::atomic<bool> busy{false};
};

void CQuorvaneDlg::SetUpAlarmFollowUps() {
    alarmLog_ = std::make_unique<alarms::AlarmLog>(programFolder(), context_.durableWriter);
    alarmCommands_ = std::make_unique<alarms::AlarmCommands>();
    notifier_ = std::make_unique<alarms::DesktopNotifier>(context_.showWindow);
    for (std::shared_ptr<AlarmStillFrame>& frame : alarmStillFrames_) {
        frame = std::make_shared<AlarmStillFrame>();
    }
}

QString CQuorvaneDlg::AlarmCameraName(int camera) const {
    QString name = cameraNames_[camera - 1];
    for (QChar& c : name) {
        if (c.category() == QChar::Other_Control) {
            c = u' ';
        }
    }
    name = name.trimmed();
    return name.isEmpty() ? Text(ids::kTextUnnamedCamera).arg(camera) : name;
}

QString CQuorvaneDlg::TakeAlarmStill(int camera) {
    const QString number = QString::number(camera);
    std::shared_ptr<AlarmStillFrame>& frame = alarmStillFrames_[camera - 1];
    if (!frame || frame->busy.load(std::memory_order_acquire)) {
        frame = std::make_shared<AlarmStillFrame>();  // the last one is still being written
    }
    // The camera's latest frame, copied raw: converting and writing it is the writer's work, so
    // the alarm costs the motion tick only the copy and the name.
    bool copied = false;
    if (captureGraph_) {
        const media::FrameGrabber::Lease lease =
            captureGraph_->router().grabber(camera - 1).GetBuffer();
        if (lease) {
            std::memcpy(frame->bytes.data(), lease.data(), media::kFrameBytes);
            copied = true;
        }
    }
    QString path;
    if (copied) {
        const QString folder = StillFolder(settings_.RecordFolder());
        QDir().mkpath(folder);
        path = ReserveStill(folder, platform::LocalNow());
    }
    alarmStillWritten_[camera - 1].reset();
    if (path.isEmpty()) {
        EventLog::Instance().Print("still-failed", {{"camera", number}});
        return {};
    }
    auto written = std::make_shared<std::atomic<bool>>(false);
    alarmStillWritten_[camera - 1] = written;
    frame->busy.store(true, std::memory_order_relaxed);
    auto write = [path, frame, number, written] {
        const QByteArray bitmap = media::VideoView::PackedBitmapOf(frame->bytes.data());
        frame->busy.store(false, std::memory_order_release);
        if (!FillStill(path, bitmap)) {
            // Named already in the alarm's event; the file is gone again.
            EventLog::Instance().Print("still-failed", {{"camera", number}, {"file", path}});
        } else {
            platform::SyncFinishedFile(path);
        }
        written->store(true, std::memory_order_release);
    };
    if (context_.durableWriter) {
        context_.durableWriter->Post(std::move(write));
    } else {
        write();
    }
    return path;
}

void CQuorvaneDlg::AlarmStarted(int camera) {
    alarms::AlarmFacts facts;
    facts.camera = camera;
    facts.cameraName = AlarmCameraName(camera);
    facts.when = platform::LocalNow();
    facts.still = TakeAlarmStill(camera);
    EventFields fields{{QStringLiteral("camera"), QString::number(camera)}};
    if (!facts.still.isEmpty()) {
        fields.emplace_back(QStringLiteral("still"), facts.still);
    }
    EventLog::Instance().Print("alarm-started", fields);
    alarmFacts_[camera - 1] = facts;
    alarmStartPending_[camera - 1] = true;
    // The alarm starts its recording only after telling us; the rest waits until the tick is over.
    QMetaObject::invokeMethod(
        this, [this, camera] { FinishAlarmStart(camera); }, Qt::QueuedConnection);
}

void CQuorvaneDlg::FinishAlarmStart(int camera) {
    if (!alarmStartPending_[camera - 1]) {
        return;
    }
    alarmStartPending_[camera - 1] = false;
    alarms::AlarmFacts& facts = alarmFacts_[camera - 1];
    // The alarm's own recording, or the one that already ran; a set is known by its first file.
    facts.recording = recording_->IsRecording(camera) ? recording_->fileName(camera) : QString();
    alarmLog_->Started(facts);
    RunAlarmStartActions(facts, alarmStillWritten_[camera - 1], 0);
}

void CQuorvaneDlg::RunAlarmStartActions(const alarms::AlarmFacts& facts,
                                        std::shared_ptr<const std::atomic<bool>> stillWritten,
                                        int waitedMs) {
    // A script that mails the still must find it whole; a writer held up by a slow disk only
    // delays the command so long.
    if (stillWritten && !stillWritten->load(std::memory_order_acquire) && waitedMs < kStillWaitMs) {
        QTimer::singleShot(kStillPollMs, this, [this, facts, stillWritten, waitedMs] {
            RunAlarmStartActions(facts, stillWritten, waitedMs + kStillPollMs);
        });
        return;
    }
    alarmCommands_->Run(settings_.alarmCommand, facts, QStringLiteral("start"));
    notifier_->Notify(
        facts, Text(ids::kTextAlarmSummary).arg(facts.cameraName),
        Text(ids::kTextAlarmBody).arg(facts.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
}

void CQuorvaneDlg::AlarmEnded(int camera) {
    EventLog::Instance().Print("alarm-ended", {{"camera", QString::number(camera)}});
    // An alarm over before its start's follow-ups ran still has them, first.
    FinishAlarmStart(camera);
    alarms::AlarmFacts facts = alarmFacts_[camera - 1];
    facts.when = platform::LocalNow();
    alarmLog_->Ended(facts);
    alarmCommands_->Run(settings_.alarmEndCommand, facts, QStringLiteral("end"));
}

}  // namespace ovistra
