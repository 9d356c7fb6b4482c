# The video view in an offscreen QApplication, fed by a grabber from the test's own threads.
ovistra_add_gtest(video_view_tests QT
    SOURCES video_view_test.cpp
    LIBS ovistra_video_view
)
