// The main window's live view: where the pictures stand in each window and view state, the
// video views inside them, the captions, the camera and view buttons with their state, clicks
// on the pictures, the cycling view and full screen.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include "c_color_button.h"
#include "camera_captions.h"
#include "capture_graph.h"
#include "colour_scheme.h"
#include "quorvane_dlg.h"
#include "resource_library.h"
#include "video_view.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr int kCameras = RegistrySettings::kCameras;
constexpr uint32_t kLayoutRefreshMs = 300;
const QColor kActiveColour(255, 0, 0);
const QColor kNormalFrameColour(0, 0, 255);

void Place(QWidget* control, const QRect& area, bool shown) {
    if (!control) {
        return;
    }
    control->setGeometry(area);
    control->setVisible(shown);
}

void SetElidedText(QWidget* control, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(control)) {
        // A long name is cut, never widening the caption over its neighbours.
        label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, label->width()));
        label->setToolTip(text);
    }
}

}  // namespace

void CQuorvaneDlg::SetUpLiveView() {
    if (!form_) {
        return;
    }
    sidePanel_ = form_->findChild<QWidget*>(QStringLiteral("sidePanel"));
    if (sidePanel_) {
        sidePanel_->installEventFilter(this);
    }
    for (int camera = 0; camera < kCameras; ++camera) {
        if (QWidget* picture = Control(ids::kFirstPicture + camera)) {
            picture->installEventFilter(this);
            views_[camera] = new media::VideoView(picture);
            views_[camera]->installEventFilter(this);
        }
    }
    scaledForm_ = std::make_unique<ScaledForm>(form_);
    SetUpPictureOverlays();
    setMinimumSize(LiveViewLayout::kSmallestClient);
}

WindowMode CQuorvaneDlg::CurrentWindowMode() const {
    if (fullScreen_) {
        return WindowMode::FullScreen;
    }
    return windowState() & Qt::WindowMaximized ? WindowMode::Maximised : WindowMode::Restored;
}

void CQuorvaneDlg::ApplyLayout() {
    if (!form_) {
        return;
    }
    const bool cycling = switchState_.cyclingView.load();
    layout_ = LayOutLiveView({size(), CurrentWindowMode(), zoomedCamera_, cycling});
    // Fonts first, so the panel lays its buttons out at their new size once placed.
    scaledForm_->SetScale(layout_.scale);
    for (int camera = 0; camera < kCameras; ++camera) {
        Place(Control(ids::kFirstPicture + camera), layout_.pictures[camera],
              layout_.picturesShown[camera]);
        Place(Control(ids::kFirstStrip + camera), layout_.strips[camera], layout_.stripsShown);
        Place(Control(ids::kFirstCaption + camera), layout_.captions[camera],
              layout_.captionsShown);
        Place(Control(kAlarmFrameIds[camera]), layout_.alarms[camera],
              layout_.alarmsShown && detection_->running());
    }
    Place(Control(ids::kLargePicture), layout_.large, layout_.largeShown);
    Place(Control(ids::kLargeStrip), layout_.largeStrip, layout_.largeShown && !fullScreen_);
    Place(Control(ids::kLargeCaption), layout_.largeCaption, layout_.largeShown && !fullScreen_);
    Place(sidePanel_, layout_.panel, layout_.panelShown);
    UpdateCaptions();
    ShowViewStateOnPictures();
    PlaceVideoViews();
    update();
}

void CQuorvaneDlg::PlaceVideoViews() {
    QWidget* hidden = Control(ids::kHiddenHolder);
    QWidget* large = Control(ids::kLargePicture);
    for (int camera = 0; camera < kCameras; ++camera) {
        media::VideoView* view = views_[camera];
        if (!view) {
            continue;
        }
        QWidget* owner = Control(ids::kFirstPicture + camera);
        // A camera switched off leaves the cycling view too.
        if (switchState_.cameraEnabled[camera].load() == 0 && hidden) {
            owner = hidden;
        } else if (switchState_.cyclingView.load() && camera == cyclingShown_ && large) {
            owner = large;
        }
        if (view->parentWidget() != owner) {
            view->setParent(owner);
        }
        // Every layout change sizes the view to its owner anew (the large picture included).
        view->setGeometry(owner->rect());
        view->show();
    }
}

