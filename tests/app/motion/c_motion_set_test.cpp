// The motion settings dialog on the offscreen platform, built from the real resource library.
#include "c_motion_set.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <map>
#include <memory>
#include <vector>

#include "dialog_controls.h"
#include "posted_messages.h"
#include "resource_library.h"
#include "tick_preview.h"
#include "window_ids.h"
#include "zone_editor.h"

namespace ovistra {
namespace {

using MainWindowStandIn = testing::PostedMessages;

const std::vector<uint32_t> kConfirmed{ids::kMotionSetConfirmed};
const std::vector<uint32_t> kCancelled{ids::kMotionSetCancelled};

MotionValues Values(uint32_t cameraMask, uint32_t senseMode, uint32_t actions) {
    MotionValues values;
    values.cameraMask = cameraMask;
    values.senseMode = senseMode;
    values.actions = actions;
    return values;
}

class CMotionSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources) << error.toStdString();
        dialog = std::make_unique<CMotionSet>(*resources, main.Handle());
    }
    // As the main window does: values first, then show; it closes the dialog on the answer.
    void Open(const MotionValues& values) {
        dialog->hide();
        main.messages.clear();
        dialog->SetValues(values);
        dialog->show();
    }
    void Click(int id) { testing::ClickControl(*dialog, id); }
    bool Checked(int id) { return testing::IsChecked(*dialog, id); }

    std::unique_ptr<ResourceLibrary> resources;
    MainWindowStandIn main;
    std::unique_ptr<CMotionSet> dialog;
};

TEST_F(CMotionSetTest, SensitivityShowsTheStoredThresholdAndConfirmKeepsAKnownOne) {
    // 0 is "Auto": the threshold follows each camera's noise.
    const struct {
        uint32_t stored;
        int radio;
        uint32_t confirmed;
    } cases[] = {{240, 1118, 240}, {200, 1119, 200}, {50, 1120, 50},
                 {100, 1119, 200}, {0, 1400, 0},     {0xFFFFFFFFu, 1119, 200}};
    for (const auto& c : cases) {
        Open(Values(0, c.stored, 0));
        for (int radio : {1118, 1119, 1120, 1400}) {
            EXPECT_EQ(Checked(radio), radio == c.radio) << c.stored << " " << radio;
        }
        Click(CMotionSet::kConfirmButton);
        EXPECT_EQ(dialog->values().senseMode, c.confirmed) << c.stored;
    }
}

TEST_F(CMotionSetTest, BoxesShowTheLowBitsAndConfirmStoresOnlyWhatIsTicked) {
    const int boxes[] = {1048, 1057, 1058, 1059, 1087, 1117};  // cameras 1..4, record, sound
    const struct {
        uint32_t mask, actions;
        uint32_t shown;  // bit k: boxes[k] ticked
        std::vector<int> clicks;
        uint32_t confirmedMask, confirmedActions;
    } cases[] = {{0x1A, 7, 0x3A, {}, 0xA, 3},
                 {0xF, 2, 0x2F, {1048, 1057, 1058, 1059, 1087}, 0, 3},
                 {0, 1, 0x10, {1058, 1087}, 0x4, 0},
                 {0xFFFFFFF0u, 0xFC, 0, {1048, 1059, 1117}, 0x9, 2}};
    for (const auto& c : cases) {
        Open(Values(c.mask, 200, c.actions));
        for (int k = 0; k < 6; ++k) {
            EXPECT_EQ(Checked(boxes[k]), ((c.shown >> k) & 1u) != 0) << c.mask << " " << boxes[k];
        }
        for (int id : c.clicks) {
            Click(id);
        }
        Click(CMotionSet::kConfirmButton);
        EXPECT_EQ(dialog->values().cameraMask, c.confirmedMask) << c.mask;
        EXPECT_EQ(dialog->values().actions, c.confirmedActions) << c.mask;
        EXPECT_EQ(main.messages, kConfirmed) << c.mask;
    }
}

