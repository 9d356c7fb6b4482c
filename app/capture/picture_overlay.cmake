# What the live pictures show over themselves (alarm border, recording badge, full-screen
# caption and clock, lock banner): the live view's own painting, which needs Qt's painter.
add_library(ovistra_picture_overlay STATIC picture_overlay.cpp)
target_include_directories(ovistra_picture_overlay PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ovistra_picture_overlay PUBLIC Qt6::Gui PRIVATE ovistra_warnings)
