// The main window's schedules: the check that starts and ends the cameras' scheduled
// recordings every second of the station's clock, and the dialog that edits them.
#include <QLabel>

#include "event_log.h"
#include "local_clock.h"
#include "message_box.h"
#include "quorvane_dlg.h"
#include "resource_library.h"
#include "schedule_record.h"
#include "window_ids.h"

namespace ovistra {

void CQuorvaneDlg::CheckSchedules() {
    const ScheduleCheck::Acting acting(scheduleCheck_);
    if (!acting) {
        return;
    }
    // A start refused tells so without waiting for the user.
    const platform::MessageBoxes::NoWaitScope noWait;
    std::array<ScheduleCheck::Schedule, RegistrySettings::kCameras> schedules;
    for (int n = 0; n < RegistrySettings::kCameras; ++n) {
        schedules[n] = {(settings_.scheduleCamera & (1u << n)) != 0, settings_.cameraSchedule[n],
                        settings_.cameraEndSchedule[n]};
    }
    for (const ScheduleCheck::Event& event :
         scheduleCheck_.Advance(platform::LocalNow(), schedules)) {
        if (event.start) {
            StartScheduledRecording(event.camera);
        } else if (recording_->IsRecording(event.camera) &&
                   recording_->reason(event.camera) == RecordReason::Schedule) {
            // Only what the schedule started: hand and alarm recordings run on.
            recording_->ToggleRecording(event.camera);
        }
    }
}

void CQuorvaneDlg::StartScheduledRecording(int camera) {
    const QString name = context_.resources->Text(ids::kFirstScheduleCameraText + camera - 1) +
                         cameraNames_[camera - 1];
    if (!CanRecord(camera)) {
        ShowStatusLine(name + QStringLiteral("  ") +
                       context_.resources->Text(ids::kTextScheduledCameraMissing));
        return;
    }
    recording_->SetSetup(CurrentRecordingSetup());
    // A new file and entry begin at the scheduled moment.
    const bool started = recording_->Restart(camera, RecordReason::Schedule);
    ShowStatusLine(name + QLatin1Char(' ') +
                   context_.resources->Text(started ? ids::kTextScheduledRecordingStarted
                                                    : ids::kTextScheduledStartFailed));
    if (!started) {
        EventLog::Instance().Print("schedule-failed", {{"camera", QString::number(camera)}});
    }
}

void CQuorvaneDlg::ShowStatusLine(const QString& text) {
    if (auto* status = qobject_cast<QLabel*>(Control(ids::kStatusText))) {
        status->setText(text);
        status->show();
    }
}

void CQuorvaneDlg::OnScheduleButton() {
    if (!scheduleDlg_) {
        scheduleDlg_ = new CScheduleRecord(*context_.resources, Handle(), this);
        ScheduleValues values;
        values.mask = settings_.scheduleCamera;
        values.start = settings_.cameraSchedule;
        values.end = settings_.cameraEndSchedule;
        scheduleDlg_->SetValues(values);
        // From now on the schedules are written at exit.
        openedDialogs_.schedule = true;
    } else if (scheduleDlg_->isVisible()) {
        scheduleDlg_->Close();
        return;
    }
    scheduleDlg_->Open();
}

void CQuorvaneDlg::OnScheduleAnswer(bool confirmed) {
    if (!scheduleDlg_) {
        return;
    }
    scheduleDlg_->Close();
    if (confirmed) {
        const ScheduleValues& values = scheduleDlg_->Values();
        settings_.scheduleCamera = values.mask;
        settings_.cameraSchedule = values.start;
        settings_.cameraEndSchedule = values.end;
        // Written now as well as at exit, so a crash after the confirm keeps it.
        store_.SaveSchedules(settings_);
    }
}

}  // namespace ovistra
