// The main window template: every control the station drives is there, visible, inside the
// window and clear of the others at the design size. The pictures, their strips and captions,
// the large picture and the alarm block stand at fixed places the station moves; the clock and
// buttons keep a layout of their own beside them.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLayout>
#include <QPushButton>
#include <QRect>
#include <QWidget>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "resource_library.h"

namespace ovistra {
namespace {

const std::vector<int> kPictures = {1000, 1001, 1002, 1003};
const std::vector<int> kStrips = {1061, 1062, 1063, 1064};
const std::vector<int> kCaptions = {1027, 1028, 1029, 1030};
const std::vector<int> kAlarms = {1050, 1121, 1123, 1122};  // cameras 1, 2, 3, 4
const std::vector<int> kButtons = {1011, 1012, 1013, 1014, 1015, 1127, 1031, 1016,
                                   1017, 1025, 1116, 1023, 1022, 1049, 1106, 1024};
constexpr int kLargePicture = 1143;
constexpr int kLargeStrip = 1072;
constexpr int kLargeCaption = 1038;
constexpr int kHiddenHelper = 1004;

std::vector<int> AllControls() {
    std::vector<int> ids = {kHiddenHelper, kLargePicture, kLargeStrip, kLargeCaption, 1040, 1073};
    for (const auto* group : {&kPictures, &kStrips, &kCaptions, &kAlarms, &kButtons}) {
        ids.insert(ids.end(), group->begin(), group->end());
    }
    return ids;
}

// The large picture with its strip and caption is shown instead of the four pictures (and the
// alarm block moves out of its way), so the sets share one area; the hidden helper may lie
// anywhere.
bool MayOverlap(int a, int b) {
    const std::set<int> single = {kLargePicture, kLargeStrip, kLargeCaption};
    std::set<int> quad(kPictures.begin(), kPictures.end());
    quad.insert(kStrips.begin(), kStrips.end());
    quad.insert(kCaptions.begin(), kCaptions.end());
    quad.insert(kAlarms.begin(), kAlarms.end());
    if (a == kHiddenHelper || b == kHiddenHelper) {
        return true;
    }
    return (single.count(a) && quad.count(b)) || (quad.count(a) && single.count(b));
}

class MainTemplate : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        library_ = ResourceLibrary::LoadFile(QStringLiteral(UIPACK_LIBRARY), &error);
        ASSERT_TRUE(library_) << error.toStdString();
        form_.reset(library_->LoadTemplate(102, nullptr));
        ASSERT_TRUE(form_);
        form_->show();
    }

    void LayOut() {
        QCoreApplication::sendPostedEvents();
        QWidget* panel = form_->findChild<QWidget*>(QStringLiteral("sidePanel"));
        ASSERT_TRUE(panel && panel->layout());
        panel->layout()->activate();
    }

    QWidget* Control(int id) const { return ResourceLibrary::FindControl(form_.get(), id); }

    QRect Area(int id) const {
        QWidget* control = Control(id);
        return control ? QRect(control->mapTo(form_.get(), QPoint(0, 0)), control->size())
                       : QRect();
    }

    // Presence, identity, visibility, size and placement inside the window, then overlaps.
    void ExpectTidyLayout() {
        const QRect window = form_->rect();
        std::map<int, QWidget*> controls;
        for (int id : AllControls()) {
            QWidget* control = Control(id);
            ASSERT_TRUE(control) << id;
            EXPECT_EQ(control->property("controlId").toInt(), id);
            if (id == kHiddenHelper) {
                continue;
            }
            EXPECT_TRUE(control->isVisible()) << id;
            EXPECT_FALSE(Area(id).isEmpty()) << id;
            EXPECT_TRUE(window.contains(Area(id))) << id;
            controls[id] = control;
        }
        for (auto a = controls.begin(); a != controls.end(); ++a) {
            for (auto b = std::next(a); b != controls.end(); ++b) {
                if (MayOverlap(a->first, b->first) || a->second->isAncestorOf(b->second) ||
                    b->second->isAncestorOf(a->second)) {
                    continue;
                }
                EXPECT_FALSE(Area(a->first).intersects(Area(b->first)))
                    << a->first << " overlaps " << b->first;
            }
        }
    }

