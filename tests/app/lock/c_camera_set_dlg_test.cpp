// The camera settings dialog on the offscreen platform, built from the real resource library,
// adjusting the simulated device's picture.
#include "c_camera_set_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSlider>
#include <memory>
#include <vector>

#include "dialog_controls.h"
#include "posted_messages.h"
#include "resource_library.h"
#include "sim_device.h"
#include "window_ids.h"

namespace ovistra {
namespace {

using media::ProcAmpProperty;

constexpr int kBrightnessSlider = 1026;
constexpr int kSaturationSlider = 1101;

class CCameraSetDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources) << error.toStdString();
        dialog = std::make_unique<CCameraSetDlg>(*resources, main.Handle());
    }
    // As the main window does: values and device first, then show.
    void Open(const CameraSettingsValues& values = {}) {
        dialog->hide();
        dialog->SetValues(values);
        CameraDeviceAccess access;
        access.procAmp = &device;
        access.videoStandard = [this] { return device.VideoStandard(); };
        access.writeStandard = [this](uint8_t standard) {
            device.WriteI2c(media::kDecoderAddress, media::kDecoderStandardRegister, &standard, 1);
        };
        dialog->SetDevice(access);
        dialog->show();
        main.messages.clear();
    }
    void Click(int id) { testing::ClickControl(*dialog, id); }
    template <typename T>
    T* Get(int id) {
        auto* control = qobject_cast<T*>(dialog->Control(id));
        EXPECT_TRUE(control) << id;
        return control;
    }
    void Slide(int id, int value) {
        Get<QSlider>(id)->setValue(value);
        QCoreApplication::sendPostedEvents();
    }
    void Type(int id, const QString& text) {
        Get<QLineEdit>(id)->setText(text);
        emit Get<QLineEdit>(id)->editingFinished();
        QCoreApplication::sendPostedEvents();
    }
    long Device(ProcAmpProperty property) {
        long value = 0;
        long flags = 0;
        device.Get(property, &value, &flags);
        return value;
    }
    std::vector<uint8_t> Picture() {
        std::vector<uint8_t> frame(media::kFrameBytes);
        device.RenderFrame(frame.data(), 0);
        return frame;
    }
    static double MeanLuma(const std::vector<uint8_t>& frame) {
        double sum = 0;
        for (size_t i = 0; i < frame.size(); i += 2) {
            sum += frame[i];
        }
        return sum / (frame.size() / 2);
    }
    static bool Grey(const std::vector<uint8_t>& frame) {
        for (size_t i = 1; i < frame.size(); i += 2) {
            if (frame[i] != 128) {
                return false;
            }
        }
        return true;
    }

    std::unique_ptr<ResourceLibrary> resources;
    testing::PostedMessages main;
    media::SimulatedDevice device{{}};
    std::unique_ptr<CCameraSetDlg> dialog;
};

TEST_F(CCameraSetDlgTest, SlidersAdjustTheDevicesPictureAndBrightnessIsKept) {
    Open();
    const double neutral = MeanLuma(Picture());
    Slide(kBrightnessSlider, 180);
    EXPECT_EQ(Device(ProcAmpProperty::Brightness), 180);
    EXPECT_GT(MeanLuma(Picture()), neutral + 40);
    EXPECT_EQ(Get<QLineEdit>(1006)->text(), QStringLiteral("180"));
    EXPECT_EQ(dialog->values().brightness, 180u);
    Slide(1099, 10);
    EXPECT_EQ(Device(ProcAmpProperty::Contrast), 10);
    Click(CCameraSetDlg::kDefaultButton);
    EXPECT_EQ(Device(ProcAmpProperty::Brightness), 100);
    EXPECT_EQ(Device(ProcAmpProperty::Contrast), 32);
    EXPECT_EQ(Get<QSlider>(kBrightnessSlider)->value(), 100);
    EXPECT_EQ(dialog->values().brightness, 100u);
    EXPECT_TRUE(main.messages.empty());  // picture changes reach the device, not the window
}

TEST_F(CCameraSetDlgTest, BlackAndWhiteThenCancelLeavesTheColourAsItWasAtOpening) {
    const struct {
        long saturation;
        int blackWhitePresses;
        bool slideAfter;  // the saturation slider moved after the presses
        bool greyAfterPresses;
        long saturationAfterCancel;
    } cases[] = {{40, 1, false, true, 40}, {40, 2, false, false, 40}, {5, 2, false, false, 32},
                 {9, 2, false, false, 32}, {10, 2, false, false, 10}, {40, 1, true, false, 20}};
    for (const auto& c : cases) {
        device.Set(ProcAmpProperty::Saturation, c.saturation, media::kProcAmpFlagsManual);
        Open();
        for (int press = 0; press < c.blackWhitePresses; ++press) {
            Click(CCameraSetDlg::kBlackWhiteButton);
        }
        if (c.slideAfter) {
            Slide(kSaturationSlider, 20);
        }
        EXPECT_EQ(Grey(Picture()), c.greyAfterPresses) << c.saturation;
        EXPECT_EQ(testing::IsChecked(*dialog, CCameraSetDlg::kBlackWhiteButton),
                  c.greyAfterPresses);
        Click(CCameraSetDlg::kCancelButton);
        EXPECT_FALSE(dialog->blackWhite());
        EXPECT_EQ(Device(ProcAmpProperty::Saturation), c.saturationAfterCancel) << c.saturation;
        EXPECT_EQ(main.messages,
                  (std::vector<uint32_t>{ids::kCameraSetTakeAll, ids::kCameraSetToggleAndHand}));
    }
}

