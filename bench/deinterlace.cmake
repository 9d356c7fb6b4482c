# The deinterlace kernels on 720x576 frames, each variant beside a plain copy of the same frame
# and, when its development files are installed, libpostproc's linear blend.
ovistra_add_bench(deinterlace_bench deinterlace_bench.cpp)
target_link_libraries(deinterlace_bench PRIVATE fieldmend_kernels)
if(OVISTRA_BENCH_PEERS)
    pkg_check_modules(POSTPROC QUIET IMPORTED_TARGET libpostproc libavutil)
    if(POSTPROC_FOUND)
        target_compile_definitions(deinterlace_bench PRIVATE HAVE_LIBPOSTPROC)
        target_link_libraries(deinterlace_bench PRIVATE PkgConfig::POSTPROC)
    endif()
    message(STATUS "Deinterlace benchmark peer libpostproc: ${POSTPROC_FOUND}")
endif()
