#include "quorvane_dlg.h"
#include "quorvane_dlg_link_host.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "alarm_commands.h"
#include "alarm_log.h"
#include "c_sound_player.h"
#include "capture_graph.h"
#include "color_buttons.h"
#include "colour_scheme.h"
#include "custom_settings.h"
#include "desktop_notifier.h"
#include "event_log.h"
#include "folders.h"
#include "local_clock.h"
#include "media_requirements.h"
#include "message_box.h"
#include "network_view_dlg.h"
#include "password_lock.h"
#include "resource_library.h"
#include "rtsp_server.h"
#include "window_ids.h"

namespace ovistra {
namespace {

// The captions whose texts are cleared at start: the four cameras, the large picture, the clock.
constexpr int kClearedCaptions[] = {ids::kFirstCaption,     ids::kFirstCaption + 1,
                                    ids::kFirstCaption + 2, ids::kFirstCaption + 3,
                                    ids::kLargeCaption,     ids::kClockCaption};

void SetText(QWidget* control, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    }
}

}  // namespace

const QString CQuorvaneDlg::kWindowTitle = QString::fromLatin1(ids::kStationTitle);

CQuorvaneDlg::CQuorvaneDlg(const StationContext& context, QWidget* parent)
    : QDialog(parent),
      context_(context),
      store_(*context.registry),
      keyboardLock_(this, Handle(), ids::kUnlockRequest) {
    RecordingHost& recordingHost = *this;
    recording_ = std::make_unique<RecordingControl>(recordingHost, context_.recordings);
    recording_->SetDurableWriter(context_.durableWriter);
    DetectionHost& detectionHost = *this;
    detection_ =
        std::make_unique<DetectionRun>(detectionHost, [library = context_.detectorLibrary] {
            return std::make_unique<CDetectorRecord>(library);
        });
    SetUpAlarmFollowUps();
    // Defaults are in force (RegistrySettings); the colours come from the settings file now,
    // before the window exists.
    displayMode_.SwitchForStation();
    settingsFile_ = platform::SettingsFilePath(context_.programFolder);
    CurrentColourScheme() = CustomSettings(settingsFile_).LoadColourScheme();
    setWindowIcon(context_.resources->Icon(ids::kAppIcon));

    form_ = context_.resources->LoadTemplate(ids::kMainTemplate, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (form_) {
        // The template's own size is the window's restored size.
        resize(form_->size());
        layout->addWidget(form_);
        UseColorButtons(form_);
        for (auto* button : form_->findChildren<QPushButton*>()) {
            const int id = button->property("controlId").toInt();
            connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
        }
    }
    SetUpLiveView();
}

CQuorvaneDlg::~CQuorvaneDlg() {
    // A window destroyed without its shutdown still closes its files while it can answer.
    recording_->StopAll();
    OnDestroy();
    CloseMailbox();
}

QWidget* CQuorvaneDlg::Control(int id) const {
    return form_ ? ResourceLibrary::FindControl(form_, id) : nullptr;
}

QString CQuorvaneDlg::ClockText(const QDateTime& when) {
    return when.toString(QStringLiteral("yyyy-MM-dd  HH:mm:ss"));
}

bool CQuorvaneDlg::RunModal() {
    if (OnInitDialog()) {
        EventLog::Instance().Print("started", {{"version", QStringLiteral(OVISTRA_VERSION)}});
    }
    if (context_.showWindow) {
        exec();
    } else {
        // Never shown, so nothing is ever painted; the loop runs until the window is closed.
        QEventLoop loop;
        connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    DestroyWindow();
    return !startupFailed_;
}

bool CQuorvaneDlg::FailStartup(int textId, int captionId) {
    startupFailed_ = true;
    platform::MessageBoxes::Instance().Show(textId, captionId, platform::MessageIcon::Error,
                                            platform::MessageButtons::Ok, this);
    PostMessage(ids::kWmClose, 0, 0);
    return false;
}

bool CQuorvaneDlg::OnInitDialog() {
    for (int id : kClearedCaptions) {
        SetText(Control(id), QString());
    }
    if (!form_) {
        return FailStartup(ids::kTextNoVideoView, ids::kCaptionGeneral);
    }
    if (!MissingMediaElements().isEmpty()) {
        return FailStartup(ids::kTextNoMediaFramework, ids::kCaptionGeneral);
    }
    if (!CanMakeVideoView()) {
        return FailStartup(ids::kTextNoVideoView, ids::kCaptionGeneral);
    }
    setWindowState(windowState() | Qt::WindowMaximized);
    ApplyColours();
    SetTimer(ids::kClockTimer, 1000);
    SetTimer(ids::kScheduleTimer, 1000);
    if (QWidget* holder = Control(ids::kHiddenHolder)) {
        holder->hide();
    }
    NotifySiblingStarted();
    SetTimer(ids::kStartCaptureTimer, 5);
    for (int id : {ids::kLargePicture, ids::kLargeStrip, ids::kLargeCaption}) {
        if (QWidget* control = Control(id)) {
            control->hide();
        }
    }
    store_.LoadAll(settings_);
    recording_->SetSetup(CurrentRecordingSetup());
    SetCameraNames(settings_.cameraOsd);
    CreateCameraFolders();
    LoadRecordingList();
    setWindowTitle(kWindowTitle);
    ApplyLayout();
    if (context_.fullScreenAtStart) {
        ToggleFullScreen();
    }
    return true;
}

void CQuorvaneDlg::ApplyColours() {
    const ColourScheme& scheme = CurrentColourScheme();
    QPalette p = palette();
    p.setColor(QPalette::Window,
               QColor(scheme.backgroundRed, scheme.backgroundGreen, scheme.backgroundBlue));
    p.setColor(QPalette::WindowText, QColor(scheme.textRed, scheme.textGreen, scheme.textBlue));
    setPalette(p);
    setAutoFillBackground(true);
    if (QWidget* warning = Control(ids::kStatusText)) {
        QPalette red = warning->palette();
        red.setColor(QPalette::WindowText, Qt::red);
        warning->setPalette(red);
    }
    if (QWidget* indicator = Control(ids::kRecordingIndicator)) {
        // A badge, so it reads on any background the user picks, red ones included.
        QPalette badge = indicator->palette();
        badge.setColor(QPalette::Window, QColor(200, 0, 0));
        badge.setColor(QPalette::WindowText, Qt::white);
        indicator->setPalette(badge);
    }
    for (int camera = 1; camera <= DetectionRun::kCameras; ++camera) {
        if (detection_->running() && !detection_->AlarmActive(camera)) {
            ColourAlarmFrame(camera, false);
        }
    }
    UpdateButtonStates();
    update();
}

void CQuorvaneDlg::OnTimer(uintptr_t id) {
    switch (id) {
        case ids::kClockTimer:
            clockMoment_ = platform::LocalNow();
            SetText(Control(ids::kClockCaption), ClockText(clockMoment_));
            ShowClockOnPictures(ClockText(clockMoment_));
            break;
        case ids::kScheduleTimer:
            CheckSchedules();
            break;
        case ids::kStartCaptureTimer:
            KillTimer(ids::kStartCaptureTimer);
            StartCapture();
            break;
        case ids::kMotionTimer:
            OnMotionTick();
            break;
        case ids::kLayoutTimer:
            KillTimer(ids::kLayoutTimer);
            OnLayoutTimer();
            break;
        case ids::kSiblingRecordTimer:
            link_->OnRegisterTimer();
            break;
        default:
            if (OnRecordingTimer(id)) {
                break;
            }
            if (id >= ids::kFirstClickTimer && id < ids::kFirstClickTimer + 4) {
                KillTimer(id);
                OnClickTimer(static_cast<int>(id - ids::kFirstClickTimer));
            }
            break;
    }
}

platform::LResult CQuorvaneDlg::OnMessage(uint32_t msg, platform::WParam w, platform::LParam l) {
    switch (msg) {
        case ids::kWmClose:
            // Ends the window's loop whether it is shown or not.
            done(QDialog::Rejected);
            break;
        case ids::kCameraIntervalTime:
            // A settling time is a few hundred milliseconds; anything past a minute is no
            // setting but a wild message, and would stall the switching thread.
            if (w <= 60000) {
                settings_.intervalTimeMs.Set(static_cast<uint32_t>(w));
            }
            break;
        case ids::kColoursChanged:
        case ids::kColoursReset:
            OnColoursChanged();
            OnFeatureMessage(msg, w, l);
            break;
        case ids::kRecordSetConfirmed:
        case ids::kRecordSetCancelled:
            OnRecordSetAnswer(msg == ids::kRecordSetConfirmed);
            break;
        case ids::kMotionSetConfirmed:
        case ids::kMotionSetCancelled:
            OnMotionSetAnswer(msg == ids::kMotionSetConfirmed);
            break;
        case ids::kSoundNotify:
            OnSoundNotification();
            break;
        case ids::kScheduleConfirmed:
        case ids::kScheduleCancelled:
            OnScheduleAnswer(msg == ids::kScheduleConfirmed);
            break;
        case ids::kPlaybackToggle:
            TogglePlayback();
            break;
        case ids::kUnlockRequest:
            Lock().OnUnlockRequest();
            break;
        case ids::kPictureBrowserClosed:
            OnPictureBrowserEmptied();
            break;
        case network::CNetworkViewDlg::kConfirmed:
        case network::CNetworkViewDlg::kCancelled:
            OnNetworkViewAnswer(msg == network::CNetworkViewDlg::kConfirmed);
            break;
        case ids::kCameraSetToggle:
        case ids::kCameraSetTakeAll:
        case ids::kCameraSetToggleAndHand:
        case ids::kCameraSetTakeTimings:
            OnCameraSetMessage(msg);
            break;
        default:
            OnFeatureMessage(msg, w, l);
            break;
    }
    return 0;
}

void CQuorvaneDlg::OnCommand(int id) {
    switch (id) {
        case ids::kExitButton:
            OnExitButton();
            break;
        case ids::kAboutCommand:
            ShowAbout();
            break;
        case ids::kFirstCameraButton:
        case ids::kFirstCameraButton + 1:
        case ids::kFirstCameraButton + 2:
        case ids::kFirstCameraButton + 3:
            OnCameraButton(id - ids::kFirstCameraButton);
            break;
        case ids::kAllCamerasButton:
            EnableAllCameras();
            break;
        case ids::kCyclingButton:
            SetCyclingView(!switchState_.cyclingView.load());
            break;
        case ids::kFullScreenButton:
            ToggleFullScreen();
            break;
        case ids::kFirstRecordButton:
        case ids::kFirstRecordButton + 1:
        case ids::kFirstRecordButton + 2:
        case ids::kFirstRecordButton + 3:
            OnRecordButton(id - ids::kFirstRecordButton + 1);
            break;
        case ids::kRecordAllButton:
            OnRecordAllButton();
            break;
        case ids::kRecordSetButton:
            OnRecordSetButton();
            break;
        case ids::kScheduleButton:
            OnScheduleButton();
            break;
        case ids::kMotionButton:
            ToggleMotionDetection();
            break;
        case ids::kMotionSetButton:
            OnMotionSetButton();
            break;
        case ids::kStillAllButton:
            TakeAllStills();
            break;
        case ids::kPlaybackButton:
            TogglePlayback();
            break;
        case ids::kCameraSetButton:
            OnCameraSetButton();
            break;
        case ids::kColourCommand:
            OpenColourDialog();
            break;
        case ids::kLockCommand:
            Lock().OnLockCommand();
            break;
        case ids::kSetPasswordCommand:
            Lock().OnSetPasswordCommand();
            break;
        case network::CNetworkViewDlg::kCommand:
            OnNetworkViewCommand();
            break;
        default:
            OnFeatureCommand(id);
            break;
    }
}

void CQuorvaneDlg::OnExitButton() {
    // A second press, or a signal while the first is being handled, finds the way taken.
    if (closing_ || destroyed_) {
        return;
    }
    closing_ = true;
    // Asked while the cameras still run: the user may take a while to answer.
    SettleUnkeptPictures();
    StopSwitching();
    switchingStopped_ = true;
    // Every timer, not only the clock and the schedule check: a capture start still due must
    // not build a graph while the station closes.
    KillAllTimers();
    CloseSecondaryWindows();
    SendMessage(ids::kWmClose, 0, 0);
}

void CQuorvaneDlg::DestroyWindow() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    // A window closed without the exit button asks here; after the exit button, nothing is left.
    SettleUnkeptPictures();
    // No timer may start anything while the station shuts down: stopping a recording waits
    // for its file, and a schedule tick in that wait would start another.
    KillAllTimers();
    // Whichever way the window was closed, the switching thread stops before anything it
    // touches is torn down.
    if (!switchingStopped_) {
        StopSwitching();
        switchingStopped_ = true;
    }
    // Its clients go before the pictures they are sent from.
    StopNetworkView();
    StopAllRecordings();
    soundPlayer_.reset();
    StopCaptureGraph();
    CloseDeviceControl();
    store_.SaveOpenedGroups(settings_, openedDialogs_);
    TearDownCaptureGraph();
    displayMode_.Restore();
    NotifySiblingStopped();
}

void CQuorvaneDlg::OnDestroy() {
    // The lock never outlives the station.
    keyboardLock_.Release();
}

void CQuorvaneDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(context_.resources->Text(ids::kTextLockCommand), this,
                   [this] { OnCommand(ids::kLockCommand); });
    menu.addAction(context_.resources->Text(ids::kTextSetPasswordCommand), this,
                   [this] { OnCommand(ids::kSetPasswordCommand); });
    menu.addAction(context_.resources->Text(ids::kTextColourCommand), this,
                   [this] { OnCommand(ids::kColourCommand); });
    menu.addAction(context_.resources->Text(network::CNetworkViewDlg::kTextCommand), this,
                   [this] { OnCommand(network::CNetworkViewDlg::kCommand); });
    if (const QString about = context_.resources->Text(ids::kTextAbout); !about.isEmpty()) {
        menu.addSeparator();
        menu.addAction(about, this, [this] { OnCommand(ids::kAboutCommand); });
    }
    menu.exec(event->globalPos());
}

void CQuorvaneDlg::ShowAbout() {
    QMessageBox::about(this, context_.resources->Text(ids::kCaptionGeneral),
                       QStringLiteral("Ovistra %1").arg(QStringLiteral(OVISTRA_VERSION)));
}

QStringList CQuorvaneDlg::MissingMediaElements() {
    return ovistra::MissingMediaElements();
}

// --- filled in by the capture, recording, schedule and settings features
bool CQuorvaneDlg::CanMakeVideoView() {
    return true;
}
void CQuorvaneDlg::OnFeatureCommand(int) {}
void CQuorvaneDlg::OnFeatureMessage(uint32_t, platform::WParam, platform::LParam) {}

}  // namespace ovistra
