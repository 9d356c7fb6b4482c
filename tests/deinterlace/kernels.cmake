ovistra_add_gtest(deinterlace_kernels_tests
    SOURCES deinterlace_kernels_test.cpp
    LIBS fieldmend_kernels)
