# The video view: the media layer's one Qt piece, showing a grabber's frames in a widget.
add_library(ovistra_video_view STATIC video_view.cpp)
set_target_properties(ovistra_video_view PROPERTIES AUTOMOC ON)
target_include_directories(ovistra_video_view PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ovistra_video_view PUBLIC ovistra_media ovistra_common Qt6::Widgets
                                         PRIVATE ovistra_warnings)
