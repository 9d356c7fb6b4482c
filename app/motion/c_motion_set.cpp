#include "c_motion_set.h"

#include <QAbstractButton>

#include "window_ids.h"

namespace ovistra {
namespace {

constexpr uint32_t kLeastSensitive = 240;  // only a large grey difference counts
constexpr uint32_t kNormalSense = 200;
constexpr uint32_t kMostSensitive = 50;  // small differences count, checked more often

constexpr uint32_t kRecordBit = 1u << 0;
constexpr uint32_t kSoundBit = 1u << 1;

}  // namespace

CMotionSet::CMotionSet(const ResourceLibrary& resources, platform::WindowHandle mainWindow,
                       QWidget* parent)
    : PostedAnswerDialog(kTemplate, resources, std::move(mainWindow), ids::kMotionSetConfirmed,
                         ids::kMotionSetCancelled, parent) {}

CMotionSet::~CMotionSet() = default;

void CMotionSet::OnOpen() {
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
    values_.senseMode = checked(kSense240)  ? kLeastSensitive
                        : checked(kSense50) ? kMostSensitive
                                            : kNormalSense;
    values_.actions =
        (checked(kRecordAction) ? kRecordBit : 0u) | (checked(kSoundAction) ? kSoundBit : 0u);
}

}  // namespace ovistra
