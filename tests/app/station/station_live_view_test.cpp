// The live view in a real window (offscreen) on the simulated device: captions, clicks, the
// cycling view, full screen and what the pictures show.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <set>

#include "c_color_button.h"
#include "camera_captions.h"
#include "settings_store.h"
#include "sim_device.h"
#include "station_fixture.h"
#include "video_view.h"

namespace {

using namespace ovistra;

class LiveDialog : public CQuorvaneDlg {
public:
    using CQuorvaneDlg::CQuorvaneDlg;
    ~LiveDialog() override { CloseMailbox(); }

    using CQuorvaneDlg::switchState_;
    using CQuorvaneDlg::views_;
    int zoomed() const { return zoomedCamera_; }
    bool fullScreen() const { return fullScreen_; }

    std::vector<int> singleClicks;

protected:
    void OnSingleClick(int camera) override { singleClicks.push_back(camera); }
};

// The camera (1..4) whose marker colour the picture shows at `area` of `image`, 0 for none.
int CameraIn(const QImage& image, const QRect& area) {
    const QColor c = image.pixelColor(area.left() + 48 * area.width() / 640,
                                      area.top() + 40 * area.height() / 480);
    const bool r = c.red() > 170, g = c.green() > 170, b = c.blue() > 170;
    const bool rl = c.red() < 90, gl = c.green() < 90, bl = c.blue() < 90;
    if (r && gl && bl)
        return 1;
    if (rl && g && bl)
        return 2;
    if (rl && gl && b)
        return 3;
    if (r && g && bl)
        return 4;
    return 0;
}

class StationLiveView : public ovistra::testing::StationFixture {
protected:
    void SetUp() override {
        StationFixture::SetUp();
        AddSimulatedDevice();
    }
    // Runs the window, does `steps` one after the other `gapMs` apart, then exits.
    void Run(LiveDialog& dialog, std::vector<std::function<void()>> steps, int gapMs = 400) {
        int at = 300;
        for (auto& step : steps) {
            AfterLoopStarts(dialog, at, std::move(step));
            at += gapMs;
        }
        EXPECT_TRUE(RunThenExit(dialog, at));
    }
    QRect AreaOf(LiveDialog& dialog, int id) {
        QWidget* control = dialog.Control(id);
        return QRect(control->mapTo(&dialog, QPoint(0, 0)), control->size());
    }
};

TEST_F(StationLiveView, CaptionsCarryTheCameraNameRightAfterItsLabel) {
    struct Case {
        int textId;
        QString expected;  // with the name "Gate"
    };
    const Case cases[] = {
        {146, "Camera I (Gate)"},
        {147, "Camera II (Gate)"},
        {148, "Camera III (Gate)"},
        {149, "Camera IV (Gate)"},
        {150, "Camera I (Gate) - off"},
        {153, "Camera IV (Gate) - off"},
        {155, "Camera II (Gate) - scheduled recording"},
        {160, "Camera III (Gate) - recording"},
    };
    for (const Case& c : cases) {
        const int camera = (c.textId - 146) % 4;
        EXPECT_EQ(
            InsertName(resources->Text(c.textId), DecoratedName("Gate"), NamePosition(camera)),
            c.expected);
    }
    EXPECT_EQ(InsertName("Camera I", DecoratedName(""), 8), "Camera I");
    EXPECT_EQ(InsertName("Cam", DecoratedName("Gate"), 8), "Cam (Gate)");
    EXPECT_EQ(DecoratedName("a\nb\tc"), " (a b c)");
    const CameraCaptionState scheduled{true, true, true};
    EXPECT_EQ(BaseCaptionId(2, scheduled), 156);
    EXPECT_EQ(BaseCaptionId(3, CameraCaptionState{false, false, false}), 153);
}

TEST_F(StationLiveView, LongNamesAreCutWithinTheirCaption) {
    ASSERT_TRUE(AddRunOverride(registry, "Camera1OSD", QString(259, QChar(0x05D0)),
                               nullptr));  // right-to-left letters
    LiveDialog dialog(context);
    QRect before;
    Run(dialog, {[&] {
            auto* caption = qobject_cast<QLabel*>(dialog.Control(ids::kFirstCaption));
            before = AreaOf(dialog, ids::kFirstCaption);
            EXPECT_LT(caption->text().size(), 259);
            EXPECT_LE(caption->fontMetrics().horizontalAdvance(caption->text()), caption->width());
            EXPECT_EQ(before.width(), AreaOf(dialog, ids::kFirstPicture).width());
            EXPECT_FALSE(before.intersects(AreaOf(dialog, ids::kFirstPicture + 1)));
        }});
}

TEST_F(StationLiveView, ASingleClickRunsTheHookOnceAfterTheDoubleClickTime) {
    LiveDialog dialog(context);
    Run(dialog,
        {[&] { QTest::mouseClick(dialog.views_[2], Qt::LeftButton); },
         [&] {
             EXPECT_EQ(dialog.singleClicks, std::vector<int>{2});
             QTest::mouseDClick(dialog.views_[1], Qt::LeftButton);
         },
         [&] {
             EXPECT_EQ(dialog.singleClicks, std::vector<int>{2}) << "a double click is no click";
             EXPECT_EQ(dialog.zoomed(), 2);
             QTest::mouseDClick(dialog.views_[1], Qt::LeftButton);
         },
         [&] { EXPECT_EQ(dialog.zoomed(), 0); }},
        QApplication::doubleClickInterval() + 300);
}

TEST_F(StationLiveView, ZoomingTwiceAndCyclingOffRestoreTheViewExactly) {
    LiveDialog dialog(context);
    std::vector<QRect> four;
    std::vector<QString> captions;
    auto snapshot = [&](std::vector<QRect>& areas, std::vector<QString>& texts) {
        areas.clear();
        texts.clear();
        for (int i = 0; i < 4; ++i) {
            areas.push_back(AreaOf(dialog, ids::kFirstPicture + i));
            areas.push_back(AreaOf(dialog, ids::kFirstCaption + i));
            texts.push_back(qobject_cast<QLabel*>(dialog.Control(ids::kFirstCaption + i))->text());
        }
    };
    std::vector<QRect> zoomed;
    std::vector<QString> zoomedCaptions;
    Run(dialog, {[] {},  // the window has its final size
                 [&] {
                     snapshot(four, captions);
                     QTest::mouseDClick(dialog.views_[3], Qt::LeftButton);
                     snapshot(zoomed, zoomedCaptions);
                     EXPECT_NE(zoomed, four);
                     dialog.OnCommand(ids::kCyclingButton);
                     EXPECT_TRUE(dialog.Control(ids::kLargePicture)->isVisible());
                     EXPECT_FALSE(dialog.Control(ids::kFirstPicture)->isVisible());
                 },
                 [&] {
                     dialog.OnCommand(ids::kCyclingButton);
                     std::vector<QRect> after;
                     std::vector<QString> afterCaptions;
                     snapshot(after, afterCaptions);
                     EXPECT_EQ(after, zoomed);
                     EXPECT_EQ(afterCaptions, zoomedCaptions);
                     QTest::mouseDClick(dialog.views_[3], Qt::LeftButton);
                     snapshot(after, afterCaptions);
                     EXPECT_EQ(after, four);
                     EXPECT_EQ(afterCaptions, captions);
                 }});
}

TEST_F(StationLiveView, TheCyclingViewsPictureFollowsTheLargePictureThroughEveryResize) {
    ASSERT_TRUE(AddRunOverride(registry, "EachTime", "200", nullptr));
    LiveDialog dialog(context);
    QSize restoredLarge;
    auto expectViewFillsLarge = [&] {
        QWidget* large = dialog.Control(ids::kLargePicture);
        int inside = 0;
        for (auto* view : dialog.views_) {
            if (view->parentWidget() == large) {
                EXPECT_EQ(view->geometry(), large->rect());
                ++inside;
            }
        }
        EXPECT_EQ(inside, 1);
    };
    // Each step waits for the switching thread to have shown a camera in the large picture.
    auto largeShowsACamera = [&] {
        QWidget* large = dialog.Control(ids::kLargePicture);
        return std::any_of(dialog.views_.begin(), dialog.views_.end(),
                           [large](QWidget* view) { return view->parentWidget() == large; });
    };
    TakeSteps(dialog, {{[] { return true; },
                        [&] {
                            dialog.showNormal();
                            dialog.resize(900, 620);
                            dialog.OnCommand(ids::kCyclingButton);
                        }},
                       {largeShowsACamera,
                        [&] {
                            expectViewFillsLarge();
                            restoredLarge = dialog.Control(ids::kLargePicture)->size();
                            dialog.setWindowState(Qt::WindowMaximized);
                            dialog.resize(1100, 760);
                        }},
                       {[&] {
                            return largeShowsACamera() &&
                                   dialog.Control(ids::kLargePicture)->size() != restoredLarge;
                        },
                        [&] { expectViewFillsLarge(); }}});
    EXPECT_TRUE(dialog.RunModal());
}

TEST_F(StationLiveView, ACameraSwitchedOffWhileCyclingLeavesTheLargePicture) {
    // The switching thread dwells on a camera far longer than the test runs.
    ASSERT_TRUE(AddRunOverride(registry, "EachTime", "60000", nullptr));
    LiveDialog dialog(context);
    int shown = -1;
    QElapsedTimer sinceOff;
    auto showing = [&] {
        for (int i = 0; i < 4; ++i) {
            if (dialog.views_[i]->parentWidget() == dialog.Control(ids::kLargePicture)) {
                shown = i;
            }
        }
        return shown >= 0;
    };
    TakeSteps(dialog, {{[] { return true; }, [&] { dialog.OnCommand(ids::kCyclingButton); }},
                       {showing,
                        [&] {
                            dialog.OnCommand(ids::kFirstCameraButton + shown);
                            sinceOff.start();
                        }},
                       {[&] { return sinceOff.hasExpired(700); },
                        [&] {
                            EXPECT_EQ(dialog.views_[shown]->parentWidget(),
                                      dialog.Control(ids::kHiddenHolder));
                        }}});
    EXPECT_TRUE(dialog.RunModal());
}

// The simulated device with no crossbar to route its input.
class DeviceWithoutCrossbar final : public media::CaptureDevice {
public:
    std::string FriendlyName() const override { return sim_->FriendlyName(); }
    GstElement* MakeSourceElement() override { return sim_->MakeSourceElement(); }
    media::IChipProperty* ChipProperty() override { return sim_->ChipProperty(); }
    media::I2cBus* Bus() override { return sim_->Bus(); }
    media::VideoProcAmp* ProcAmp() override { return sim_->ProcAmp(); }
    media::Crossbar* CrossbarControl() override { return nullptr; }

private:
    std::shared_ptr<media::SimulatedDevice> sim_ =
        std::make_shared<media::SimulatedDevice>(media::SimDeviceConfig{});
};

class StationWithoutCrossbar : public ovistra::testing::StationFixture {};

TEST_F(StationWithoutCrossbar, TheButtonsStillShowEveryCameraOn) {
    devices.Add(media::DeviceCategory::VideoInput, std::make_shared<DeviceWithoutCrossbar>());
    context.devices = &devices;
    LiveDialog dialog(context);
    AfterLoopStarts(dialog, 300, [&] {
        EXPECT_EQ(dialog.Control(ids::kAllCamerasButton)->palette().color(QPalette::ButtonText),
                  QColor(255, 0, 0));
        EXPECT_TRUE(dialog.Control(ids::kRecordAllButton)->isEnabled());
    });
    EXPECT_TRUE(RunThenExit(dialog, 600));
}

TEST_F(StationLiveView, AllCamerasOffShowNoCameraAndParkTheViewsUnderTheHiddenHolder) {
    LiveDialog dialog(context);
    auto textOf = [&](int id) { return dialog.Control(id)->palette().color(QPalette::ButtonText); };
    const QColor red(255, 0, 0);
    Run(dialog, {[&] {
                     EXPECT_EQ(textOf(ids::kFirstCameraButton), red);
                     EXPECT_EQ(textOf(ids::kAllCamerasButton), red);
                     EXPECT_NE(textOf(ids::kCyclingButton), red);
                     for (int i = 0; i < 4; ++i) {
                         dialog.OnCommand(ids::kFirstCameraButton + i);
                     }
                     EXPECT_NE(textOf(ids::kFirstCameraButton), red);
                     EXPECT_NE(textOf(ids::kAllCamerasButton), red);
                 },
                 [&] {
                     auto* caption = qobject_cast<QLabel*>(dialog.Control(ids::kLargeCaption));
                     EXPECT_EQ(caption->text(), "No Camera");
                     EXPECT_FALSE(dialog.Control(ids::kCyclingButton)->isEnabled());
                     for (auto* view : dialog.views_) {
                         EXPECT_EQ(view->parentWidget(), dialog.Control(ids::kHiddenHolder));
                     }
                     dialog.OnCommand(ids::kAllCamerasButton);
                 },
                 [&] {
                     for (int i = 0; i < 4; ++i) {
                         EXPECT_EQ(dialog.views_[i]->parentWidget(),
                                   dialog.Control(ids::kFirstPicture + i));
                     }
                     EXPECT_TRUE(dialog.Control(ids::kCyclingButton)->isEnabled());
                 }});
}

TEST_F(StationLiveView, EachPictureShowsItsOwnCamera) {
    ASSERT_TRUE(AddRunOverride(registry, "Intervaltime", "150", nullptr));
    LiveDialog dialog(context);
    std::set<int> cycled;
    std::vector<std::function<void()>> steps;
    steps.push_back([] {});  // every camera has had its turn
    steps.push_back([] {});
    steps.push_back([&] {
        const QImage shot = dialog.grab().toImage();
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(CameraIn(shot, AreaOf(dialog, ids::kFirstPicture + i)), i + 1) << i;
        }
        dialog.OnCommand(ids::kFullScreenButton);
    });
    steps.push_back([&] {
        EXPECT_TRUE(dialog.fullScreen());
        const QImage shot = dialog.grab().toImage();
        for (int i = 0; i < 4; ++i) {
            const QRect area = AreaOf(dialog, ids::kFirstPicture + i);
            EXPECT_EQ(area.size(), dialog.size() / 2) << i;
            EXPECT_EQ(CameraIn(shot, area), i + 1) << i;
        }
        QTest::mouseDClick(dialog.views_[0], Qt::LeftButton);  // leaves full screen
    });
    steps.push_back([&] {
        EXPECT_FALSE(dialog.fullScreen());
        EXPECT_EQ(dialog.windowTitle(), "Quorvane ");
        dialog.OnCommand(ids::kCyclingButton);
    });
    for (int i = 0; i < 12; ++i) {
        steps.push_back([&] {
            const int seen = CameraIn(dialog.grab().toImage(), AreaOf(dialog, ids::kLargePicture));
            if (seen) {
                cycled.insert(seen);
            }
        });
    }
    ASSERT_TRUE(AddRunOverride(registry, "EachTime", "400", nullptr));
    Run(dialog, std::move(steps), 700);
    EXPECT_EQ(cycled, (std::set<int>{1, 2, 3, 4}));
}

