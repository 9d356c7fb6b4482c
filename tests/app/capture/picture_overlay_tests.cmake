# What the live pictures show over themselves, painted into images.
ovistra_add_gtest(picture_overlay_tests QT
    SOURCES picture_overlay_test.cpp
    LIBS ovistra_picture_overlay)
