// The station loads vigimot by file name and binds its exports by name; this does the same.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "vigimot.h"

namespace {

class LoadedVigimot : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = dlopen(VIGIMOT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
    }
    void TearDown() override {
        if (handle_) {
            EXPECT_EQ(dlclose(handle_), 0);
        }
    }
    template <typename F>
    F Bind(const char* name) {
        return reinterpret_cast<F>(dlsym(handle_, name));
    }
    void* handle_ = nullptr;
};

TEST_F(LoadedVigimot, BindsAllElevenNames) {
    const char* names[] = {"ORBALIN_Binarize",      "ORBALIN_Detect_Boundary",
                           "ORBALIN_Detect_Motion", "ORBALIN_Detect_Motion_Multiple",
                           "ORBALIN_Erode",         "ORBALIN_Find_Target",
                           "ORBALIN_Get_Alarm",     "ORBALIN_Get_Buf_Child2d",
                           "ORBALIN_Get_Center",    "ORBALIN_Get_Vigimot_Version",
                           "ORBALIN_Subtract_Image"};
    for (const char* name : names) {
        EXPECT_NE(dlsym(handle_, name), nullptr) << name;
    }
}

TEST_F(LoadedVigimot, DetectsMotionThroughTheBoundEntry) {
    using DetectMultiple = decltype(&ORBALIN_Detect_Motion_Multiple);
    const auto detect = Bind<DetectMultiple>("ORBALIN_Detect_Motion_Multiple");
    ASSERT_NE(detect, nullptr);
    std::vector<uint8_t> previous(640 * 480, 50), latest(640 * 480, 50);
    for (int y = 200; y < 260; ++y) {
        std::memset(&latest[y * 640 + 300], 200, 80);
    }
    ImageBuf cur{latest.data(), 640, 480}, ref{previous.data(), 640, 480};
    const MotionRegion whole{0, 0, 640, 480, 1, 30, 1};
    uint8_t alarm = 9, found = 9;
    Point16 centre{};
    Rect16 target{};
    EXPECT_EQ(detect(&cur, &ref, 1, &whole, &alarm, &centre, &target, &found), 1);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(alarm, 1);  // 100 * 77 * 57 > 307200 * 1
    EXPECT_EQ(target.x, 301);
    EXPECT_EQ(target.width, 77);
    EXPECT_EQ(centre.y, 201 + 57 / 2);
}

TEST_F(LoadedVigimot, PointAndSizeTravelAsOneThirtyTwoBitValue) {
    // A caller that packs the pair itself, first member in the low 16 bits.
    using CenterPacked = void (*)(uint32_t, uint32_t, Point16*);
    const auto center = Bind<CenterPacked>("ORBALIN_Get_Center");
    ASSERT_NE(center, nullptr);
    auto pack = [](int16_t low, int16_t high) {
        return static_cast<uint32_t>(static_cast<uint16_t>(low)) |
               (static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16);
    };
    Point16 out{};
    center(pack(10, 20), pack(5, -3), &out);
    EXPECT_EQ(out.x, 12);
    EXPECT_EQ(out.y, 19);

    const auto version = Bind<void (*)(char*)>("ORBALIN_Get_Vigimot_Version");
    ASSERT_NE(version, nullptr);
    char text[32];
    version(text);
    EXPECT_EQ(std::string(text), "**** v1.00 at Nov 30 2003 ****\n");
}

}  // namespace