TEST_F(CMotionSetTest, CancelEscapeAndCloseAnswerOnceAndKeepTheValues) {
    enum Way { kButton, kEscape, kClose };
    for (Way way : {kButton, kEscape, kClose}) {
        Open(Values(0x5, 240, 2));
        Click(1048);
        Click(1120);
        Click(1087);
        if (way == kButton) {
            Click(CMotionSet::kCancelButton);
        } else if (way == kEscape) {
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        } else {
            dialog->close();
        }
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(main.messages, kCancelled) << way;
        Click(CMotionSet::kCancelButton);  // a second answer to the same opening is ignored
        Click(CMotionSet::kConfirmButton);
        EXPECT_EQ(main.messages, kCancelled) << way;
        const MotionValues& kept = dialog->values();
        EXPECT_TRUE(kept.cameraMask == 0x5 && kept.senseMode == 240 && kept.actions == 2) << way;
    }
}

TEST_F(CMotionSetTest, EnterConfirmsOnceAndAReopeningShowsTheConfirmedValues) {
    Open(Values(0x1, 200, 0));
    Click(1058);
    Click(1118);
    Click(1117);
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    static_cast<QDialog&>(*dialog).accept();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(main.messages, kConfirmed);
    EXPECT_TRUE(dialog->isVisible());  // closing is the main window's part

    // The main window keeps the dialog and shows it again with its own copy untouched.
    const MotionValues confirmed = dialog->values();
    Open(confirmed);
    EXPECT_TRUE(Checked(1048) && Checked(1058) && !Checked(1057) && !Checked(1059));
    EXPECT_TRUE(Checked(1118) && Checked(1117) && !Checked(1087));
    Click(CMotionSet::kConfirmButton);
    EXPECT_EQ(main.messages, kConfirmed);
    EXPECT_EQ(dialog->values().cameraMask, 0x5u);
}

TEST_F(CMotionSetTest, OpensAtTheTopRightOfTheScreenWithItsSizeKept) {
    Open({});
    const QRect area = dialog->screen()->availableGeometry();
    EXPECT_EQ(dialog->frameGeometry().right(), area.right());
    EXPECT_EQ(dialog->frameGeometry().top(), area.top());
    dialog->resize(dialog->width() + 40, dialog->height() + 30);
    const QSize size = dialog->size();
    Open({});
    EXPECT_EQ(dialog->size(), size);
    EXPECT_EQ(dialog->frameGeometry().right(), area.right());
}

// --- the alarm rules, the zone editor and the last checks

class CMotionSetZonesTest : public CMotionSetTest {
protected:
    void SetUp() override {
        CMotionSetTest::SetUp();
        editor = qobject_cast<CZoneEditor*>(dialog->Control(CMotionSet::kZoneEditor));
        ASSERT_TRUE(editor);
        // Half the picture's size: every even picture point has a whole widget point.
        editor->setFixedSize(320, 240);
        auto* pages = dialog->findChild<QTabWidget*>();
        ASSERT_TRUE(pages);
        pages->setCurrentWidget(editor->parentWidget());
    }
    void ChooseCamera(int camera) {
        qobject_cast<QComboBox*>(dialog->Control(CMotionSet::kZoneCamera))
            ->setCurrentIndex(camera - 1);
    }
    QPoint At(int x, int y) { return editor->ToWidget(QPoint(x, y)).toPoint(); }
    void Drag(QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(editor, button, {}, At(from.x(), from.y()));
        QTest::mouseMove(editor, At((from.x() + to.x()) / 2, (from.y() + to.y()) / 2));
        QTest::mouseMove(editor, At(to.x(), to.y()));
        QTest::mouseRelease(editor, button, {}, At(to.x(), to.y()));
    }
    std::string Zones(int camera) { return dialog->values().motionZones[camera - 1].toStdString(); }

    CZoneEditor* editor = nullptr;
};

