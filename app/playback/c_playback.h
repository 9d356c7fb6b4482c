// The playback dialog: the recordings of the recording list, filtered, described, deleted with
// their files or shown in their folder, and the chosen one played in a video area with a
// position slider, fast, slow and reverse speeds, a jump to a moment and the export of the
// picture on screen. A circular set plays file after file.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "alarm_log_entry.h"
#include "frame_grabber.h"
#include "message_window.h"
#include "playback_speeds.h"
#include "recorded_file_list.h"

class QAbstractButton;
class QLabel;
class QSlider;
class QTreeWidget;

namespace ovistra {

namespace media {
class PlaybackGraph;
class VideoView;
}  // namespace media

class PlaybackClip;
class RecordingList;
class ResourceLibrary;
class PlaybackTimeline;
class TimelinePanel;

class CPlayback : public QDialog, public platform::MessageWindow {
    Q_OBJECT

public:
    static constexpr int kTemplate = 134;

    // Controls of template 134.
    static constexpr int kRecordingList = 1078;
    static constexpr int kVideoArea = 1082;
    static constexpr int kPlayButton = 1049;
    static constexpr int kPauseButton = 1050;
    static constexpr int kStopButton = 1012;
    static constexpr int kSearchButton = 1013;
    static constexpr int kDeleteButton = 1014;
    static constexpr int kShowFolderButton = 1015;
    static constexpr int kJumpButton = 1016;
    static constexpr int kSlowButton = 1017;
    static constexpr int kFastButton = 1018;
    static constexpr int kCloseButton = 1019;
    static constexpr int kNextSlowButton = 1020;
    static constexpr int kNextFastButton = 1021;
    static constexpr int kReverseButton = 1023;
    static constexpr int kNextReverseButton = 1024;
    static constexpr int kExportButton = 1035;
    static constexpr int kCameraList = 1079;
    static constexpr int kKindList = 1080;
    static constexpr int kKindCheck = 1081;
    static constexpr int kDayCheck = 1083;
    static constexpr int kDayPicker = 1084;
    static constexpr int kMomentCheck = 1085;
    static constexpr int kMomentPicker = 1086;
    static constexpr int kDayRangeCheck = 1087;
    static constexpr int kDayRangeFrom = 1088;
    static constexpr int kDayRangeTo = 1089;
    static constexpr int kTimeRangeCheck = 1090;
    static constexpr int kTimeRangeFrom = 1091;
    static constexpr int kTimeRangeTo = 1092;
    static constexpr int kJumpDate = 1093;
    static constexpr int kJumpTime = 1094;
    static constexpr int kKeepJumpDate = 1095;
    static constexpr int kKeepJumpTime = 1096;
    static constexpr int kPositionSlider = 1097;
    static constexpr int kSpeedLabel = 1098;
    static constexpr int kInformation = 1099;
    static constexpr int kCountLabel = 1100;
    static constexpr int kClockLabel = 1101;  // the clock time of the picture on screen

    static constexpr uintptr_t kPositionTimer = 905;
    static constexpr uintptr_t kReverseTimer = 1000;
    static constexpr uint32_t kGraphNotify = 2029;
    static constexpr int kSliderRange = 500;

    struct Hooks {
        RecordedFileList::BeingWritten beingWritten;
        // A picture was exported: the picture browser shows it.
        std::function<void(const QString& path)> pictureExported;
        // The alarms the timeline marks, read each time the rows change; none when empty.
        std::function<std::vector<alarms::AlarmLogEntry>()> alarmMarks;
    };

    // The recording list and the resource library must outlive the dialog; the main window
    // hears of the dialog's closing by message 2025.
    CPlayback(RecordingList& recordings, const ResourceLibrary& resources,
              platform::WindowHandle mainWindow, Hooks hooks, QWidget* parent = nullptr);
    ~CPlayback() override;

    QWidget* Control(int id) const;

    // --- the list
    void FillList();          // 1013, and at every opening
    void SelectRow(int row);  // a click: the row's recording plays
    void OnDelete();          // 1014
    void OnShowFolder();      // 1015
    // A recording started or stopped: the rows, and the recording playing, are as they are now.
    void RecordingsChanged();
    const RecordedFileList& recordings() const { return list_; }

    // --- the player
    void OnPlay();         // 1049
    void OnPause();        // 1050
    void OnStop();         // 1012
    void OnCloseButton();  // 1019
    void OnFast();         // 1018
    void OnNextFast();     // 1021
    void OnSlow();         // 1017
    void OnNextSlow();     // 1020
    void OnReverse();      // 1023
    void OnNextReverse();  // 1024
    void OnJump();         // 1016
    // The timeline's click: the row's recording plays from `moment`.
    void PlayAt(int row, const QDateTime& moment);
    PlaybackTimeline* timeline() const;
    void OnExport();       // 1035
    void OnSliderMoved(int position);

    bool loaded() const { return loaded_; }
    bool playing() const { return playing_; }
    const QString& currentFile() const { return currentFile_; }
    int setPosition() const { return setPosition_; }
    double rate() const;
    const media::PlaybackGraph& graph() const { return *graph_; }
    const PlaybackSpeeds& speeds() const { return speeds_; }

protected:
    void OnTimer(uintptr_t id) override;
    platform::LResult OnMessage(uint32_t msg, platform::WParam w, platform::LParam l) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    friend class PlaybackClip;  // the clip buttons read what plays and where

    void ConnectControls();
    void OnRowActivated(int row);
    void FillFilterLists();
    RecordingFilter ReadFilter() const;
    void ShowRows();
    void ShowCount(int count);
    std::vector<int> SelectedRows() const;

    bool OpenFile(const QString& path);
    void CloseFile();
    void NormalPlay();
    void ShowSpeed(const PlaybackSpeed& speed);
    bool SetRateOrRefuse(double rate, int refusedText);
    // The recording playing as the recording list has it now, its files as its folder has them.
    void FollowPlayingEntry();
    void SeekToSlider(int position);
    void FollowPosition();
    // The moment `positionSeconds` into the file playing shows the clock time it was recorded.
    void ShowClock(std::optional<double> positionSeconds);
    void StepBack();
    void OnGraphEvents();
    void EndOfFile();
    void ShowInformation();
    void JumpTo(const QDateTime& moment);
    QString ExportPath(const QString& folder);

    QAbstractButton* Button(int id) const;
    QLabel* Label(int id) const;
    // A warning box over the dialog.
    void Tell(int textId, int captionId);

    static constexpr int kTextCannotOpen = 143;

    const ResourceLibrary& resources_;
    platform::WindowHandle mainWindow_;
    Hooks hooks_;
    RecordedFileList list_;
    QWidget* form_ = nullptr;
    QTreeWidget* table_ = nullptr;
    QSlider* slider_ = nullptr;
    std::unique_ptr<TimelinePanel> timeline_;

    media::FrameGrabber grabber_;
    media::VideoView* view_ = nullptr;
    std::unique_ptr<media::PlaybackGraph> graph_;

    PlaybackSpeeds speeds_;
    bool loaded_ = false;
    bool playing_ = false;
    QString currentFile_;
    RecordInfo current_;         // the recording playing
    QStringList setFiles_;       // its files, the first one first
    int setPosition_ = 0;        // the file of the set playing
    int exportCounter_ = 0;      // 0..9
    bool movingSlider_ = false;  // the dialog, not the user, moves the slider
    QElapsedTimer sinceClick_;   // the last click on a row, which a double click begins with
    QString clickedPath_;
    std::unique_ptr<PlaybackClip> clip_;
};

}  // namespace ovistra
