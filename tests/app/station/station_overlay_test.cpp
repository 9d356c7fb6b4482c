// What the pictures of a running station show over themselves, grabbed from a real window
// (offscreen): in full screen, where the alarm squares are hidden, an alarmed camera's picture
// blinks a red border and carries the badge of the alarm's recording; locked, it shows a banner.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "c_check_password.h"
#include "custom_settings.h"
#include "password_codec.h"
#include "settings_store.h"
#include "station_fixture.h"
#include "video_view.h"

namespace {

using namespace ovistra;

class OverlayDialog : public ovistra::testing::RecordingDialog {
public:
    using CQuorvaneDlg::detection_;
    using CQuorvaneDlg::Lock;
    using CQuorvaneDlg::overlays_;
    using RecordingDialog::RecordingDialog;

    // Camera 2's picture as the window shows it now.
    QImage Picture() {
        const QWidget* view = views_[1];
        return grab().toImage().copy(QRect(view->mapTo(this, QPoint(0, 0)), view->size()));
    }
};

bool BorderRed(const QImage& picture) {
    const QRect r = picture.rect();
    for (int i = 0; i <= 8; ++i) {
        const int x = r.right() * i / 8, y = r.bottom() * i / 8;
        for (QPoint p : {QPoint(x, 0), QPoint(x, r.bottom()), QPoint(0, y), QPoint(r.right(), y)}) {
            if (picture.pixelColor(p) != QColor(255, 0, 0)) {
                return false;
            }
        }
    }
    return true;
}

int Count(const QImage& picture, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            count += picture.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

const QColor kBadgeRed(204, 0, 0);
const QColor kBannerEdge(255, 176, 0);

class StationOverlay : public ovistra::testing::StationFixture {};

TEST_F(StationOverlay, AnAlarmInFullScreenBlinksItsPicturesBorderAndLockingAddsABanner) {
    media::SimDeviceConfig config;
    config.motions = {{2, 1.0, 2.0}};
    AddSimulatedDevice(std::move(config));
    StoreRecordFolder();
    RegistrySettings stored;
    stored.motionDetectCamera = 2;
    stored.senseMode = 50;
    stored.detectingAction = 1;  // the alarm records
    ASSERT_TRUE(SettingsStore(registry).SaveMotionSettings(stored));
    context.detectAtStart = true;
    context.detectorLibrary = VIGIMOT_LIBRARY;
    OverlayDialog dialog(context);
    dialog.onCaptureStarted = [&] {
        for (int button : {1011, 1013, 1014}) {  // camera 2 alone, so it gets every frame
            dialog.OnCommand(button);
        }
        dialog.OnCommand(ids::kFullScreenButton);
    };
    auto alarm = [&] { return dialog.detection_->AlarmActive(2); };
    auto lit = [&] { return dialog.overlays_[1].alarmLit(); };
    std::vector<bool> seen;
    auto look = [&] {
        const QImage picture = dialog.Picture();
        seen.insert(seen.end(), {BorderRed(picture), Count(picture, kBadgeRed) > 100,
                                 Count(picture, kBannerEdge) > 100});
    };
    TakeSteps(dialog, {{[&] { return alarm() && lit(); },
                        [&] {
                            look();
                            EXPECT_FALSE(dialog.Control(1121)->isVisible()) << "the alarm square";
                        }},
                       {[&] { return alarm() && !lit(); }, look},
                       {[&] { return !alarm() && !dialog.recording_->IsRecording(2); },
                        [&] {
                            look();
                            const QString file = dialog.settingsFilePath();
                            QDir().mkpath(QFileInfo(file).absolutePath());
                            ASSERT_TRUE(CustomSettings(file).SavePassword(
                                QString::fromLatin1(EncodePassword("Garden7"))));
                            dialog.OnCommand(ids::kLockCommand);
                            look();
                            dialog.Lock().OnUnlockRequest();
                        }},
                       {[&] { return dialog.Lock().prompt() != nullptr; },
                        [&] {
                            CCheckPassword* prompt = dialog.Lock().prompt();
                            prompt
                                ->findChild<QLineEdit*>(
                                    QStringLiteral("id%1").arg(CCheckPassword::kPasswordEdit))
                                ->setText("Garden7");
                            prompt->findChild<QAbstractButton*>("id1")->click();
                            look();
                        }}});
    EXPECT_TRUE(dialog.RunModal());
    // Border, badge and banner at each look: lit with the alarm's recording, blinked off, over
    // (recording stopped), locked, released.
    EXPECT_EQ(seen, (std::vector<bool>{true, true, false, false, true, false, false, false, false,
                                       false, false, true, false, false, false}));
}

}  // namespace
