// The hand-over copy: every variant against the reference, and which frame bytes land where.
#include "hand_over_copy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "guarded_buffer.h"
#include "variant_runner.h"

namespace {

using testsupport::GuardedBuffer;
using variant_test::ForEachVariant;

constexpr int kFrameLineBytes = 1280;
constexpr int kCameraFrameBytes = kFrameLineBytes * 480;

GuardedBuffer& FillRandom(GuardedBuffer& buffer, std::mt19937& rng) {
    for (size_t i = 0; i < buffer.size(); ++i) {
        buffer[i] = static_cast<uint8_t>(rng());
    }
    return buffer;
}

TEST(HandOverCopyVariants, MatchTheReferenceOnARandomFrame) {
    std::mt19937 rng(21);
    GuardedBuffer frame(kCameraFrameBytes);
    FillRandom(frame, rng);
    std::vector<uint8_t> expected(ovistra::kHandOverBytes);
    for (int k = 0; k < ovistra::kHandOverHeight; ++k) {
        ovistra::HandOverRow_C(&frame[2 * k * kFrameLineBytes], &expected[k * 640], 160);
    }
    ForEachVariant([&] {
        GuardedBuffer block(ovistra::kHandOverBytes);
        ovistra::CopyHandOverFrame(frame.data(), block.data());
        ASSERT_EQ(0, std::memcmp(block.data(), expected.data(), expected.size()));
    });
}

TEST(HandOverCopyVariants, RowsOfAnyLengthMatchTheReferenceWithinTheirBuffers) {
    std::mt19937 rng(22);
    ForEachVariant([&] {
        for (int units : {1, 2, 3, 4, 5, 7, 8, 9, 11, 12, 15, 16, 17, 23, 31, 33, 159, 160, 161}) {
            // Both rows end against a guard page: a variant running past them crashes.
            GuardedBuffer src(units * 8);
            GuardedBuffer dst(units * 4);
            std::vector<uint8_t> expected(units * 4);
            ovistra::HandOverRow_C(FillRandom(src, rng).data(), expected.data(), units);
            ovistra::PixelRow(ovistra::kHandOverRow).Run(src.data(), dst.data(), units);
            ASSERT_EQ(0, std::memcmp(dst.data(), expected.data(), expected.size())) << units;
        }
    });
}

TEST(HandOverCopy, TakesEveryOtherLineAndTheFirstPixelPairOfEveryTwo) {
    struct Case {
        int line, byte;            // in the frame
        int blockLine, blockByte;  // where it lands, -1 when it is dropped
    };
    const Case kCases[] = {
        {0, 0, 0, 0},          {0, 3, 0, 3},          {0, 4, -1, -1},      {0, 7, -1, -1},
        {0, 8, 0, 4},          {0, 11, 0, 7},         {0, 1277, -1, -1},   {1, 0, -1, -1},
        {2, 0, 1, 0},          {2, 17, 1, 9},         {3, 8, -1, -1},      {240, 640, 120, 320},
        {478, 1272, 239, 636}, {478, 1275, 239, 639}, {478, 1279, -1, -1}, {479, 1272, -1, -1},
    };
    GuardedBuffer frame(kCameraFrameBytes);
    GuardedBuffer block(ovistra::kHandOverBytes);
    ForEachVariant([&] {
        for (const Case& c : kCases) {
            std::memset(frame.data(), 0, frame.size());
            frame[c.line * kFrameLineBytes + c.byte] = 0x5A;
            std::vector<uint8_t> expected(ovistra::kHandOverBytes, 0);
            if (c.blockLine >= 0) {
                expected[c.blockLine * 640 + c.blockByte] = 0x5A;
            }
            ovistra::CopyHandOverFrame(frame.data(), block.data());
            ASSERT_EQ(0, std::memcmp(block.data(), expected.data(), expected.size()))
                << "frame line " << c.line << " byte " << c.byte;
        }
    });
}

TEST(HandOverCopy, MissingFrameOrBlockCopiesNothing) {
    GuardedBuffer frame(kCameraFrameBytes, 0x11);
    GuardedBuffer block(ovistra::kHandOverBytes, 0xA5);
    ovistra::CopyHandOverFrame(nullptr, block.data());
    ovistra::CopyHandOverFrame(frame.data(), nullptr);
    const std::vector<uint8_t> untouched(ovistra::kHandOverBytes, 0xA5);
    EXPECT_EQ(0, std::memcmp(block.data(), untouched.data(), untouched.size()));
}

}  // namespace
