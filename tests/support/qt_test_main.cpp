// GoogleTest entry for suites that need Qt: one QApplication on the offscreen platform, so no
// test needs a display, with one screen of the station's size (1024x768).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" OFFSCREEN_SCREEN_CONFIG);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
