# The filter class on its own, and the element from the build folder in GStreamer pipelines.
ovistra_add_gtest(deinterlace_filter_tests
    SOURCES deinterlace_filter_test.cpp
    LIBS fieldmend_filter)

pkg_check_modules(GST_CHECK REQUIRED IMPORTED_TARGET gstreamer-check-1.0)
ovistra_add_gtest(fieldmend_element_tests
    SOURCES fieldmend_element_test.cpp fieldmend_element_negotiation_test.cpp
    LIBS fieldmend_filter PkgConfig::GST_CHECK)
target_compile_definitions(fieldmend_element_tests PRIVATE
    FIELDMEND_PLUGIN_DIR="$<TARGET_FILE_DIR:gstfieldmend>"
    FIELDMEND_PLUGIN_FILE="$<TARGET_FILE:gstfieldmend>")
add_dependencies(fieldmend_element_tests gstfieldmend)

# The machine's gst-inspect-1.0 cannot load a sanitizer build of the plugin.
if(NOT OVISTRA_SANITIZE)
    add_test(NAME FieldmendPlugin.InspectsFromThePluginPath
             COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/fieldmend_element_inspect.sh
                     $<TARGET_FILE_DIR:gstfieldmend> $<TARGET_FILE:gstfieldmend>)
    add_test(NAME FieldmendPlugin.InstallsIntoTheGStreamerFolderOfThePrefix
             COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/fieldmend_element_install.sh
                     ${CMAKE_BINARY_DIR} ${FIELDMEND_PLUGIN_DIR})
endif()
