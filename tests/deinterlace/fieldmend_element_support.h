// GStreamer for the element tests: a registry of their own in a temporary folder that knows only
// the plugin of the build folder, so neither the machine's plugins nor the user's cache take
// part.
#pragma once

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fieldmendtest {

class GstEnvironment : public testing::Environment {
public:
    void SetUp() override {
        gchar* folder = g_dir_make_tmp("fieldmend-test-XXXXXX", nullptr);
        ASSERT_NE(folder, nullptr);
        folder_ = folder;
        g_free(folder);
        const std::string noPlugins = folder_ + "/no-plugins";
        std::filesystem::create_directory(noPlugins);
        g_setenv("GST_REGISTRY_1_0", (folder_ + "/registry.bin").c_str(), TRUE);
        g_setenv("GST_REGISTRY", (folder_ + "/registry.bin").c_str(), TRUE);
        g_setenv("GST_PLUGIN_SYSTEM_PATH_1_0", noPlugins.c_str(), TRUE);
        g_setenv("GST_PLUGIN_PATH_1_0", FIELDMEND_PLUGIN_DIR, TRUE);
        g_setenv("GST_REGISTRY_FORK", "no", TRUE);
        gst_init(nullptr, nullptr);
    }

    void TearDown() override {
        gst_deinit();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

private:
    std::string folder_;
};

// One environment for the whole program, whichever file asks first.
inline const testing::Environment* const kGstEnvironment =
    testing::AddGlobalTestEnvironment(new GstEnvironment);

}  // namespace fieldmendtest
