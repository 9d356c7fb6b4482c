// The owner-drawn button painted offscreen: its face and label in the scheme's colours, the
// orange frame while hovered, the label's shift while pressed and its yellow while disabled,
// keyboard focus and a disabled label on a light face, a label that follows the button's size.
#include "c_color_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QTest>
#include <cstdlib>

#include "colour_scheme.h"

namespace ovistra {
namespace {

QImage Grab(CColorButton& button) {
    return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int Count(const QImage& image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

class ColorButton : public ::testing::Test {
protected:
    void SetUp() override {
        CurrentColourScheme() = ColourScheme{};
        button.resize(120, 30);
    }
    void TearDown() override { CurrentColourScheme() = ColourScheme{}; }
    CColorButton button{QStringLiteral("Open")};
};

TEST_F(ColorButton, FaceAndLabelFollowTheSchemeAtEachPaint) {
    const QColor face(30, 124, 255), label(0, 255, 100);
    QImage image = Grab(button);
    EXPECT_EQ(image.pixelColor(5, 15), face);
    EXPECT_GT(Count(image, label), 10);
    EXPECT_EQ(image.pixelColor(60, 0), QColor(Qt::black));  // the frame's top edge

    CurrentColourScheme().backgroundRed = 200;
    CurrentColourScheme().textBlue = 0;
    image = Grab(button);
    EXPECT_EQ(image.pixelColor(5, 15), QColor(200, 124, 255));
    EXPECT_EQ(Count(image, label), 0);
    EXPECT_GT(Count(image, QColor(0, 255, 0)), 10);
}

TEST_F(ColorButton, HoverDrawsTheOrangeFrameUntilTheMouseLeaves) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    QImage image = Grab(button);
    const struct {
        QPoint at;
        QColor colour;
    } edges[] = {{{3, 15}, {250, 196, 88}},
                 {{116, 15}, {251, 202, 106}},
                 {{60, 2}, {252, 210, 121}},
                 {{60, 27}, {229, 151, 0}}};
    for (const auto& e : edges) {
        EXPECT_EQ(image.pixelColor(e.at), e.colour) << e.at.x() << "," << e.at.y();
    }
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    image = Grab(button);
    for (const auto& e : edges) {
        EXPECT_EQ(image.pixelColor(e.at), QColor(30, 124, 255)) << e.at.x() << "," << e.at.y();
    }
}

TEST_F(ColorButton, PressingShiftsTheLabelAndDisablingTurnsItYellow) {
    const QImage normal = Grab(button);
    button.setDown(true);
    const QImage pressed = Grab(button);
    const QRect inner(3, 3, 110, 20);
    EXPECT_EQ(pressed.copy(inner.translated(1, 1)), normal.copy(inner));
    EXPECT_NE(pressed, normal);

    button.setDown(false);
    button.setEnabled(false);
    const QImage disabled = Grab(button);
    EXPECT_GT(Count(disabled, QColor(250, 255, 0)), 10);
    EXPECT_EQ(Count(disabled, QColor(0, 255, 100)), 0);
}

TEST_F(ColorButton, OwnColoursOutlastSchemeChanges) {
    const QColor face(0, 200, 255);
    button.SetOwnColours(Qt::black, face);
    CurrentColourScheme().backgroundRed = 200;
    const QImage image = Grab(button);
    EXPECT_EQ(image.pixelColor(5, 15), face);
    EXPECT_GT(Count(image.copy(QRect(3, 3, 114, 24)), Qt::black), 10);  // the label
    EXPECT_EQ(Count(image, QColor(0, 255, 100)), 0);
}

bool Near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue()) <=
           60;
}

// The rows and columns that hold pixels of about `colour` (a small label is all edges).
QRect Extent(const QImage& image, const QColor& colour) {
    QRect extent;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (Near(image.pixelColor(x, y), colour)) {
                extent |= QRect(x, y, 1, 1);
            }
        }
    }
    return extent;
}

TEST_F(ColorButton, FocusAndDisabledStayVisibleOnALightFace) {
    CurrentColourScheme() = {245, 245, 235, 20, 40, 120};
    const QColor label(20, 40, 120);
    button.show();
    QApplication::setActiveWindow(&button);
    const int labelPixels = Count(Grab(button), label);
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Tab);  // focus shown once the keyboard has moved it
    ASSERT_TRUE(button.hasFocus());
    const QImage focused = Grab(button);
    EXPECT_GT(Count(focused, label), labelPixels + 40) << "a dotted frame around the label";
    EXPECT_EQ(focused.pixelColor(5, 15), QColor(245, 245, 235));

    button.setEnabled(false);
    const QImage disabled = Grab(button);
    EXPECT_EQ(Count(disabled, QColor(250, 255, 0)), 0) << "yellow would vanish on this face";
    EXPECT_GT(Count(disabled, QColor(120, 100, 0)), 10);
}

TEST_F(ColorButton, ALabelCloseToTheFaceInBrightnessGetsAShadow) {
    const QRect inner(4, 4, 112, 22);  // inside the black frame
    const struct {
        ColourScheme scheme;
        bool shadowed;
    } cases[] = {{{30, 124, 255, 255, 0, 0}, true},     // red on the default blue
                 {{255, 255, 255, 255, 0, 0}, false},   // red on white
                 {{0, 0, 128, 255, 255, 255}, false}};  // white on navy
    for (const auto& c : cases) {
        CurrentColourScheme() = c.scheme;
        const QImage image = Grab(button).copy(inner);
        const QColor text(c.scheme.textRed, c.scheme.textGreen, c.scheme.textBlue);
        EXPECT_GT(Count(image, text), 10);
        int dark = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                dark += Near(image.pixelColor(x, y), Qt::black) ? 1 : 0;
            }
        }
        EXPECT_EQ(dark > 10, c.shadowed) << text.name().toStdString();
    }
}

TEST_F(ColorButton, TheLabelGrowsWithTheButtonAndNeverOverflowsIt) {
    const QColor label(0, 255, 100);
    button.resize(200, button.sizeHint().height());
    const QRect natural = Extent(Grab(button), label);
    button.resize(200, 2 * button.sizeHint().height());
    const QRect doubled = Extent(Grab(button), label);
    EXPECT_GE(doubled.height() * 10, natural.height() * 17) << natural.height();

    button.setText(QStringLiteral("Picture browser"));
    button.resize(80, 30);
    const QRect squeezed = Extent(Grab(button), label);
    ASSERT_FALSE(squeezed.isEmpty());
    EXPECT_GE(squeezed.left(), 2);
    EXPECT_LE(squeezed.right(), 77);
}

}  // namespace
}  // namespace ovistra
