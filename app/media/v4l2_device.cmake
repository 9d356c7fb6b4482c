# Real capture cards through V4L2.
add_library(ovistra_v4l2 STATIC v4l2_device.cpp)
target_link_libraries(ovistra_v4l2 PUBLIC ovistra_media PkgConfig::GST PRIVATE ovistra_warnings)