void CQuorvaneDlg::SetCameraNames(const std::array<QString, 4>& names) {
    for (int camera = 0; camera < kCameras; ++camera) {
        if (names[camera] != cameraNames_[camera]) {
            cameraNames_[camera] = names[camera];
            decoratedNames_[camera] = DecoratedName(names[camera]);
        }
    }
    UpdateCaptions();
    ShowNamesOnNetworkView();
}

void CQuorvaneDlg::UpdateCaptions() {
    for (int camera = 0; camera < kCameras; ++camera) {
        CameraCaptionState state;
        state.enabled = switchState_.cameraEnabled[camera].load() != 0;
        state.recording = switchState_.recording[camera].load();
        state.recordingBySchedule = RecordingBySchedule(camera);
        const QString base = context_.resources->Text(BaseCaptionId(camera, state));
        // The name goes into the four-picture view and the zoomed camera's caption only.
        const bool named = zoomedCamera_ == 0 || zoomedCamera_ == camera + 1;
        const QString text =
            named ? InsertName(base, decoratedNames_[camera], NamePosition(camera)) : base;
        SetElidedText(Control(ids::kFirstCaption + camera), text);
        overlays_[camera].SetCaption(
            InsertName(base, decoratedNames_[camera], NamePosition(camera)));
    }
}

void CQuorvaneDlg::ShowCyclingCamera(int camera) {
    // A camera switched off after the switching thread showed it stays out of the view.
    if (!switchState_.cyclingView.load() || camera < 0 || camera >= kCameras ||
        switchState_.cameraEnabled[camera].load() == 0) {
        return;
    }
    SetElidedText(Control(ids::kLargeCaption), context_.resources->Text(ids::kTextCyclingCaption) +
                                                   QStringLiteral(" %1").arg(camera + 1) +
                                                   decoratedNames_[camera]);
    cyclingShown_ = camera;
    PlaceVideoViews();
}

// --- buttons

void CQuorvaneDlg::OnCameraButton(int camera) {
    auto& enabled = switchState_.cameraEnabled[camera];
    enabled.store(enabled.load() != 0 ? 0 : 1);
    AfterCameraChange();
}

void CQuorvaneDlg::EnableAllCameras() {
    for (auto& enabled : switchState_.cameraEnabled) {
        enabled.store(1);
    }
    AfterCameraChange();
}

void CQuorvaneDlg::AfterCameraChange() {
    ApplyCameraEnableSet();
    UpdateCaptions();
    SetTimer(ids::kLayoutTimer, kLayoutRefreshMs);
}

void CQuorvaneDlg::OnLayoutTimer() {
    PlaceVideoViews();
}

std::vector<std::pair<QPushButton*, bool>> CQuorvaneDlg::StateButtons() const {
    std::vector<std::pair<QPushButton*, bool>> buttons;
    auto add = [&](int id, bool active) {
        if (auto* button = qobject_cast<QPushButton*>(Control(id))) {
            buttons.emplace_back(button, active);
        }
    };
    for (int camera = 0; camera < kCameras; ++camera) {
        add(ids::kFirstCameraButton + camera, switchState_.cameraEnabled[camera].load() != 0);
    }
    add(ids::kAllCamerasButton, allCamerasActive_);
    add(ids::kCyclingButton, switchState_.cyclingView.load());
    for (int camera = 1; camera <= kCameras; ++camera) {
        add(ids::kFirstRecordButton + camera - 1, recording_->IsRecording(camera));
    }
    add(ids::kRecordAllButton, recording_->allRecording());
    return buttons;
}

