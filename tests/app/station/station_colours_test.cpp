// The colour scheme in the main window: the colour dialog opened by its command, the window's
// buttons painted in the scheme with their state in the label, and the window and every
// owner-drawn button taking up, live, the scheme the dialog set.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

#include "c_color_button.h"
#include "c_set_color.h"
#include "custom_settings.h"
#include "dialog_controls.h"
#include "folders.h"
#include "station_fixture.h"

namespace {

using namespace ovistra;

class ColoursDialog : public CQuorvaneDlg {
public:
    using CQuorvaneDlg::CQuorvaneDlg;
    ~ColoursDialog() override { CloseMailbox(); }
    using CQuorvaneDlg::colourDlg_;

protected:
    int StartCapture() override { return 0; }
};

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

class StationColours : public ovistra::testing::StationFixture {
protected:
    void SetUp() override {
        StationFixture::SetUp();
        QDir().mkpath(context.programFolder);
        settingsFile = platform::SettingsFilePath(context.programFolder);
    }
    void TearDown() override { CurrentColourScheme() = ColourScheme{}; }

    // Runs the window, does `steps` one after the other as its loop turns, then exits.
    static void Run(ColoursDialog& dialog, std::vector<std::function<void()>> steps) {
        int at = 100;
        for (auto& step : steps) {
            AfterLoopStarts(dialog, at, std::move(step));
            at += 100;
        }
        EXPECT_TRUE(RunThenExit(dialog, at));
    }
    static QColor Background(const QWidget& window) {
        return window.palette().color(QPalette::Window);
    }

    QString settingsFile;
};

int CountPixels(const QImage& image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

TEST_F(StationColours, ButtonsWearTheSchemesFaceWithTheirStateInTheLabel) {
    const QColor active(255, 0, 0);
    const ColourScheme light{245, 245, 235, 20, 40, 120};
    for (const ColourScheme& scheme : {ColourScheme{}, light}) {
        const CustomSettings file(settingsFile);
        ASSERT_TRUE(file.CreateFile() && file.SaveColourScheme(scheme));
        const QColor face(scheme.backgroundRed, scheme.backgroundGreen, scheme.backgroundBlue);
        const QColor text(scheme.textRed, scheme.textGreen, scheme.textBlue);
        ColoursDialog dialog(context);
        QImage on, off;  // a camera that is on, the cycling view that is off
        Run(dialog, {[&] {
                auto grab = [&](int id) {
                    return dialog.Control(id)->grab().toImage().convertToFormat(
                        QImage::Format_RGB32);
                };
                on = grab(ids::kFirstCameraButton);
                off = grab(ids::kCyclingButton);
            }});
        const struct {
            const QImage& image;
            QColor label, absent;
        } buttons[] = {{on, active, text}, {off, text, active}};
        for (const auto& b : buttons) {
            ASSERT_FALSE(b.image.isNull());
            EXPECT_EQ(b.image.pixelColor(4, b.image.height() / 2), face)
                << text.name().toStdString();
            EXPECT_GT(CountPixels(b.image, b.label), 10) << b.label.name().toStdString();
            EXPECT_EQ(CountPixels(b.image, b.absent), 0) << b.absent.name().toStdString();
        }
    }
}

TEST_F(StationColours, TheWindowTakesTheSchemeTheDialogSetEvenWhenItsWriteFailed) {
    // A file where the settings folder should be: the colours can be set, not stored.
    QFile blocker(QFileInfo(settingsFile).path());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ColoursDialog dialog(context);
    QColor atStart, afterConfirm;
    Run(dialog, {[&] {
                     atStart = Background(dialog);
                     dialog.OnCommand(ids::kColourCommand);
                 },
                 [&] {
                     ASSERT_TRUE(dialog.colourDlg_ && dialog.colourDlg_->isVisible());
                     const int edits[] = {1006, 1007, 1008, 1009, 1010, 1055};
                     const int values[] = {1, 2, 3, 250, 251, 252};
                     for (int i = 0; i < 6; ++i) {
                         auto* edit =
                             qobject_cast<QLineEdit*>(dialog.colourDlg_->Control(edits[i]));
                         ASSERT_TRUE(edit) << edits[i];
                         edit->setText(QString::number(values[i]));
                     }
                     ovistra::testing::ClickControl(*dialog.colourDlg_, CSetColor::kConfirmButton);
                 },
                 [&] { afterConfirm = Background(dialog); }});
    EXPECT_EQ(atStart, QColor(30, 124, 255));
    EXPECT_EQ(afterConfirm, QColor(1, 2, 3));
    ASSERT_EQ(platform::MessageBoxes::Instance().History().size(), 1u);
    EXPECT_EQ(platform::MessageBoxes::Instance().History()[0].textId, ids::kTextColoursNotSaved);
}

TEST_F(StationColours, AColourChangeRepaintsTheColourButtonsOfOtherWindows) {
    ColoursDialog dialog(context);
    CColorButton elsewhere(QStringLiteral("Play"));
    elsewhere.show();
    PaintCounter counter;
    elsewhere.installEventFilter(&counter);
    int paintsBefore = -1, paintsAfter = -1;
    Run(dialog, {[&] { counter.paints = 0; },
                 [&] {
                     paintsBefore = counter.paints;
                     dialog.PostMessage(ids::kColoursReset, 0, 0);
                 },
                 [&] { paintsAfter = counter.paints; }});
    EXPECT_EQ(paintsBefore, 0);
    EXPECT_GT(paintsAfter, 0);
}

}  // namespace