TEST_F(CMotionSetZonesTest, ZonesDrawnMovedAndResizedWithTheMouseAreStoredPerCamera) {
    MotionValues values = Values(0x3, 200, 1);
    values.motionZones = {"", "", "garbage;10,10,-5,5;600,0,100,100", ""};
    Open(values);
    ChooseCamera(2);
    Drag({40, 40}, {200, 160});    // drawn from its top left
    Drag({600, 460}, {400, 300});  // and from its bottom right
    Drag({300, 20}, {302, 22});    // a slip of the hand draws nothing
    Drag({100, 100}, {120, 90});   // moved inside
    Drag({600, 460}, {700, 520});  // a corner dragged off the picture stops at its edge
    Drag({80, 50}, {-10, -10});    // moved against the corner: the size stays
    Click(CMotionSet::kConfirmButton);
    EXPECT_EQ(main.messages, kConfirmed);
    EXPECT_EQ(Zones(1), "");
    EXPECT_EQ(Zones(2), "0,0,160,120;400,300,240,180");
    EXPECT_EQ(Zones(3), "600,0,40,100");  // kept clipped, the unreadable ones dropped
    EXPECT_EQ(Zones(4), "");

    // Reopened: the same zones; a right click deletes one, and Cancel forgets that.
    Open(dialog->values());
    ASSERT_EQ(editor->zones().size(), 2u);
    EXPECT_EQ(editor->zones()[1], QRect(400, 300, 240, 180));
    QTest::mouseClick(editor, Qt::RightButton, {}, At(500, 400));
    EXPECT_EQ(editor->zones().size(), 1u);
    Click(CMotionSet::kCancelButton);
    EXPECT_EQ(Zones(2), "0,0,160,120;400,300,240,180");

    // Four zones at most; the Delete button removes the selected one; camera 1 keeps its own.
    Open(dialog->values());
    Drag({200, 200}, {260, 260});
    Drag({20, 300}, {60, 340});
    Drag({300, 20}, {340, 60});  // a fifth is not drawn
    EXPECT_EQ(editor->zones().size(), 4u);
    QTest::mouseClick(editor, Qt::LeftButton, {}, At(80, 60));
    EXPECT_EQ(editor->selected(), 0);
    Click(CMotionSet::kDeleteZone);
    ChooseCamera(1);
    Drag({10, 10}, {50, 50});
    ChooseCamera(2);
    EXPECT_EQ(editor->zones().size(), 3u);
    Click(CMotionSet::kConfirmButton);
    EXPECT_EQ(Zones(1), "10,10,40,40");
    EXPECT_EQ(Zones(2), "400,300,240,180;200,200,60,60;20,300,40,40");

    Open(dialog->values());
    Click(CMotionSet::kClearZones);
    Click(CMotionSet::kConfirmButton);
    EXPECT_EQ(Zones(2), "");
    EXPECT_EQ(Zones(1), "10,10,40,40");
}

TEST_F(CMotionSetZonesTest, AlarmRulesShowTheStoredValuesWithinTheirRangesAndConfirmReadsThem) {
    const struct {
        uint32_t preAlarm, minTicks;
        bool lightReject;
        uint32_t shownPreAlarm, shownMinTicks;
    } cases[] = {{3, 1, true, 3, 1},
                 {0, 20, false, 0, 20},
                 {99, 0, true, 30, 1},
                 {0xFFFFFFFFu, 21, false, 30, 20}};
    for (const auto& c : cases) {
        MotionValues values;
        values.preAlarmSeconds = c.preAlarm;
        values.alarmMinTicks = c.minTicks;
        values.lightChangeReject = c.lightReject;
        Open(values);
        auto* preAlarm = qobject_cast<QSpinBox*>(dialog->Control(CMotionSet::kPreAlarmSeconds));
        auto* minTicks = qobject_cast<QSpinBox*>(dialog->Control(CMotionSet::kAlarmMinTicks));
        ASSERT_TRUE(preAlarm && minTicks);
        EXPECT_EQ(preAlarm->value(), static_cast<int>(c.shownPreAlarm)) << c.preAlarm;
        EXPECT_EQ(minTicks->value(), static_cast<int>(c.shownMinTicks)) << c.minTicks;
        EXPECT_EQ(Checked(CMotionSet::kLightChangeReject), c.lightReject);
        preAlarm->setValue(preAlarm->value() == 30 ? 7 : 30);
        Click(CMotionSet::kLightChangeReject);
        Click(CMotionSet::kConfirmButton);
        EXPECT_EQ(dialog->values().preAlarmSeconds, c.shownPreAlarm == 30 ? 7u : 30u);
        EXPECT_EQ(dialog->values().alarmMinTicks, c.shownMinTicks);
        EXPECT_EQ(dialog->values().lightChangeReject, !c.lightReject);
    }
}

