ovistra_add_gtest(v4l2_device_tests
    SOURCES v4l2_device_test.cpp chip_property_test.cpp
    LIBS ovistra_v4l2)
