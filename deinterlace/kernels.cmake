# The deinterlace kernels: the scalar references and frame functions, and one object library
# per instruction set so only those files get its flags. The runtime check picks among them.
set(fieldmend_kernel_isas sse2 avx2)
foreach(isa IN LISTS fieldmend_kernel_isas)
    add_library(fieldmend_kernels_${isa} OBJECT deinterlace_kernels_${isa}.cpp)
    target_compile_options(fieldmend_kernels_${isa} PRIVATE -m${isa})
    target_include_directories(fieldmend_kernels_${isa} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(fieldmend_kernels_${isa} PRIVATE ovistra_warnings)
    set_target_properties(fieldmend_kernels_${isa} PROPERTIES
        POSITION_INDEPENDENT_CODE ON
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
endforeach()

add_library(fieldmend_kernels STATIC
    deinterlace_kernels_common.cpp
    $<TARGET_OBJECTS:fieldmend_kernels_sse2>
    $<TARGET_OBJECTS:fieldmend_kernels_avx2>)
target_include_directories(fieldmend_kernels PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(fieldmend_kernels PUBLIC simd_features PRIVATE ovistra_warnings)
set_target_properties(fieldmend_kernels PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