    // Strips directly under their pictures, captions under the strips, the same width.
    void ExpectStripsAndCaptionsUnderPictures() {
        for (int camera = 0; camera < 4; ++camera) {
            const QRect picture = Area(kPictures[camera]);
            const QRect strip = Area(kStrips[camera]);
            const QRect caption = Area(kCaptions[camera]);
            EXPECT_EQ(strip, QRect(picture.left(), picture.bottom() + 1, picture.width(), 16))
                << camera + 1;
            EXPECT_EQ(caption.left(), picture.left()) << camera + 1;
            EXPECT_EQ(caption.width(), picture.width()) << camera + 1;
            EXPECT_GE(caption.top(), strip.bottom() + 1) << camera + 1;
            EXPECT_LE(caption.top(), strip.bottom() + 10) << camera + 1;
        }
        const QRect large = Area(kLargePicture);
        EXPECT_EQ(Area(kLargeStrip), QRect(large.left(), large.bottom() + 1, large.width(), 16));
        EXPECT_EQ(Area(kLargeCaption).left(), large.left());
        EXPECT_GE(Area(kLargeCaption).top(), large.bottom() + 1);
    }

    std::unique_ptr<ResourceLibrary> library_;
    std::unique_ptr<QWidget> form_;
};

TEST_F(MainTemplate, DesignSizeIsTheStationsScreen) {
    EXPECT_EQ(form_->size(), QSize(1024, 768));
    EXPECT_TRUE(form_->isWindow());
}

TEST_F(MainTemplate, EveryControlIsInPlaceAt1024x768) {
    LayOut();
    ExpectTidyLayout();
    ExpectStripsAndCaptionsUnderPictures();
}

TEST_F(MainTemplate, FourPicturesFormAGridWithRoomForFullSizeVideo) {
    LayOut();
    const QRect one = Area(1000), two = Area(1001), three = Area(1002), four = Area(1003);
    for (const QRect& picture : {one, two, three, four}) {
        EXPECT_EQ(picture.size(), QSize(320, 240));
    }
    EXPECT_EQ(two.top(), one.top());
    EXPECT_GT(two.left(), one.right());
    EXPECT_EQ(three.left(), one.left());
    EXPECT_GT(three.top(), Area(1027).bottom());
    EXPECT_EQ(four.topLeft(), QPoint(two.left(), three.top()));

    // The large picture takes the place of the four, at 4:3.
    const QRect large = Area(kLargePicture);
    EXPECT_EQ(large.topLeft(), one.topLeft());
    EXPECT_EQ(large.width() * 3, large.height() * 4);
    EXPECT_GE(large.width(), 2 * one.width());
}

TEST_F(MainTemplate, ClockAndButtonsStandRightOfThePicturesAndAlarmsBetween) {
    LayOut();
    const int picturesRight = Area(1001).right();
    for (int id : kButtons) {
        EXPECT_GT(Area(id).left(), picturesRight) << id;
        EXPECT_FALSE(qobject_cast<QPushButton*>(Control(id))->text().isEmpty()) << id;
    }
    for (int id : kAlarms) {
        EXPECT_GT(Area(id).left(), Area(1000).right()) << id;
        EXPECT_LT(Area(id).right(), Area(1001).left()) << id;
        EXPECT_EQ(Area(id).size(), QSize(20, 20)) << id;
    }
    EXPECT_GT(Area(1040).left(), picturesRight);
    EXPECT_LT(Area(1040).top(), Area(1011).top()) << "the clock heads the column";

    // Camera 1 top left, 2 top right, 3 bottom left, 4 bottom right.
    const QRect a1 = Area(1050), a2 = Area(1121), a3 = Area(1123), a4 = Area(1122);
    EXPECT_EQ(a2.top(), a1.top());
    EXPECT_GT(a2.left(), a1.right());
    EXPECT_EQ(a3.left(), a1.left());
    EXPECT_GT(a3.top(), a1.bottom());
    EXPECT_EQ(a4.topLeft(), QPoint(a2.left(), a3.top()));
    EXPECT_LE(a4.bottom() - a1.top(), 60) << "the indicators form one small block";
}

TEST_F(MainTemplate, HelperAreaStartsHidden) {
    LayOut();
    QWidget* helper = Control(kHiddenHelper);
    ASSERT_TRUE(helper);
    EXPECT_FALSE(helper->isVisible());
    EXPECT_FALSE(helper->size().isEmpty()) << "video windows are sized to its client area";
}

}  // namespace
}  // namespace ovistra