void CQuorvaneDlg::UpdateButtonStates() {
    const ColourScheme& scheme = CurrentColourScheme();
    const QColor text(scheme.textRed, scheme.textGreen, scheme.textBlue);
    for (const auto& [button, active] : StateButtons()) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, active ? kActiveColour : text);
        button->setPalette(palette);
        if (auto* drawn = qobject_cast<CColorButton*>(button)) {
            drawn->SetOwnLabelColour(active ? std::optional(kActiveColour) : std::nullopt);
        }
    }
    if (sidePanel_) {
        sidePanel_->update();
    }
}

void CQuorvaneDlg::PaintButtonStates(QWidget* panel) {
    if (fullScreen_) {
        return;
    }
    QPainter painter(panel);
    for (const auto& [button, active] : StateButtons()) {
        if (button->isVisible()) {
            painter.setPen(active ? kActiveColour : kNormalFrameColour);
            painter.drawRect(
                QRect(button->mapTo(panel, QPoint(0, 0)), button->size()).adjusted(-1, -1, 0, 0));
        }
    }
}

// --- views

void CQuorvaneDlg::SetCyclingView(bool on) {
    if (on == switchState_.cyclingView.load()) {
        return;
    }
    switchState_.cyclingView.store(on);
    if (on) {
        cyclingShown_ = -1;
    } else if (QWidget* caption = Control(ids::kLargeCaption)) {
        caption->hide();
    }
    ApplyCameraEnableSet();
    ApplyLayout();
}

void CQuorvaneDlg::ToggleZoom(int camera) {
    zoomedCamera_ = zoomedCamera_ == camera ? 0 : camera;
    ApplyLayout();
}

void CQuorvaneDlg::ToggleFullScreen() {
    // The cycling view is taken down around the change and put up again in the new window.
    const bool cycling = switchState_.cyclingView.load();
    SetCyclingView(false);
    if (fullScreen_) {
        fullScreen_ = false;
        setWindowState(stateBeforeFullScreen_);
        setWindowTitle(kWindowTitle);
    } else {
        stateBeforeFullScreen_ = windowState() & ~Qt::WindowFullScreen;
        fullScreen_ = true;
        setWindowState(Qt::WindowFullScreen);
        CoverScreen();
    }
    ApplyLayout();
    SetCyclingView(cycling);
}

void CQuorvaneDlg::CoverScreen() {
    if (!(fullScreen_ || (windowState() & Qt::WindowFullScreen)) || !screen()) {
        return;
    }
    // A window moved or resized by hand is no longer full screen to the platform; our full
    // screen takes the state back (the state change comes back here).
    if (!(windowState() & Qt::WindowFullScreen)) {
        setWindowState(Qt::WindowFullScreen);
        return;
    }
    setGeometry(screen()->geometry());
}

void CQuorvaneDlg::WatchScreen() {
    QWindow* window = windowHandle();
    if (!window || window == watchedWindow_) {
        return;
    }
    watchedWindow_ = window;
    connect(window, &QWindow::screenChanged, this, &CQuorvaneDlg::OnScreenChanged);
    OnScreenChanged(window->screen());
}

void CQuorvaneDlg::OnScreenChanged(QScreen* screen) {
    disconnect(screenSizeWatch_);
    if (screen) {
        screenSizeWatch_ = connect(screen, &QScreen::geometryChanged, this, [this] {
            CoverScreen();
            ApplyLayout();
        });
    }
    CoverScreen();
    ApplyLayout();
}

// --- clicks and window events

int CQuorvaneDlg::PictureIndexOf(QObject* object) const {
    for (int camera = 0; camera < kCameras; ++camera) {
        if (object == views_[camera] || object == Control(ids::kFirstPicture + camera)) {
            return camera;
        }
    }
    return -1;
}

void CQuorvaneDlg::OnPictureClicked(int camera) {
    SetTimer(ids::kFirstClickTimer + camera, QApplication::doubleClickInterval());
}

