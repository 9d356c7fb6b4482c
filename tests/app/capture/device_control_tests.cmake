ovistra_add_gtest(device_control_tests
    SOURCES device_discovery_test.cpp chip_control_test.cpp em2800_prop_test.cpp
            device_control_test.cpp
    LIBS ovistra_device_control)
