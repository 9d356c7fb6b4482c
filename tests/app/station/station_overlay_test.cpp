// What the pictures of a running station show over themselves, grabbed from a real window
// (offscreen): a camera's alarm blinks a red border on its picture in full screen, where the
// alarm squares are hidden, a recording camera carries its badge, and a locked station a banner.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>

#include "c_check_password.h"
#include "c_set_password.h"
#include "settings_store.h"
#include "sim_device.h"
#include "station_fixture.h"
#include "video_view.h"

namespace {

using namespace ovistra;

class OverlayDialog : public ovistra::testing::RecordingDialog {
public:
    using CQuorvaneDlg::detection_;
    using CQuorvaneDlg::Lock;
    using CQuorvaneDlg::overlays_;
    using CQuorvaneDlg::views_;
    using RecordingDialog::RecordingDialog;

    // Camera `camera`'s (0..3) picture as the window shows it now.
    QImage Picture(int camera) {
        const QImage shot = grab().toImage();
        media::VideoView* view = views_[camera];
        return shot.copy(QRect(view->mapTo(this, QPoint(0, 0)), view->size()));
    }
};

bool BorderRed(const QImage& picture) {
    const QRect r = picture.rect();
    for (int i = 0; i <= 8; ++i) {
        const int x = (r.width() - 1) * i / 8, y = (r.height() - 1) * i / 8;
        for (QPoint p : {QPoint(x, 0), QPoint(x, r.bottom()), QPoint(0, y), QPoint(r.right(), y)}) {
            if (picture.pixelColor(p) != QColor(255, 0, 0)) {
                return false;
            }
        }
    }
    return true;
}

// Pixels of `colour` in the picture's band of rows from `top` to `bottom` (shares of its height).
int CountIn(const QImage& picture, double top, double bottom, const QColor& colour) {
    int count = 0;
    for (int y = int(picture.height() * top); y < int(picture.height() * bottom); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            count += picture.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

const QColor kBadgeRed(204, 0, 0);

class StationOverlay : public ovistra::testing::StationFixture {
protected:
    void SetUp() override {
        StationFixture::SetUp();
        context.detectorLibrary = VIGIMOT_LIBRARY;
        StoreRecordFolder();
    }
};

TEST_F(StationOverlay, AnAlarmBlinksARedBorderOnItsPictureInFullScreen) {
    media::SimDeviceConfig config;
    config.motions = {{2, 1.0, 2.0}};
    AddSimulatedDevice(std::move(config));
    RegistrySettings stored;
    stored.motionDetectCamera = 2;
    stored.senseMode = 50;
    stored.detectingAction = 1;  // the alarm records
    ASSERT_TRUE(SettingsStore(registry).SaveMotionSettings(stored));
    context.detectAtStart = true;
    OverlayDialog dialog(context);
    bool lit = false, litWithBadge = false, unlit = false, quietAfter = false;
    dialog.onCaptureStarted = [&] {
        // Camera 2 alone, so it gets every frame.
        for (int button : {1011, 1013, 1014}) {
            dialog.OnCommand(button);
        }
        dialog.OnCommand(ids::kFullScreenButton);
    };
    auto alarm = [&] { return dialog.detection_->AlarmActive(2); };
    TakeSteps(dialog, {{[&] { return alarm() && dialog.overlays_[1].alarmLit(); },
                        [&] {
                            const QImage picture = dialog.Picture(1);
                            lit = BorderRed(picture);
                            litWithBadge = CountIn(picture, 0, 0.25, kBadgeRed) > 100;
                            EXPECT_FALSE(dialog.Control(1121)->isVisible()) << "the square";
                        }},
                       {[&] { return alarm() && !dialog.overlays_[1].alarmLit(); },
                        [&] { unlit = !BorderRed(dialog.Picture(1)); }},
                       {[&] { return !alarm() && !dialog.recording_->IsRecording(2); },
                        [&] {
                            const QImage picture = dialog.Picture(1);
                            quietAfter =
                                !BorderRed(picture) && CountIn(picture, 0, 0.25, kBadgeRed) == 0;
                        }}});
    EXPECT_TRUE(dialog.RunModal());
    EXPECT_TRUE(lit);
    EXPECT_TRUE(litWithBadge) << "the alarm's recording";
    EXPECT_TRUE(unlit) << "the border blinks";
    EXPECT_TRUE(quietAfter);
}

TEST_F(StationOverlay, ALockedStationShowsItsBannerOverEveryPictureUntilReleased) {
    AddSimulatedDevice();
    OverlayDialog dialog(context);
    auto type = [](QDialog* dialog, int id, const QString& text) {
        dialog->findChild<QLineEdit*>(QStringLiteral("id%1").arg(id))->setText(text);
    };
    auto press = [](QDialog* dialog, int id) {
        dialog->findChild<QAbstractButton*>(QStringLiteral("id%1").arg(id))->click();
    };
    // The banner's amber edges, across the picture's middle.
    auto banner = [&](int camera) {
        return CountIn(dialog.Picture(camera), 0.25, 0.75, QColor(255, 176, 0)) > 100;
    };
    std::vector<bool> lockedBanners, freeBanners;
    auto always = [] { return true; };
    TakeSteps(dialog, {{always,
                        [&] {
                            dialog.OnCommand(ids::kLockCommand);  // no password yet: asks one
                            CSetPassword* choose = dialog.Lock().setPasswordDialog();
                            type(choose, CSetPassword::kNewEdit, "Garden7");
                            type(choose, CSetPassword::kConfirmEdit, "Garden7");
                            press(choose, CSetPassword::kSaveButton);
                            EXPECT_FALSE(banner(0)) << "asking for a password locks nothing";
                            dialog.OnCommand(ids::kLockCommand);
                        }},
                       {always,
                        [&] {
                            for (int camera = 0; camera < 4; ++camera) {
                                lockedBanners.push_back(banner(camera));
                            }
                            dialog.Lock().OnUnlockRequest();
                        }},
                       {[&] { return dialog.Lock().prompt() != nullptr; },
                        [&] {
                            type(dialog.Lock().prompt(), CCheckPassword::kPasswordEdit, "Garden7");
                            press(dialog.Lock().prompt(), 1);
                        }},
                       {always, [&] {
                            for (int camera = 0; camera < 4; ++camera) {
                                freeBanners.push_back(banner(camera));
                            }
                        }}});
    EXPECT_TRUE(dialog.RunModal());
    EXPECT_EQ(lockedBanners, std::vector<bool>(4, true));
    EXPECT_EQ(freeBanners, std::vector<bool>(4, false));
}

}  // namespace
