#include "yuy2_to_rgb32_scaled.h"

#include <gtest/gtest.h>

#include <vector>

#include "guarded_buffer.h"
#include "random_bytes.h"
#include "variant_runner.h"
#include "yuy2_to_rgb24.h"

namespace {

using testsupport::GuardedBuffer;

constexpr int kSrcWidth = 640;
constexpr int kSrcHeight = 480;
constexpr size_t kFrameBytes = 614400;

std::vector<uint8_t> RandomFrame(uint32_t seed) {
    return ovistra::testing::RandomBytes(kFrameBytes, seed);
}

// The frame through the reference row of the 24-bit conversion, top-down: the colours the scaled
// pixels must have.
std::vector<uint8_t> Rgb24Of(const std::vector<uint8_t>& frame) {
    std::vector<uint8_t> bgr(static_cast<size_t>(kSrcWidth) * kSrcHeight * 3);
    for (int line = 0; line < kSrcHeight; ++line) {
        ovistra::Yuy2ToRgb24Row_C(&frame[static_cast<size_t>(line) * kSrcWidth * 2],
                                  &bgr[static_cast<size_t>(line) * kSrcWidth * 3], kSrcWidth / 2);
    }
    return bgr;
}

uint32_t ExpectedPixel(const std::vector<uint8_t>& bgr, int sx, int sy) {
    const uint8_t* p = &bgr[(static_cast<size_t>(sy) * kSrcWidth + sx) * 3];
    return 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

// Every pixel checked; wider than 4096 columns the picture is made in stripes.
TEST(Yuy2ToRgb32Scaled, EveryPixelIsTheNearestSourcePixelsColourInEachVariant) {
    const std::vector<uint8_t> frame = RandomFrame(11);
    const std::vector<uint8_t> bgr = Rgb24Of(frame);
    struct Size {
        int width, height;
    };
    const Size sizes[] = {{1, 1},     {2, 1},     {1, 480},   {320, 240},  {333, 201},
                          {640, 480}, {641, 479}, {960, 540}, {1280, 960}, {1919, 1081},
                          {4096, 3},  {4097, 2},  {9000, 5}};
    variant_test::ForEachVariant([&] {
        for (const Size size : sizes) {
            // The last pixel lies against a guard page, so a write past the picture crashes.
            GuardedBuffer dst(static_cast<size_t>(size.width) * size.height * 4);
            auto* pixels = reinterpret_cast<uint32_t*>(dst.data());
            ovistra::Yuy2ToRgb32Scaled(pixels, size.width, size.width, size.height, frame.data());
            int wrong = 0;
            for (int dy = 0; dy < size.height; ++dy) {
                const int sy = dy * kSrcHeight / size.height;
                for (int dx = 0; dx < size.width; ++dx) {
                    const int sx = dx * kSrcWidth / size.width;
                    if (pixels[static_cast<size_t>(dy) * size.width + dx] !=
                            ExpectedPixel(bgr, sx, sy) &&
                        ++wrong <= 3) {
                        ADD_FAILURE()
                            << size.width << "x" << size.height << " at " << dx << "," << dy;
                    }
                }
            }
            EXPECT_EQ(wrong, 0) << size.width << "x" << size.height;
        }
    });
}

TEST(Yuy2ToRgb32Scaled, PixelsPastTheWidthOfAWiderStrideStayUntouched) {
    const std::vector<uint8_t> frame = RandomFrame(12);
    const std::vector<uint8_t> bgr = Rgb24Of(frame);
    constexpr int kWidth = 101, kHeight = 37, kStride = 128;
    constexpr uint32_t kUntouched = 0x12345678;
    std::vector<uint32_t> dst(kStride * kHeight, kUntouched);
    ovistra::Yuy2ToRgb32Scaled(dst.data(), kStride, kWidth, kHeight, frame.data());
    for (int dy = 0; dy < kHeight; ++dy) {
        const int sy = dy * kSrcHeight / kHeight;
        for (int dx = 0; dx < kStride; ++dx) {
            const uint32_t expected =
                dx < kWidth ? ExpectedPixel(bgr, dx * kSrcWidth / kWidth, sy) : kUntouched;
            ASSERT_EQ(dst[dy * kStride + dx], expected) << dx << "," << dy;
        }
    }
}

TEST(Yuy2ToRgb32Scaled, RefusedArgumentsWriteNothing) {
    const std::vector<uint8_t> frame = RandomFrame(13);
    struct Case {
        int stride, width, height;
        bool nullFrame;
    };
    const Case cases[] = {
        {8, 0, 4, false},  {8, 4, 0, false}, {8, -1, 4, false},
        {8, 4, -3, false}, {3, 4, 4, false},  // stride narrower than the width
        {8, 4, 4, true},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> dst(64, 0xA5A5A5A5);
        ovistra::Yuy2ToRgb32Scaled(dst.data(), c.stride, c.width, c.height,
                                   c.nullFrame ? nullptr : frame.data());
        EXPECT_EQ(dst, std::vector<uint32_t>(64, 0xA5A5A5A5))
            << c.stride << " " << c.width << "x" << c.height;
    }
}

}  // namespace
