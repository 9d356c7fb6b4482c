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

// The rows and columns holding pixels of about `colour` (a small label is all edges).
QRect Extent(const QImage& image, const QColor& colour) {
    QRect extent;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <=
                60) {
                extent |= QRect(x, y, 1, 1);
            }
        }
    }
    return extent;
}

TEST_F(ColorButton, FocusDisabledAndFaintLabelsStayVisible) {
    CurrentColourScheme() = {245, 245, 235, 20, 40, 120};
    button.show();
    QApplication::setActiveWindow(&button);
    const int labelPixels = Count(Grab(button), QColor(20, 40, 120));
    QTest::keyClick(&button, Qt::Key_Tab);  // focus is shown once the keyboard moved it
    ASSERT_TRUE(button.hasFocus());
    EXPECT_GT(Count(Grab(button), QColor(20, 40, 120)), labelPixels + 40) << "a dotted frame";
    button.setEnabled(false);
    const QImage disabled = Grab(button);
    EXPECT_EQ(Count(disabled, QColor(250, 255, 0)), 0) << "yellow would vanish on this face";
    EXPECT_GT(Count(disabled, QColor(120, 100, 0)), 10);

    // A label as bright as its face gets a dark shadow; others none.
    button.setEnabled(true);
    const struct {
        ColourScheme scheme;
        bool shadowed;
    } cases[] = {{{30, 124, 255, 255, 0, 0}, true},     // red on the default blue
                 {{255, 255, 255, 255, 0, 0}, false},   // red on white
                 {{0, 0, 128, 255, 255, 255}, false}};  // white on navy
    for (const auto& c : cases) {
        CurrentColourScheme() = c.scheme;
        const QImage inner = Grab(button).copy(4, 4, 112, 22);  // inside the black frame
        EXPECT_EQ(!Extent(inner, Qt::black).isEmpty(), c.shadowed) << c.scheme.textBlue;
    }
}

TEST_F(ColorButton, TheLabelGrowsWithTheButtonAndIsNarrowedToItsWidth) {
    const QColor label(0, 255, 100);
    button.resize(200, button.sizeHint().height());
    const QRect natural = Extent(Grab(button), label);
    button.resize(200, 2 * button.sizeHint().height());
    EXPECT_GE(Extent(Grab(button), label).height() * 10, natural.height() * 17);

    button.setText(QStringLiteral("Picture browser"));
    button.resize(80, 30);
    const QRect squeezed = Extent(Grab(button), label);
    EXPECT_TRUE(!squeezed.isEmpty() && squeezed.left() >= 2 && squeezed.right() <= 77);
}

}  // namespace
}  // namespace ovistra