void CQuorvaneDlg::OnPictureDoubleClicked(int camera) {
    doubleClicked_[camera] = true;
    if (fullScreen_) {
        ToggleFullScreen();
    } else {
        ToggleZoom(camera + 1);
    }
}

void CQuorvaneDlg::OnClickTimer(int camera) {
    if (doubleClicked_[camera]) {
        doubleClicked_[camera] = false;
        return;
    }
    OnSingleClick(camera);
}

// The stills feature fills this in.

bool CQuorvaneDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sidePanel_ && event->type() == QEvent::Paint) {
        PaintButtonStates(sidePanel_);
        return false;
    }
    const int camera = PictureIndexOf(watched);
    if (camera < 0) {
        return QDialog::eventFilter(watched, event);
    }
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if ((press || doubleClick) && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (press) {
            OnPictureClicked(camera);
        } else {
            OnPictureDoubleClicked(camera);
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CQuorvaneDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ApplyLayout();
}

void CQuorvaneDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    WatchScreen();
}

void CQuorvaneDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    // Nothing to lay out while minimised; coming back, the window manager gives the window the
    // state it had before, maximised or not, and the layout follows it.
    if (windowState() & Qt::WindowMinimized) {
        return;
    }
    const Qt::WindowStates before = static_cast<QWindowStateChangeEvent*>(event)->oldState();
    if (windowState() & Qt::WindowFullScreen) {
        // Ours or the keyboard lock's.
        CoverScreen();
    } else if ((before & Qt::WindowFullScreen) && windowState() == Qt::WindowNoState &&
               normalGeometry().isValid()) {
        // Without a window manager nobody else gives the window its size back.
        setGeometry(normalGeometry());
    }
    ApplyLayout();
}

void CQuorvaneDlg::keyPressEvent(QKeyEvent* event) {
    // F11 switches full screen on and off; Escape leaves it, and otherwise does nothing, since a
    // stray Escape must not end the surveillance (the exit button and closing the window do).
    if (event->key() == Qt::Key_F11 || (event->key() == Qt::Key_Escape && fullScreen_)) {
        ToggleFullScreen();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CQuorvaneDlg::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mouseDoubleClickEvent(event);
        return;
    }
    // In full screen the background is the bars beside the pictures, and leaves it as the
    // pictures do; otherwise it switches between the maximised and restored window.
    if (fullScreen_) {
        ToggleFullScreen();
    } else if (windowState() & Qt::WindowMaximized) {
        showNormal();
    } else {
        showMaximized();
    }
}

void CQuorvaneDlg::AttachVideoViews() {
    for (int camera = 0; camera < kCameras; ++camera) {
        if (views_[camera]) {
            views_[camera]->SetGrabber(&captureGraph_->router().grabber(camera));
        }
    }
}

void CQuorvaneDlg::DetachVideoViews() {
    for (media::VideoView* view : views_) {
        if (view) {
            view->SetGrabber(nullptr);
        }
    }
}

void CQuorvaneDlg::MarkPicturesLost(bool lost) {
    for (int camera = 0; camera < kCameras; ++camera) {
        media::VideoView* view = views_[camera];
        if (!view) {
            continue;
        }
        if (!noSignalMarks_[camera]) {
            // A layout keeps the mark over the whole view whatever size the view takes.
            auto* mark = new QLabel(context_.resources->Text(ids::kTextNoSignal));
            mark->setAlignment(Qt::AlignCenter);
            mark->setAttribute(Qt::WA_TransparentForMouseEvents);  // clicks reach the picture
            mark->setAutoFillBackground(true);
            QPalette grey = mark->palette();
            grey.setColor(QPalette::Window, QColor(96, 96, 96, 200));
            grey.setColor(QPalette::WindowText, Qt::white);
            mark->setPalette(grey);
            auto* layout = new QVBoxLayout(view);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(mark);
            noSignalMarks_[camera] = mark;
        }
        noSignalMarks_[camera]->setVisible(lost);
    }
}

}  // namespace ovistra