TEST_F(CCameraSetDlgTest, StandardButtonsSwitchTheDecoderAndOpeningShowsIt) {
    Open();
    EXPECT_TRUE(testing::IsChecked(*dialog, CCameraSetDlg::kPalButton));
    Click(CCameraSetDlg::kNtscButton);
    EXPECT_EQ(device.FramesPerSecond(), 30);
    Open();
    EXPECT_TRUE(testing::IsChecked(*dialog, CCameraSetDlg::kNtscButton));
    Click(CCameraSetDlg::kPalButton);
    EXPECT_EQ(device.FramesPerSecond(), 25);
}

TEST_F(CCameraSetDlgTest, TimingChoicesAreAnnouncedAndCancelPutsThemBack) {
    CameraSettingsValues stored;
    stored.frameSpeed = 1137;
    stored.selectDis = 0;
    Open(stored);
    const std::vector<uint32_t> timings{ids::kCameraSetTakeTimings};
    Click(1140);
    EXPECT_EQ(dialog->values().disTimeMs, 50u);
    EXPECT_EQ(dialog->values().intervalTimeMs, 300u);
    EXPECT_EQ(Get<QComboBox>(CCameraSetDlg::kDisplayTimeList)->currentText(), "50");
    EXPECT_EQ(main.messages, timings);
    main.messages.clear();
    Click(1140);  // chosen already: nothing happens
    EXPECT_TRUE(main.messages.empty());
    emit Get<QComboBox>(CCameraSetDlg::kDisplayTimeList)->activated(3);  // 100
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(dialog->values().disTimeMs, 100u);
    EXPECT_EQ(dialog->values().intervalTimeMs, 250u);
    EXPECT_EQ(dialog->values().selectDis, 3u);
    Type(CCameraSetDlg::kEachTimeEdit, "0.05");
    EXPECT_EQ(dialog->values().eachTimeMs, 80u);
    EXPECT_EQ(Get<QLineEdit>(CCameraSetDlg::kEachTimeEdit)->text(), "0.08");
    Type(CCameraSetDlg::kEachTimeEdit, "soon");  // refused
    EXPECT_EQ(Get<QLineEdit>(CCameraSetDlg::kEachTimeEdit)->text(), "0.08");
    Click(CCameraSetDlg::kCancelButton);
    EXPECT_EQ(dialog->values(), stored);
}

TEST_F(CCameraSetDlgTest, AWildStoredChoiceShowsTheDefaultAndIsKeptUntilConfirmed) {
    CameraSettingsValues stored;
    stored.frameSpeed = 1139;
    stored.selectDis = 77;
    Open(stored);
    EXPECT_TRUE(testing::IsChecked(*dialog, 1140));
    EXPECT_EQ(Get<QComboBox>(CCameraSetDlg::kDisplayTimeList)->currentText(), "50");
    EXPECT_EQ(dialog->values(), stored);
    Click(CCameraSetDlg::kConfirmButton);
    EXPECT_EQ(dialog->values().frameSpeed, 1140u);
    EXPECT_EQ(dialog->values().selectDis, 1u);
    EXPECT_EQ(main.messages, std::vector<uint32_t>{ids::kCameraSetToggle});
}

TEST_F(CCameraSetDlgTest, NamesAreCleanedKeptPerCameraAndAnnounced) {
    Open();
    Type(CCameraSetDlg::kNameEdit, "Gate\n\tnorth\x01");
    Get<QComboBox>(CCameraSetDlg::kCameraList)->setCurrentIndex(2);
    Get<QLineEdit>(CCameraSetDlg::kNameEdit)->setText(QString(40, QLatin1Char('x')));
    Click(CCameraSetDlg::kConfirmButton);  // Enter before the edit let go
    EXPECT_EQ(dialog->values().names[0], QStringLiteral("Gatenorth"));
    EXPECT_EQ(dialog->values().names[2], QString(25, QLatin1Char('x')));
    EXPECT_EQ(main.messages, (std::vector<uint32_t>{ids::kCameraSetTakeAll, ids::kCameraSetTakeAll,
                                                    ids::kCameraSetToggle}));
}

}  // namespace
}  // namespace ovistra
