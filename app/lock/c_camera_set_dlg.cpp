#include "c_camera_set_dlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

#include "c_color_button.h"
#include "replace_control.h"
#include "resource_library.h"
#include "seconds_text.h"
#include "window_ids.h"

namespace ovistra {
namespace {

using media::ProcAmpProperty;

constexpr ProcAmpProperty kProperties[PictureAdjustment::kProperties] = {
    ProcAmpProperty::Brightness, ProcAmpProperty::Contrast, ProcAmpProperty::Hue,
    ProcAmpProperty::Saturation, ProcAmpProperty::Sharpness};
constexpr int kSliderMax[PictureAdjustment::kProperties] = {255, 63, 127, 63, 15};
constexpr int kBrightness = 0;
constexpr int kSaturation = 3;

constexpr int kFirstCameraText = ids::kFirstScheduleCameraText;  // "1".."4"

const QString kBlackWhiteText = QStringLiteral("B&W");
const QString kColourText = QStringLiteral("Color");
// The chosen speed option stands out in red; the others keep a white frame of the same size so
// nothing shifts when the choice moves.
const QString kChosenFrame = QStringLiteral("QRadioButton { border: 2px outset #ff0000; }");
const QString kOtherFrame = QStringLiteral("QRadioButton { border: 2px outset #ffffff; }");

// A name goes into the key file and the captions: control characters would break the one and
// garble the other.
QString CleanName(const QString& typed) {
    QString name;
    for (QChar c : typed) {
        if (c.category() != QChar::Other_Control && c != QChar::LineSeparator &&
            c != QChar::ParagraphSeparator) {
            name += c;
        }
    }
    return name.left(CameraSettingsValues::kNameLength);
}

}  // namespace

CCameraSetDlg::CCameraSetDlg(const ResourceLibrary& resources, platform::WindowHandle mainWindow,
                             QWidget* parent)
    : PostedAnswerDialog(kTemplate, resources, mainWindow, ids::kCameraSetToggle,
                         ids::kCameraSetToggleAndHand, parent),
      mainWindow_(std::move(mainWindow)) {
    if (!form()) {
        return;
    }
    ReplaceButtons();
    for (int i = 0; i < PictureAdjustment::kProperties; ++i) {
        sliders_[i] = qobject_cast<QSlider*>(Control(kSliders[i]));
        if (sliders_[i]) {
            sliders_[i]->setRange(0, kSliderMax[i]);
        }
        valueTexts_[i] = qobject_cast<QLineEdit*>(Control(kValueTexts[i]));
        if (valueTexts_[i]) {
            valueTexts_[i]->setReadOnly(true);
        }
    }
    cameraList_ = qobject_cast<QComboBox*>(Control(kCameraList));
    if (cameraList_) {
        for (int camera = 0; camera < 4; ++camera) {
            cameraList_->addItem(resources.Text(kFirstCameraText + camera));
        }
    }
    nameEdit_ = qobject_cast<QLineEdit*>(Control(kNameEdit));
    if (nameEdit_) {
        nameEdit_->setMaxLength(CameraSettingsValues::kNameLength);
    }
    eachTimeEdit_ = qobject_cast<QLineEdit*>(Control(kEachTimeEdit));
    displayTimeList_ = qobject_cast<QComboBox*>(Control(kDisplayTimeList));
    ConnectControls();
}

CCameraSetDlg::~CCameraSetDlg() = default;

void CCameraSetDlg::SetDevice(CameraDeviceAccess device) {
    device_ = std::move(device);
    picture_.SetDevice(device_.procAmp);
}

void CCameraSetDlg::ReplaceButtons() {
    for (int id : {kConfirmButton, kCancelButton, kBlackWhiteButton, kDefaultButton}) {
        auto* button = ReplaceControl(form(), id, [this](QWidget* placeholder) {
            return new CColorButton(placeholder->property("text").toString(), form());
        });
        if (!button) {
            continue;
        }
        switch (id) {
            case kConfirmButton:
                button->setDefault(true);  // Enter in any control confirms
                connect(button, &QAbstractButton::clicked, this, &CCameraSetDlg::OnConfirm);
                break;
            case kCancelButton:
                connect(button, &QAbstractButton::clicked, this, &CCameraSetDlg::OnCancel);
                break;
            case kBlackWhiteButton:
                button->setCheckable(true);
                connect(button, &QAbstractButton::clicked, this, &CCameraSetDlg::OnBlackWhite);
                break;
            default:
                connect(button, &QAbstractButton::clicked, this, &CCameraSetDlg::OnDefaults);
                break;
        }
    }
}

void CCameraSetDlg::ConnectControls() {
    for (int i = 0; i < PictureAdjustment::kProperties; ++i) {
        if (sliders_[i]) {
            connect(sliders_[i], &QSlider::valueChanged, this,
                    [this, i](int value) { OnSliderMoved(i, value); });
        }
    }
    if (QAbstractButton* pal = Button(kPalButton)) {
        connect(pal, &QAbstractButton::clicked, this, [this] { OnStandard(media::kStandardPal); });
    }
    if (QAbstractButton* ntsc = Button(kNtscButton)) {
        connect(ntsc, &QAbstractButton::clicked, this,
                [this] { OnStandard(media::kStandardNtsc); });
    }
    if (cameraList_) {
        connect(cameraList_, &QComboBox::currentIndexChanged, this, &CCameraSetDlg::OnCameraChosen);
    }
    if (nameEdit_) {
        connect(nameEdit_, &QLineEdit::editingFinished, this, &CCameraSetDlg::CommitName);
    }
    if (eachTimeEdit_) {
        connect(eachTimeEdit_, &QLineEdit::editingFinished, this, &CCameraSetDlg::OnEachTimeEdited);
    }
    for (const SpeedOption& option : SpeedOptions()) {
        if (QAbstractButton* radio = Button(static_cast<int>(option.control))) {
            connect(radio, &QAbstractButton::clicked, this,
                    [this, control = option.control] { OnSpeedOption(control); });
        }
    }
    if (displayTimeList_) {
        connect(displayTimeList_, &QComboBox::activated, this, &CCameraSetDlg::OnDisplayTimeChosen);
    }
}

void CCameraSetDlg::OnOpen() {
    opened_ = values_;
    blackWhiteAtOpening_ = picture_.blackWhite();
    for (int i = 0; i < PictureAdjustment::kProperties; ++i) {
        if (const std::optional<long> value = picture_.Read(kProperties[i])) {
            ShowSlider(i, *value);
        }
    }
    const int standard = device_.videoStandard ? device_.videoStandard() : -1;
    if (QAbstractButton* radio =
            Button(standard == media::kStandardNtsc ? kNtscButton : kPalButton)) {
        radio->setChecked(true);
    }
    nameCamera_ = 0;
    if (cameraList_) {
        const QSignalBlocker quiet(cameraList_);
        cameraList_->setCurrentIndex(0);
    }
    if (nameEdit_) {
        nameEdit_->setText(values_.names[0]);
    }
    // A wild stored choice shows as the default one; the values change only when the user acts.
    ShowSpeedChoice(ChoiceFromStored(values_.frameSpeed, values_.selectDis));
    ShowBlackWhite();
    if (eachTimeEdit_) {
        eachTimeEdit_->setText(SecondsText(values_.eachTimeMs));
    }
}

void CCameraSetDlg::ReadControls() {
    // Enter in an edit confirms before the edit has let go of its text.
    CommitName();
    OnEachTimeEdited();
    if (shownOption_) {
        values_.frameSpeed = shownOption_->control;
    }
    if (displayTimeList_ && displayTimeList_->currentIndex() >= 0) {
        values_.selectDis = static_cast<uint32_t>(displayTimeList_->currentIndex());
    }
}

void CCameraSetDlg::RevertLiveChanges() {
    if (picture_.blackWhite() != blackWhiteAtOpening_) {
        OnBlackWhite();
    }
    values_ = opened_;
    // The edits show what was put back, so their letting go of the focus changes nothing.
    if (nameEdit_) {
        nameEdit_->setText(values_.names[nameCamera_]);
    }
    if (eachTimeEdit_) {
        eachTimeEdit_->setText(SecondsText(values_.eachTimeMs));
    }
    ShowSpeedChoice(ChoiceFromStored(values_.frameSpeed, values_.selectDis));
    Announce(ids::kCameraSetTakeAll);
}

void CCameraSetDlg::OnSliderMoved(int property, int value) {
    picture_.Set(kProperties[property], value);
    if (valueTexts_[property]) {
        valueTexts_[property]->setText(QString::number(value));
    }
    if (property == kBrightness) {
        values_.brightness = static_cast<uint32_t>(value);
    } else if (property == kSaturation) {
        ShowBlackWhite();
    }
}

void CCameraSetDlg::OnBlackWhite() {
    ShowSlider(kSaturation, picture_.ToggleBlackWhite());
    ShowBlackWhite();
}

void CCameraSetDlg::OnDefaults() {
    const auto values = picture_.SetDefaults();
    if (!values) {
        return;
    }
    for (int i = 0; i < PictureAdjustment::kProperties; ++i) {
        ShowSlider(i, (*values)[i]);
    }
    values_.brightness = static_cast<uint32_t>((*values)[kBrightness]);
    ShowBlackWhite();
}

void CCameraSetDlg::OnStandard(uint8_t standard) {
    if (device_.writeStandard) {
        device_.writeStandard(standard);
    }
}

void CCameraSetDlg::OnCameraChosen(int index) {
    if (index < 0 || index >= static_cast<int>(values_.names.size())) {
        return;
    }
    // A name still being typed belongs to the camera it was typed for.
    CommitName();
    nameCamera_ = index;
    if (nameEdit_) {
        nameEdit_->setText(values_.names[index]);
    }
}

void CCameraSetDlg::CommitName() {
    if (!nameEdit_) {
        return;
    }
    const QString name = CleanName(nameEdit_->text());
    if (name != nameEdit_->text()) {
        nameEdit_->setText(name);
    }
    if (name == values_.names[nameCamera_]) {
        return;
    }
    values_.names[nameCamera_] = name;
    Announce(ids::kCameraSetTakeAll);
}

void CCameraSetDlg::OnEachTimeEdited() {
    if (!eachTimeEdit_) {
        return;
    }
    // Text that is no number is refused: the edit shows the dwell time in force again.
    const std::optional<uint32_t> ms = DwellMsFromText(eachTimeEdit_->text());
    if (ms && *ms != values_.eachTimeMs) {
        values_.eachTimeMs = *ms;
        Announce(ids::kCameraSetTakeTimings);
    }
    eachTimeEdit_->setText(SecondsText(values_.eachTimeMs));
}

void CCameraSetDlg::OnSpeedOption(uint32_t control) {
    const SpeedOption* option = FindSpeedOption(control);
    if (!option || option == shownOption_) {
        return;
    }
    const SpeedChoice choice = FirstChoice(*option);
    values_.frameSpeed = control;
    values_.selectDis = choice.index;
    values_.disTimeMs = choice.displayTimeMs();
    values_.intervalTimeMs = choice.intervalTimeMs();
    ShowSpeedChoice(choice);
    Announce(ids::kCameraSetTakeTimings);
}

void CCameraSetDlg::OnDisplayTimeChosen(int index) {
    if (!shownOption_ || index < 0 ||
        index >= static_cast<int>(shownOption_->displayTimesMs.size())) {
        return;
    }
    const SpeedChoice choice{shownOption_, static_cast<uint32_t>(index)};
    values_.frameSpeed = shownOption_->control;
    values_.selectDis = choice.index;
    values_.disTimeMs = choice.displayTimeMs();
    values_.intervalTimeMs = choice.intervalTimeMs();
    Announce(ids::kCameraSetTakeTimings);
}

void CCameraSetDlg::ShowSlider(int property, long value) {
    if (QSlider* slider = sliders_[property]) {
        // Only the user's moves reach the device.
        const QSignalBlocker quiet(slider);
        slider->setValue(static_cast<int>(value));
    }
    if (valueTexts_[property]) {
        valueTexts_[property]->setText(QString::number(value));
    }
}

void CCameraSetDlg::ShowBlackWhite() {
    if (QAbstractButton* button = Button(kBlackWhiteButton)) {
        button->setChecked(picture_.blackWhite());
        button->setText(picture_.blackWhite() ? kColourText : kBlackWhiteText);
    }
}

void CCameraSetDlg::ShowSpeedChoice(const SpeedChoice& choice) {
    shownOption_ = choice.option;
    for (const SpeedOption& option : SpeedOptions()) {
        if (QAbstractButton* radio = Button(static_cast<int>(option.control))) {
            const bool chosen = &option == choice.option;
            if (chosen) {
                radio->setChecked(true);
            }
            radio->setStyleSheet(chosen ? kChosenFrame : kOtherFrame);
        }
    }
    if (displayTimeList_) {
        const QSignalBlocker quiet(displayTimeList_);
        displayTimeList_->clear();
        for (uint32_t ms : choice.option->displayTimesMs) {
            displayTimeList_->addItem(QString::number(ms));
        }
        displayTimeList_->setCurrentIndex(static_cast<int>(choice.index));
    }
}

void CCameraSetDlg::Announce(uint32_t message) {
    mainWindow_.PostMessage(message, 0, 0);
}

}  // namespace ovistra
