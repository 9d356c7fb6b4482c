# Finding the capture device and encoders by name, and the device's I2C control channel.
add_library(ovistra_device_control STATIC
    device_discovery.cpp
    chip_control.cpp
    em2800_prop.cpp
    device_control.cpp
)
target_include_directories(ovistra_device_control PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ovistra_device_control PUBLIC ovistra_media PkgConfig::GST
                      PRIVATE ovistra_warnings)
