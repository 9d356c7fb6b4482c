// The main window's playback dialog: button 1023 and message 2025 open and close it; the
// exit button closes it with the picture browser.
#include <QFileInfo>
#include <memory>
#include <utility>
#include <vector>

#include "alarm_log.h"
#include "c_playback.h"
#include "c_thumbnail_dlg.h"
#include "folders.h"
#include "quorvane_dlg.h"
#include "recording_control.h"

namespace ovistra {
namespace {

// The alarm log read again only when it changed: the timeline asks at every list refresh.
class AlarmMarks {
public:
    explicit AlarmMarks(QString path) : path_(std::move(path)) {}
    std::vector<alarms::AlarmLogEntry> operator()() {
        const QFileInfo info(path_);
        const auto stamp = std::make_pair(info.exists() ? info.size() : -1,
                                          info.lastModified().toMSecsSinceEpoch());
        if (stamp != stamp_) {
            entries_ = alarms::ReadAlarmLog(path_).entries;
            stamp_ = stamp;
        }
        return entries_;
    }

private:
    QString path_;
    std::pair<qint64, qint64> stamp_{-2, 0};
    std::vector<alarms::AlarmLogEntry> entries_;
};

}  // namespace

void CQuorvaneDlg::TogglePlayback() {
    if (!context_.recordings) {
        return;  // a station without its recording list has nothing to play
    }
    if (!playbackDlg_) {
        CPlayback::Hooks hooks;
        hooks.beingWritten = [this](const QString& path) { return RecordingWrites(path); };
        hooks.pictureExported = [this](const QString& path) {
            ShowInPictureBrowser(path);
            if (pictureBrowser_) {
                pictureBrowser_->SelectNewest();
            }
        };
        hooks.alarmMarks = [marks = std::make_shared<AlarmMarks>(platform::JoinPath(
                                programFolder(), alarms::AlarmLog::kFileName))] {
            return (*marks)();
        };
        playbackDlg_ = new CPlayback(*context_.recordings, *context_.resources, Handle(),
                                     std::move(hooks), this);
    } else if (playbackDlg_->isVisible()) {
        playbackDlg_->hide();
        return;
    }
    playbackDlg_->show();
}

void CQuorvaneDlg::TellPlaybackRecordingsChanged() {
    if (playbackDlg_) {
        playbackDlg_->RecordingsChanged();
    }
}

bool CQuorvaneDlg::RecordingWrites(const QString& path) const {
    for (int camera = 1; camera <= RecordingControl::kCameras; ++camera) {
        if (recording_->IsRecording(camera) && recording_->fileName(camera) == path) {
            return true;
        }
    }
    return false;
}

void CQuorvaneDlg::CloseSecondaryWindows() {
    if (playbackDlg_) {
        playbackDlg_->hide();
    }
    if (pictureBrowser_) {
        pictureBrowser_->hide();
    }
}

}  // namespace ovistra