TEST_F(StationLiveView, AStationThatNeverShowsItsWindowConvertsNothing) {
    context.showWindow = false;
    LiveDialog dialog(context);
    Run(dialog, {[] {}, [] {}, [] {}, [] {}, [] {}}, 500);
    EXPECT_GT(statistics.frames[0].load(), 0u);
    for (auto* view : dialog.views_) {
        EXPECT_EQ(view->conversions(), 0u);
    }
}

TEST_F(StationLiveView, TheButtonsAndTextsGrowAndShrinkWithTheWindow) {
    LiveDialog dialog(context);
    const qreal drawnClock = dialog.Control(ids::kClockCaption)->font().pointSizeF();
    std::vector<std::function<void()>> steps{[&] { dialog.showNormal(); }};
    // The smallest window is narrower than its scaled layout, which stands centred in it.
    const std::pair<QSize, double> sizes[] = {
        {{2048, 1536}, 2.0}, {{800, 560}, 560.0 / 768}, {{1024, 768}, 1.0}};
    for (const auto& [client, scale] : sizes) {
        steps.push_back([&dialog, client] { dialog.resize(client); });
        steps.push_back([&dialog, client, scale, drawnClock] {
            ASSERT_EQ(dialog.size(), client);
            EXPECT_DOUBLE_EQ(dialog.Control(ids::kClockCaption)->font().pointSizeF(),
                             drawnClock * scale);
            QWidget* panel = dialog.findChild<QWidget*>("sidePanel");
            std::vector<QRect> buttons;
            for (auto* button : panel->findChildren<QPushButton*>()) {
                if (button->isVisible()) {
                    buttons.push_back(button->geometry());
                    EXPECT_TRUE(panel->rect().contains(QRect(button->mapTo(panel, QPoint(0, 0)),
                                                             button->size())));
                    const auto* drawn = qobject_cast<ovistra::CColorButton*>(button);
                    ASSERT_NE(drawn, nullptr);
                    EXPECT_GE(button->width(), QFontMetrics(drawn->LabelFont())
                                                   .horizontalAdvance(button->text()))
                        << button->text().toStdString();  // its text fits
                }
            }
            for (size_t a = 0; a < buttons.size(); ++a) {
                for (size_t b = a + 1; b < buttons.size(); ++b) {
                    EXPECT_FALSE(buttons[a].intersects(buttons[b])) << scale;
                }
            }
        });
    }
    Run(dialog, std::move(steps));
}

