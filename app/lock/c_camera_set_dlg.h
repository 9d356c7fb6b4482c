// The camera settings dialog: picture adjustment and video standard of the capture device, the
// cameras' on-screen names and the timing of the cycling view. It works live: device changes
// take effect at once and every other change is announced to the main window by a posted
// message; Cancel puts back all but the slider changes, which stay on the device.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "picture_adjustment.h"
#include "posted_answer_dialog.h"
#include "speed_options.h"

class QComboBox;
class QLineEdit;
class QSlider;

namespace ovistra {

struct CameraSettingsValues {
    static constexpr int kNameLength = 25;  // the captions leave room for no more

    std::array<QString, 4> names;  // camera 1..4
    uint32_t eachTimeMs = 1000;    // dwell per camera in the cycling view
    uint32_t disTimeMs = 50;       // feed time per camera in the four-picture view
    uint32_t intervalTimeMs = 300;
    uint32_t frameSpeed = 1140;  // the chosen speed option's control
    uint32_t selectDis = 1;      // the chosen entry of its display-time list
    uint32_t brightness = 100;

    bool operator==(const CameraSettingsValues&) const = default;
};

// What the dialog reaches of the capture device; empty before capture runs.
struct CameraDeviceAccess {
    media::VideoProcAmp* procAmp = nullptr;
    std::function<int()> videoStandard;                   // kStandardPal, kStandardNtsc or -1
    std::function<void(uint8_t standard)> writeStandard;  // the decoder's standard register
};

class CCameraSetDlg : public PostedAnswerDialog {
    Q_OBJECT

public:
    static constexpr int kTemplate = 154;

    // Controls of template 154 besides OK and Cancel.
    static constexpr int kSliders[PictureAdjustment::kProperties] = {1026, 1099, 1100, 1101, 1102};
    static constexpr int kValueTexts[PictureAdjustment::kProperties] = {1006, 1007, 1008, 1009,
                                                                        1010};
    static constexpr int kCameraList = 1071;
    static constexpr int kNameEdit = 1055;
    static constexpr int kEachTimeEdit = 1129;
    static constexpr int kDisplayTimeList = 1135;
    static constexpr int kBlackWhiteButton = 1139;
    static constexpr int kDefaultButton = 1049;
    static constexpr int kPalButton = 1104;
    static constexpr int kNtscButton = 1105;

    // The resource library must outlive the dialog.
    CCameraSetDlg(const ResourceLibrary& resources, platform::WindowHandle mainWindow,
                  QWidget* parent = nullptr);
    ~CCameraSetDlg() override;

    // The main window hands both before every opening.
    const CameraSettingsValues& values() const { return values_; }
    void SetValues(const CameraSettingsValues& values) { values_ = values; }
    void SetDevice(CameraDeviceAccess device);

    bool blackWhite() const { return picture_.blackWhite(); }

protected:
    void OnOpen() override;
    void ReadControls() override;
    void RevertLiveChanges() override;

private:
    void ReplaceButtons();
    void ConnectControls();

    void OnSliderMoved(int property, int value);
    void OnBlackWhite();
    void OnDefaults();
    void OnStandard(uint8_t standard);
    void OnCameraChosen(int index);
    void CommitName();
    void OnEachTimeEdited();
    void OnSpeedOption(uint32_t control);
    void OnDisplayTimeChosen(int index);

    void ShowSlider(int property, long value);
    void ShowBlackWhite();
    void ShowSpeedChoice(const SpeedChoice& choice);
    void Announce(uint32_t message);

    platform::WindowHandle mainWindow_;
    CameraDeviceAccess device_;
    PictureAdjustment picture_;
    CameraSettingsValues values_;
    CameraSettingsValues opened_;  // as handed over at this opening, for Cancel
    bool blackWhiteAtOpening_ = false;
    const SpeedOption* shownOption_ = nullptr;
    int nameCamera_ = 0;  // 0..3: the camera whose name the edit shows

    std::array<QSlider*, PictureAdjustment::kProperties> sliders_{};
    std::array<QLineEdit*, PictureAdjustment::kProperties> valueTexts_{};
    QComboBox* cameraList_ = nullptr;
    QLineEdit* nameEdit_ = nullptr;
    QLineEdit* eachTimeEdit_ = nullptr;
    QComboBox* displayTimeList_ = nullptr;
};

}  // namespace ovistra
