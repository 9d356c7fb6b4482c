// The main window: the live view and the owner of every subsystem. It starts the station in a
// fixed order, drives everything through its timers and window messages, and shuts down in a
// fixed order whichever way it is closed.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <QRect>
#include <QString>
#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "alarm_facts.h"
#include "camera_switcher.h"
#include "capture_device.h"
#include "detection_run.h"
#include "device_control.h"
#include "display_mode.h"
#include "keyboard_lock.h"
#include "live_view_layout.h"
#include "message_window.h"
#include "picture_overlay.h"
#include "recording_control.h"
#include "registry_key.h"
#include "registry_settings.h"
#include "rtsp_config.h"
#include "scaled_form.h"
#include "schedule_check.h"
#include "settings_store.h"
#include "shared_block.h"
#include "sibling_link.h"
#include "window_link.h"

class QImage;
class QPushButton;
class QScreen;
class QTimer;
class QWindow;

namespace ovistra {

class CaptureGraph;
class CCameraSetDlg;
class CMotionSet;
class CPlayback;
class CSetColor;
class PasswordLock;
class CThumbnailDlg;
class CRecordSetDlg;
class CScheduleRecord;
class CSoundPlayer;
class RecordingList;
class ResourceLibrary;
namespace alarms {
class AlarmCommands;
class AlarmLog;
class DesktopNotifier;
}  // namespace alarms
namespace platform {
class DurableWriter;
}
namespace media {
class VideoView;
}
namespace network {
class CNetworkViewDlg;
class RtspServer;
}
struct StationStatistics;

// What the application object hands the main window.
struct StationContext {
    const ResourceLibrary* resources = nullptr;
    platform::RegistryStore* registry = nullptr;
    QString programFolder;  // with a trailing "/"
    StationStatistics* statistics = nullptr;
    const media::DeviceList* devices = nullptr;  // the capture devices this run may use
    bool simulatedDevice = true;                 // the list holds the simulated device
    bool showWindow = true;               // false: the station runs without ever showing its window
    RecordingList* recordings = nullptr;  // the application object's recording list
    platform::DurableWriter* durableWriter = nullptr;  // syncs finished files and the list
    std::vector<int> recordAtStart;       // cameras recorded once capture runs
    bool recordAllAtStart = false;        // the all-cameras record button once capture runs
    std::shared_ptr<const AudioInputList> audioInputs;  // null: the machine's sound inputs
    bool detectAtStart = false;                         // the motion button once capture runs
    std::vector<int> stillsAtStart;  // cameras whose still is saved once they have a picture
    QString detectorLibrary;         // empty: the analysis library among the station's folders
    QString runtimeFolder;           // empty: no link with sibling programs
    std::optional<uint64_t> simulatedDiskMb;  // the record disk's size for this run
    std::string linkBlockName = platform::kSharedBlockName;
    bool fullScreenAtStart = false;  // kiosk use: the pictures take the whole screen from the start
    network::RtspRunChoice rtspAtStart;  // the command line's RTSP server, over the stored one
};

class CQuorvaneDlg : public QDialog,
                     public platform::MessageWindow,
                     protected RecordingHost,
                     protected DetectionHost {
    Q_OBJECT

public:
    explicit CQuorvaneDlg(const StationContext& context, QWidget* parent = nullptr);
    ~CQuorvaneDlg() override;

    // Initialises the window, runs it until it is closed, then shuts down; the one way to run
    // it. False when start-up failed (the user was told by a message box).
    bool RunModal();

    // A command of the window's buttons and menus.
    void OnCommand(int id);

    // The control with this number in the window's template; null when there is none.
    QWidget* Control(int id) const;

    const RegistrySettings& settings() const { return settings_; }
    // The program folder, worked out once at start; every feature takes it from here.
    const QString& programFolder() const { return context_.programFolder; }
    QString settingsFilePath() const { return settingsFile_; }

    // The main window's title, which companion programs look the station up by.
    static const QString kWindowTitle;

    // The clock caption's text for a moment: "%Y-%m-%d  %H:%M:%S".
    static QString ClockText(const QDateTime& when);

protected:
    // --- steps that the capture, recording, schedule, link and settings features fill in
    virtual bool CanMakeVideoView();      // start-up check behind text 115
    virtual void NotifySiblingStarted();  // start-up: tell a running companion program
    virtual int StartCapture();           // timer 909: build and start the capture graph
    virtual void StopSwitching();         // first step of every shutdown: stop the switching thread
    virtual void CheckSchedules();        // timer 908, with the clock's moment
    virtual void LoadRecordingList();     // start-up: "fileinfo.dat"
    virtual void CloseSecondaryWindows();  // exit button: playback window and picture browser
    virtual void StopAllRecordings();
    virtual void StopCaptureGraph();
    virtual void CloseDeviceControl();
    virtual void TearDownCaptureGraph();
    virtual void NotifySiblingStopped();
    virtual void OnFeatureCommand(int id);  // buttons of the settings dialogs, playback, ...
    virtual void OnFeatureMessage(uint32_t msg, platform::WParam w, platform::LParam l);
    virtual QStringList MissingMediaElements();
    // The switching thread moved the cycling view to this camera (0..3); UI thread.
    void ShowCyclingCamera(int camera);
    // A single click on camera `camera`'s (0..3) picture, once no double click followed.
    virtual void OnSingleClick(int camera);

    void OnTimer(uintptr_t id) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    platform::LResult OnMessage(uint32_t msg, platform::WParam w, platform::LParam l) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    // Counts the enabled cameras and sets the view modes; after every camera on/off change.
    void ApplyCameraEnableSet();

    // --- live view (quorvane_dlg_live_view.cpp)
    void SetUpLiveView();
    // Places every moved element for the window and view state, then the video views.
    void ApplyLayout();
    void PlaceVideoViews();
    void UpdateCaptions();
    void SetCameraNames(const std::array<QString, 4>& names);
    void OnCameraButton(int camera);  // 0..3
    void EnableAllCameras();
    void AfterCameraChange();
    void SetCyclingView(bool on);
    void ToggleFullScreen();
    // Sizes a full-screen window to its screen; without a window manager nothing else does.
    void CoverScreen();
    // Follows the screen the window is on: moved to another, or that screen's size changed.
    void WatchScreen();
    void OnScreenChanged(QScreen* screen);
    void ToggleZoom(int camera);  // 1..4
    void OnPictureClicked(int camera);
    void OnPictureDoubleClicked(int camera);
    void OnClickTimer(int camera);
    void OnLayoutTimer();
    // The camera, all-cameras and cycling buttons with whether each is active.
    std::vector<std::pair<QPushButton*, bool>> StateButtons() const;
    void UpdateButtonStates();
    void PaintButtonStates(QWidget* panel);
    void AttachVideoViews();
    void DetachVideoViews();
    // Greys every picture with "No signal" over it while the capture device is away.
    void MarkPicturesLost(bool lost);
    WindowMode CurrentWindowMode() const;
    int PictureIndexOf(QObject* object) const;

    int zoomedCamera_ = 0;  // 1..4, 0: four pictures
    bool fullScreen_ = false;
    Qt::WindowStates stateBeforeFullScreen_ = Qt::WindowMaximized;
    std::array<bool, 4> doubleClicked_{};
    std::array<QString, 4> cameraNames_;
    std::array<QString, 4> decoratedNames_;
    std::array<media::VideoView*, 4> views_{};  // children of their picture (or of 1004)
    std::array<QWidget*, 4> noSignalMarks_{};   // children of the views, once a device was lost
    int cyclingShown_ = -1;                     // the camera the large picture shows
    // --- what the pictures show over themselves (quorvane_dlg_picture_overlays.cpp)
    void SetUpPictureOverlays();
    void ShowViewStateOnPictures();
    void ShowClockOnPictures(const QString& clock);
    std::array<PictureOverlay, 4> overlays_;  // painted by each camera's view, wherever it stands
    QWidget* sidePanel_ = nullptr;
    std::unique_ptr<ScaledForm> scaledForm_;  // the template's fonts and buttons at the layout's scale
    QPointer<QWindow> watchedWindow_;
    QMetaObject::Connection screenSizeWatch_;
    LiveViewLayout layout_;
    RegistrySettings settings_;
    OpenedDialogs openedDialogs_;
    // --- capture (quorvane_dlg_capture.cpp)
    std::unique_ptr<CaptureGraph> captureGraph_;
    DeviceControl deviceControl_;
    SwitchState switchState_;
    std::unique_ptr<CameraSwitcher> switcher_;
    // --- network view (quorvane_dlg_network.cpp); after the capture graph, so it goes first
    void StartNetworkView();  // once capture runs, as the run and the stored settings ask
    void ServeNetworkView(const network::RtspServerConfig& config);
    void StopNetworkView();   // shutdown: before the capture graph goes
    // The server reads no router while a capture graph is torn down or rebuilt.
    void DetachNetworkView();
    void AttachNetworkView();
    void ShowNamesOnNetworkView();  // after camera name changes
    void ShowSettingsOnNetworkView();  // after the time stamp setting changed
    void OnNetworkViewCommand();
    void OnNetworkViewAnswer(bool confirmed);
    std::unique_ptr<network::RtspServer> rtspServer_;
    std::optional<std::pair<uint16_t, QString>> servedPlace_;  // the port and address it serves
    network::CNetworkViewDlg* networkViewDlg_ = nullptr;  // a child, from its first opening on
    bool allCamerasActive_ = false;  // button 1015 drawn in its active state
    QDateTime clockMoment_;          // the clock's last moment, for the schedule check

    // --- recording (quorvane_dlg_recording.cpp)
    RecordingSetup CurrentRecordingSetup() const;
    // The capture device's own sound input before the machine's, with the station's preference.
    std::shared_ptr<const AudioInputList> SoundInputs() const;
    void OnRecordButton(int camera);  // 1..4
    void OnRecordAllButton();
    // The recording timers (881, 884..887, 911..914); false for any other timer.
    bool OnRecordingTimer(uintptr_t id);
    void StartRecordingsAsked();                 // the run's --record, once capture runs
    bool RecordingBySchedule(int camera) const;  // 0..3
    void CreateCameraFolders() const;
    QDateTime LocalNow() const override;
    std::optional<DiskSpace> FreeSpace(const QString& folder) const override;
    bool CanRecord(int camera) const override;
    void StartTimer(uintptr_t id, uint32_t periodMs) override;
    void StopTimer(uintptr_t id) override;
    void ShowMessage(int textId, int captionId) override;
    QString Text(int id) const override;
    void ShowDiskLabel(const QString& text) override;
    void ShowRecordingIndicator(bool shown) override;
    void RecordingsChanged() override;
    void RecordingStarted(int camera, RecordReason reason, const QString& file) override;
    void RecordingStopped(int camera, const QString& file, qint64 seconds) override;
    void RecordingFailed(int camera, int textId) override;
    void RecordingWithoutSound(int camera) override;
    void DiskLow(const QString& folder, uint64_t freeMb) override;
    void CircularReused(int camera, const QString& file) override;

    std::unique_ptr<RecordingControl> recording_;

    // The record settings dialog: button 1017 opens and closes it, 1679/1680 answer it.
    void OnRecordSetButton();
    void OnRecordSetAnswer(bool confirmed);
    CRecordSetDlg* recordSetDlg_ = nullptr;  // a child, from its first opening on

    // --- schedules (quorvane_dlg_schedule.cpp)
    void StartScheduledRecording(int camera);  // 1..4
    void ShowStatusLine(const QString& text);
    // The schedules dialog: button 1025 opens and closes it, 1674/1675 answer it.
    void OnScheduleButton();
    void OnScheduleAnswer(bool confirmed);
    ScheduleCheck scheduleCheck_;
    CScheduleRecord* scheduleDlg_ = nullptr;  // a child, from its first opening on

    // --- motion detection (quorvane_dlg_motion.cpp)
    static constexpr int kAlarmFrameIds[4] = {1050, 1121, 1123, 1122};  // camera 1..4
    DetectionRun::Settings CurrentDetectionSettings() const;
    void ToggleMotionDetection();
    void OnMotionTick();         // timer 915
    void StartDetectionAsked();  // the run's --detect, once capture runs
    // Shown while detection runs, where the layout has room for them.
    void ShowAlarmFrames();
    void OnSoundNotification();  // 2029
    // The motion settings dialog: button 1116 opens and closes it, 1825/1826 answer it.
    void OnMotionSetButton();
    void OnMotionSetAnswer(bool confirmed);
    // Camera 1..4's latest frame, small, for the dialog's zone editor; null without one.
    QImage LivePicture(int camera);
    bool CameraRecorded(int camera) const override;
    bool CameraRecordedBySchedule(int camera) const override;
    void ToggleCameraRecording(int camera, bool byAlarm) override;
    void StartDetectionTimer(uint32_t periodMs) override;
    void StopDetectionTimer() override;
    void TellNoCameraSelected() override;
    void ShowDetectionRunning(bool running) override;
    void ColourAlarmFrame(int camera, bool alarm) override;
    void StartAlarmSound() override;
    void StopAlarmSound() override;
    void DetectionUnavailable(CDetectorRecord::Availability why) override;
    void LightChanged(int camera) override;

    std::unique_ptr<DetectionRun> detection_;
    std::unique_ptr<CSoundPlayer> soundPlayer_;  // from the first alarm with sound on
    CMotionSet* motionSetDlg_ = nullptr;         // a child, from its first opening on

    // --- what follows an alarm (quorvane_dlg_alarms.cpp): its log, still, commands, notification
    void SetUpAlarmFollowUps();
    void AlarmStarted(int camera) override;
    void AlarmEnded(int camera) override;
    // The alarm's still: named now, written on the durable writer's thread; empty when none.
    QString TakeAlarmStill(int camera);
    // The alarm's log line, command and notification, once its recording is known.
    void FinishAlarmStart(int camera);
    // The command and the notification, once the still they name is written (or given up on).
    void RunAlarmStartActions(const alarms::AlarmFacts& facts,
                              std::shared_ptr<const std::atomic<bool>> stillWritten, int waitedMs);
    QString AlarmCameraName(int camera) const;
    std::unique_ptr<alarms::AlarmLog> alarmLog_;
    std::unique_ptr<alarms::AlarmCommands> alarmCommands_;
    std::unique_ptr<alarms::DesktopNotifier> notifier_;
    std::array<alarms::AlarmFacts, 4> alarmFacts_;  // each camera's alarm, from its start on
    std::array<bool, 4> alarmStartPending_{};       // its follow-ups wait for its recording
    // Each camera's copy of its alarm's first frame, kept for the next alarm: a fresh one
    // costs the motion tick milliseconds of page faults.
    struct AlarmStillFrame;
    std::array<std::shared_ptr<AlarmStillFrame>, 4> alarmStillFrames_;
    // Set by the writer's thread once the alarm's still is on disk, or has failed.
    std::array<std::shared_ptr<std::atomic<bool>>, 4> alarmStillWritten_;

    // --- still pictures (quorvane_dlg_stills.cpp)
    bool CameraPresent(int camera) const;  // 1..4: switched on
    // What camera `camera` (1..4) shows, as a packed bitmap; empty before its first picture.
    QByteArray CurrentImage(int camera) const;
    void TakeStillPicture(int camera);  // 1..4, when switched on
    void SaveStillPicture(int camera, const QByteArray& image);
    void TakeAllStills();     // the still button
    void StartStillsAsked();  // the run's --still, once capture runs
    void TakeStillsAsked();
    std::vector<int> stillsPending_;  // --still cameras without a picture yet
    QTimer* stillsTimer_ = nullptr;
    // A new still or exported picture: the picture browser shows it (a headless station keeps
    // its pictures on disk and opens no browser).
    void ShowInPictureBrowser(const QString& path);
    // The station ends: what the browser still lists is kept or thrown away as the user says.
    void SettleUnkeptPictures();
    void OnPictureBrowserEmptied();            // 1725
    CThumbnailDlg* pictureBrowser_ = nullptr;  // a child, from the first picture on

    // --- playback (quorvane_dlg_playback.cpp)
    void TogglePlayback();  // button 1023, message 2025
    // True while a recording of the station writes the file `path` (a set's first file).
    bool RecordingWrites(const QString& path) const;
    // A recording started or stopped: the open playback list shows it as it is now.
    void TellPlaybackRecordingsChanged();
    CPlayback* playbackDlg_ = nullptr;  // a child, from its first opening on

    // --- password lock (quorvane_dlg_lock.cpp)
    PasswordLock& Lock();  // made on first use
    void ShowLockOnPictures(bool locked);
    std::unique_ptr<PasswordLock> passwordLock_;

    // --- colours (quorvane_dlg_colours.cpp)
    void OpenColourDialog();
    // 1126, 1127: the window and every owner-drawn button take the process-wide scheme.
    void OnColoursChanged();
    CSetColor* colourDlg_ = nullptr;  // a child, from its first opening on

    // --- sibling programs (quorvane_dlg_link.cpp)
    class LinkHost;
    // 1137, 2031, 2033 and 2034 from a connected program (`sender`, its process id).
    platform::LResult OnLinkMessage(uint32_t msg, platform::WParam w, platform::LParam l,
                                    pid_t sender);
    void OnLinkClientGone(pid_t sender);
    // The switching thread showed camera `camera` (0..3): its picture to the sibling.
    void HandOverPicture(int camera);
    std::unique_ptr<LinkHost> linkHost_;
    std::unique_ptr<SiblingLink> link_;
    std::unique_ptr<platform::WindowLinkListener> linkListener_;
    pid_t linkSender_ = 0;          // the program whose record is being handled
    std::set<pid_t> linkClients_;   // programs that asked for something not yet ended
    std::set<pid_t> framesClients_;  // programs that asked for pictures

    // --- camera settings (quorvane_dlg_camera_set.cpp)
    // Button 1016 and messages 1578, 1580 open and close the dialog; 1579, 1581 take its values.
    void OnCameraSetButton();
    void OnCameraSetMessage(uint32_t msg);
    CCameraSetDlg* cameraSetDlg_ = nullptr;  // a child, from its first opening on

private:
    bool OnInitDialog();
    void DestroyWindow();
    void OnDestroy();
    void OnExitButton();
    void ApplyColours();
    void ShowAbout();
    bool FailStartup(int textId, int captionId);
    const media::DeviceList& CaptureDevices() const;
    // The switching thread, the views and the pipeline of the graph just built.
    void RunCapture();
    // The device failed: recordings end (kept to start again), the pictures are marked, and
    // the device is looked for until capture can be built anew.
    void OnDeviceLost();
    void WatchLostDevice();
    struct LostRecording {
        RecordReason reason;
        QString file;  // its first file, which the link knows it by
    };
    void RestartLostRecordings();
    bool StillWanted(int camera, const LostRecording& lost) const;
    void RecordCaptureStatistics();

    const StationContext context_;
    SettingsStore store_;
    QString settingsFile_;
    QWidget* form_ = nullptr;
    platform::DisplayMode displayMode_;
    platform::KeyboardLock keyboardLock_;
    bool startupFailed_ = false;
    bool switchingStopped_ = false;
    bool captureRunning_ = false;  // the capture pipeline runs: cameras can be recorded
    std::array<std::optional<LostRecording>, 4> lostRecordings_;  // by a lost device
    // Looks for a lost device while it is away.
    QTimer* deviceWatch_ = nullptr;
    bool closing_ = false;         // the exit button was taken
    bool destroyed_ = false;       // DestroyWindow ran
};

}  // namespace ovistra