TEST_F(StationLiveView, FullScreenFromTheStartCoversTheScreenThroughChangesAndEscapeOrF11LeaveIt) {
    context.fullScreenAtStart = true;
    LiveDialog dialog(context);
    auto coversScreen = [&] {
        EXPECT_TRUE(dialog.fullScreen());
        EXPECT_EQ(dialog.geometry(), dialog.screen()->geometry());
        EXPECT_FALSE(dialog.findChild<QWidget*>("sidePanel")->isVisible());
    };
    Run(dialog, {[&] {
                     coversScreen();
                     // The screen changes size under the window (as a new monitor mode does).
                     dialog.setGeometry(0, 0, 640, 480);
                     emit dialog.screen()->geometryChanged(dialog.screen()->geometry());
                 },
                 [&] {
                     coversScreen();
                     EXPECT_EQ(AreaOf(dialog, ids::kFirstPicture + 3).bottomRight(),
                               dialog.rect().bottomRight());
                     QTest::keyClick(&dialog, Qt::Key_Escape);
                 },
                 [&] {
                     EXPECT_FALSE(dialog.fullScreen());
                     EXPECT_TRUE(dialog.isVisible()) << "Escape must not close the station";
                     EXPECT_TRUE(dialog.findChild<QWidget*>("sidePanel")->isVisible());
                     QTest::keyClick(&dialog, Qt::Key_F11);
                 },
                 [&] {
                     coversScreen();
                     QTest::keyClick(&dialog, Qt::Key_F11);
                 },
                 [&] { EXPECT_FALSE(dialog.fullScreen()); }});
}

}  // namespace
