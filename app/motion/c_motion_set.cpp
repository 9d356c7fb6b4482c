#include "c_motion_set.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <algorithm>

#include "motion_zones.h"
#include "replace_control.h"
#include "resource_library.h"
#include "tick_preview.h"
#include "window_ids.h"
#include "zone_editor.h"

namespace ovistra {
namespace {

constexpr uint32_t kLeastSensitive = 240;  // only a large grey difference counts
constexpr uint32_t kNormalSense = 200;
constexpr uint32_t kMostSensitive = 50;  // small differences count, checked more often
constexpr uint32_t kFollowNoise = 0;     // each camera's threshold follows its picture's noise

constexpr uint32_t kRecordBit = 1u << 0;
constexpr uint32_t kSoundBit = 1u << 1;

constexpr int kTextWholePicture = 410;
constexpr int kTextNoPicture = 411;
constexpr int kTextNotWatched = 412;
constexpr int kTextNoTick = 413;
constexpr int kTextMotion = 414;
constexpr int kTextLightChange = 415;
constexpr int kTextQuiet = 416;

}  // namespace

CMotionSet::CMotionSet(const ResourceLibrary& resources, platform::WindowHandle mainWindow,
                       QWidget* parent)
    : PostedAnswerDialog(kTemplate, resources, std::move(mainWindow), ids::kMotionSetConfirmed,
                         ids::kMotionSetCancelled, parent) {
    if (!form()) {
        return;
    }
    zoneEditor_ = ReplaceControl(form(), kZoneEditor, [](QWidget* placeholder) {
        return new CZoneEditor(placeholder->parentWidget());
    });
    if (zoneEditor_) {
        zoneEditor_->SetHints(resources.Text(kTextWholePicture), resources.Text(kTextNoPicture));
        connect(zoneEditor_, &CZoneEditor::zonesChanged, this,
                [this] { zones_[zoneCamera_] = zoneEditor_->zones(); });
        if (QAbstractButton* remove = Button(kDeleteZone)) {
            connect(remove, &QAbstractButton::clicked, zoneEditor_, &CZoneEditor::DeleteSelected);
        }
        if (QAbstractButton* clear = Button(kClearZones)) {
            connect(clear, &QAbstractButton::clicked, zoneEditor_, &CZoneEditor::Clear);
        }
    }
    if (auto* camera = qobject_cast<QComboBox*>(Control(kZoneCamera))) {
        connect(camera, &QComboBox::currentIndexChanged, this, &CMotionSet::ShowZoneCamera);
    }
    for (int camera = 0; camera < 4; ++camera) {
        tickPreviews_[camera] = ReplaceControl(
            form(), kTickPreviews[camera],
            [](QWidget* placeholder) { return new CTickPreview(placeholder->parentWidget()); });
    }
    refresh_.setInterval(kRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, &CMotionSet::RefreshLive);
}

CMotionSet::~CMotionSet() = default;

void CMotionSet::OnOpen() {
    for (int camera = 0; camera < 4; ++camera) {
        if (QAbstractButton* box = Button(kCameraBoxes[camera])) {
            box->setChecked((values_.cameraMask >> camera) & 1u);
        }
    }
    // Any threshold other than the named ones (a hand-edited key) shows as normal.
    const int sense = values_.senseMode == kLeastSensitive  ? kSense240
                      : values_.senseMode == kMostSensitive ? kSense50
                      : values_.senseMode == kFollowNoise   ? kSenseAuto
                                                            : kSense200;
    if (QAbstractButton* radio = Button(sense)) {
        radio->setChecked(true);
    }
    if (QAbstractButton* record = Button(kRecordAction)) {
        record->setChecked(values_.actions & kRecordBit);
    }
    if (QAbstractButton* sound = Button(kSoundAction)) {
        sound->setChecked(values_.actions & kSoundBit);
    }
    if (auto* seconds = qobject_cast<QSpinBox*>(Control(kPreAlarmSeconds))) {
        seconds->setValue(
            static_cast<int>(std::min<uint32_t>(values_.preAlarmSeconds, seconds->maximum())));
    }
    if (auto* ticks = qobject_cast<QSpinBox*>(Control(kAlarmMinTicks))) {
        ticks->setValue(
            static_cast<int>(std::min<uint32_t>(values_.alarmMinTicks, ticks->maximum())));
    }
    if (QAbstractButton* light = Button(kLightChangeReject)) {
        light->setChecked(values_.lightChangeReject);
    }
    for (int camera = 0; camera < 4; ++camera) {
        zones_[camera] = ParseMotionZones(values_.motionZones[camera]);
    }
    ShowZoneCamera(zoneCamera_);
    refresh_.start();
}

void CMotionSet::hideEvent(QHideEvent* event) {
    refresh_.stop();
    PostedAnswerDialog::hideEvent(event);
}

void CMotionSet::ShowZoneCamera(int index) {
    if (index < 0 || index >= 4) {
        return;
    }
    zoneCamera_ = index;
    if (zoneEditor_) {
        zoneEditor_->SetZones(zones_[index]);
        zoneEditor_->SetPicture(pictureSource_ ? pictureSource_(index + 1) : QImage());
    }
}

bool CMotionSet::Watched(int index) const {
    QAbstractButton* box = Button(kCameraBoxes[index]);
    return box && box->isChecked();
}

void CMotionSet::RefreshLive() {
    if (zoneEditor_ && pictureSource_) {
        zoneEditor_->SetPicture(pictureSource_(zoneCamera_ + 1));
    }
    for (int index = 0; index < 4; ++index) {
        CTickPreview* preview = tickPreviews_[index];
        if (!preview) {
            continue;
        }
        const QString camera = QString::number(index + 1);
        if (!Watched(index)) {
            preview->Show({}, resources().Text(kTextNotWatched).arg(camera));
            continue;
        }
        const TickPicture tick = tickSource_ ? tickSource_(index + 1) : TickPicture{};
        const QImage image = TickImage(tick);
        if (image.isNull()) {
            preview->Show({}, resources().Text(kTextNoTick).arg(camera));
            continue;
        }
        const int what = tick.lightChange ? kTextLightChange
                         : tick.motion    ? kTextMotion
                                          : kTextQuiet;
        preview->Show(image, resources().Text(what).arg(camera).arg(tick.threshold));
    }
}

void CMotionSet::ReadControls() {
    auto checked = [this](int id) {
        QAbstractButton* button = Button(id);
        return button && button->isChecked();
    };
    uint32_t mask = 0;
    for (int camera = 0; camera < 4; ++camera) {
        mask |= checked(kCameraBoxes[camera]) ? 1u << camera : 0u;
    }
    values_.cameraMask = mask;
    values_.senseMode = checked(kSense240)    ? kLeastSensitive
                        : checked(kSense50)   ? kMostSensitive
                        : checked(kSenseAuto) ? kFollowNoise
                                              : kNormalSense;
    values_.actions =
        (checked(kRecordAction) ? kRecordBit : 0u) | (checked(kSoundAction) ? kSoundBit : 0u);
    if (auto* seconds = qobject_cast<QSpinBox*>(Control(kPreAlarmSeconds))) {
        values_.preAlarmSeconds = static_cast<uint32_t>(seconds->value());
    }
    if (auto* ticks = qobject_cast<QSpinBox*>(Control(kAlarmMinTicks))) {
        values_.alarmMinTicks = static_cast<uint32_t>(ticks->value());
    }
    if (Button(kLightChangeReject)) {
        values_.lightChangeReject = checked(kLightChangeReject);
    }
    for (int camera = 0; camera < 4; ++camera) {
        values_.motionZones[camera] = FormatMotionZones(zones_[camera]);
    }
}

}  // namespace ovistra