TickPicture Tick(bool motion, bool lightChange, int threshold,
                 std::vector<std::pair<int, int>> changed) {
    TickPicture tick;
    tick.valid = true;
    tick.motion = motion;
    tick.lightChange = lightChange;
    tick.threshold = threshold;
    tick.grey.resize(TickPicture::kWidth * TickPicture::kHeight);
    for (size_t i = 0; i < tick.grey.size(); ++i) {
        tick.grey[i] = static_cast<uint8_t>(i * 7);
    }
    tick.changed.assign(tick.grey.size(), 0);
    for (auto [x, y] : changed) {
        tick.changed[y * TickPicture::kWidth + x] = 1;
    }
    return tick;
}

TEST(TickImage, ChangedPixelsAreRedAndTheRestKeepTheirGrey) {
    const TickPicture tick = Tick(true, false, 30, {{0, 0}, {159, 119}, {80, 60}});
    const QImage image = TickImage(tick);
    ASSERT_EQ(image.size(), QSize(160, 120));
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            const size_t i = size_t(y) * 160 + x;
            const uint8_t grey = tick.grey[i];
            const QRgb want = tick.changed[i] ? qRgb(255, 0, 0) : qRgb(grey, grey, grey);
            ASSERT_EQ(image.pixel(x, y), want) << x << "," << y;
        }
    }
    TickPicture notYet = tick;
    notYet.valid = false;
    TickPicture cut = tick;
    cut.changed.resize(100);
    EXPECT_TRUE(TickImage(notYet).isNull());
    EXPECT_TRUE(TickImage(cut).isNull());
}

TEST_F(CMotionSetZonesTest, LastChecksAndTheLivePictureComeFromTheWindowsSources) {
    const std::map<int, TickPicture> ticks{{1, Tick(true, false, 42, {{10, 20}})},
                                           {2, Tick(false, true, 17, {{5, 5}, {6, 5}})},
                                           {4, Tick(false, false, 9, {})}};
    dialog->SetTickSource([&](int camera) {
        const auto found = ticks.find(camera);
        return found == ticks.end() ? TickPicture{} : found->second;
    });
    dialog->SetPictureSource([](int camera) {
        QImage picture(320, 240, QImage::Format_RGB32);
        picture.fill(camera == 3 ? Qt::green : Qt::blue);
        return picture;
    });
    Open(Values(0x7, 0, 1));  // camera 4 has a tick but is not watched
    Click(1059);              // ... until its box is ticked, no OK needed
    Click(1058);
    dialog->RefreshLive();
    auto preview = [&](int camera) {
        return qobject_cast<CTickPreview*>(dialog->Control(CMotionSet::kTickPreviews[camera - 1]));
    };
    EXPECT_EQ(preview(1)->caption(), "Camera 1: motion (level 42)");
    EXPECT_EQ(preview(1)->image().pixel(10, 20), qRgb(255, 0, 0));
    EXPECT_EQ(preview(2)->caption(), "Camera 2: light change (level 17)");
    EXPECT_EQ(preview(3)->caption(), "Camera 3: not watched");
    EXPECT_TRUE(preview(3)->image().isNull());
    EXPECT_EQ(preview(4)->caption(), "Camera 4: quiet (level 9)");

    ChooseCamera(3);
    const QImage shown = editor->grab().toImage();
    EXPECT_EQ(shown.pixel(160, 100), qRgb(0, 255, 0));
}

}  // namespace
}  // namespace ovistra
