# The simulated capture device: scenes, decoder and amplifier model, file inputs, the source
# element in real pipelines.
ovistra_add_gtest(sim_device_tests
    SOURCES
        sim_scene_test.cpp
        sim_device_test.cpp
        sim_source_element_test.cpp
        sim_file_input_test.cpp
    LIBS ovistra_sim_device ovistra_common
)
