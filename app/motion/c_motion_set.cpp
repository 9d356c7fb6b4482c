#include "c_motion_set.h"

#include <QAbstractButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr uint32_t kLeastSensitive = 240;  // only a large grey difference counts
constexpr uint32_t kNormalSense = 200;
constexpr uint32_t kMostSensitive = 50;  // small differences count, checked more often

constexpr uint32_t kRecordBit = 1u << 0;
constexpr uint32_t kSoundBit = 1u << 1;

void PlaceTopRight(QWidget& window) {
    QScreen* where = window.screen();
    if (!where) {
        return;
    }
    const QRect area = where->availableGeometry();
    if (!window.testAttribute(Qt::WA_Resized)) {
        window.adjustSize();  // first opening: the template's own size
    }
    window.move(area.right() - window.frameGeometry().width() + 1, area.top());
}

}  // namespace

CMotionSet::CMotionSet(const ResourceLibrary& resources, platform::WindowHandle mainWindow,
                       QWidget* parent)
    : QDialog(parent), resources_(resources), mainWindow_(std::move(mainWindow)) {
    form_ = resources_.LoadTemplate(kTemplate, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!form_) {
        return;
    }
    layout->addWidget(form_);
    setWindowTitle(form_->windowTitle());

    if (QAbstractButton* confirm = Button(kConfirmButton)) {
        connect(confirm, &QAbstractButton::clicked, this, &CMotionSet::OnConfirm);
    }
    if (QAbstractButton* cancel = Button(kCancelButton)) {
        connect(cancel, &QAbstractButton::clicked, this, &CMotionSet::OnCancel);
    }
}

CMotionSet::~CMotionSet() = default;

QWidget* CMotionSet::Control(int id) const {
    return form_ ? ResourceLibrary::FindControl(form_, id) : nullptr;
}

QAbstractButton* CMotionSet::Button(int id) const {
    return qobject_cast<QAbstractButton*>(Control(id));
}

void CMotionSet::showEvent(QShowEvent* event) {
    // Our own show, not the desktop restoring a minimised window: a new opening.
    if (!event->spontaneous()) {
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CMotionSet::OnInitDialog() {
    replied_ = false;
    if (!form_) {
        return;
    }
    PlaceTopRight(*this);

    for (int camera = 0; camera < 4; ++camera) {
        if (QAbstractButton* box = Button(kCameraBoxes[camera])) {
            box->setChecked((values_.cameraMask >> camera) & 1u);
        }
    }
    // Any threshold other than the two extremes (a hand-edited key) shows as normal.
    const int sense = values_.senseMode == kLeastSensitive  ? kSense240
                      : values_.senseMode == kMostSensitive ? kSense50
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
}

void CMotionSet::OnConfirm() {
    if (replied_) {
        return;
    }
    if (form_) {
        auto checked = [this](int id) {
            QAbstractButton* button = Button(id);
            return button && button->isChecked();
        };
        uint32_t mask = 0;
        for (int camera = 0; camera < 4; ++camera) {
            mask |= checked(kCameraBoxes[camera]) ? 1u << camera : 0u;
        }
        values_.cameraMask = mask;
        values_.senseMode = checked(kSense240)  ? kLeastSensitive
                            : checked(kSense50) ? kMostSensitive
                                                : kNormalSense;
        values_.actions =
            (checked(kRecordAction) ? kRecordBit : 0u) | (checked(kSoundAction) ? kSoundBit : 0u);
    }
    Reply(ids::kMotionSetConfirmed);
}

void CMotionSet::OnCancel() {
    if (replied_) {
        return;
    }
    Reply(ids::kMotionSetCancelled);
}

void CMotionSet::Reply(uint32_t message) {
    replied_ = true;
    // The main window closes us when it takes the answer; with no main window left, close here
    // so the dialog cannot get stuck on screen.
    if (!mainWindow_.PostMessage(message, 0, 0)) {
        hide();
    }
}

void CMotionSet::accept() {
    OnConfirm();
}

void CMotionSet::reject() {
    // Escape or the title bar's close button answer as Cancel does; once answered (the main
    // window closing us), close for real.
    if (replied_) {
        QDialog::reject();
        return;
    }
    OnCancel();
}

}  // namespace ovistra
