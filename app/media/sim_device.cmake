# The simulated USB 2820-family capture device: synthetic scenes or video files as its four
# inputs, the decoder's registers, the amplifier, and the "ovistrasimsrc" source element.
add_library(ovistra_sim_device STATIC
    sim_device.cpp
    sim_scene.cpp
    sim_file_input.cpp
    sim_source_element.cpp
)
target_link_libraries(ovistra_sim_device PUBLIC ovistra_media PkgConfig::GST
                                         PRIVATE ovistra_warnings)
