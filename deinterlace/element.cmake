# The filter class over its media types, and the GStreamer plugin that drives it.
set(FIELDMEND_PLUGIN_DIR "${CMAKE_INSTALL_LIBDIR}/gstreamer-1.0" CACHE STRING
    "Where cmake --install puts the Fieldmend GStreamer plugin (relative to the prefix, or absolute)")

# The class and the caps negotiation, linked into the plugin and into the tests.
add_library(fieldmend_filter STATIC
    media_types.cpp
    transform_filter.cpp
    deinterlace_filter.cpp
    fieldmend_caps.cpp)
target_include_directories(fieldmend_filter PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(fieldmend_filter PUBLIC fieldmend_kernels PkgConfig::GST
                      PRIVATE ovistra_warnings)
set_target_properties(fieldmend_filter PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)

# GStreamer names the plugin after its file: libgstfieldmend.so holds plugin "fieldmend".
add_library(gstfieldmend MODULE gstfieldmend.cpp plugin.cpp)
target_link_libraries(gstfieldmend PRIVATE fieldmend_filter PkgConfig::GST ovistra_warnings)
target_compile_definitions(gstfieldmend PRIVATE
    PACKAGE="ovistra" FIELDMEND_VERSION="${PROJECT_VERSION}")
set_target_properties(gstfieldmend PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${OVISTRA_OUTPUT_DIR}/gstreamer-1.0
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/plugin.map)
target_link_options(gstfieldmend PRIVATE
    -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/plugin.map
    -Wl,--no-undefined)

install(TARGETS gstfieldmend LIBRARY DESTINATION ${FIELDMEND_PLUGIN_DIR} COMPONENT fieldmend)
