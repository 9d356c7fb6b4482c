#include "deinterlace_filter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "cpu_features.h"
#include "deinterlace_kernels.h"
#include "guarded_buffer.h"
#include "random_bytes.h"

namespace {

using namespace fieldmend;
using testsupport::GuardedBuffer;

constexpr uint8_t kUntouched = 0xEE;

MediaType Video(const Guid& subtype, int32_t stride, int32_t height,
                const Guid& formatType = FORMAT_VideoInfo) {
    return MakeVideoType(subtype, stride, height, formatType);
}

// The same type with its rectangles set, in whichever layout it has.
MediaType WithRects(MediaType type, Rect source, Rect target) {
    if (type.formattype == FORMAT_VideoInfo2) {
        auto block = *ReadFormat<VideoInfoHeader2>(type);
        block.rcSource = source;
        block.rcTarget = target;
        type.SetFormat(FORMAT_VideoInfo2, block);
    } else {
        auto block = *ReadFormat<VideoInfoHeader>(type);
        block.rcSource = source;
        block.rcTarget = target;
        type.SetFormat(FORMAT_VideoInfo, block);
    }
    return type;
}

Rect Sized(int32_t width, int32_t height) {
    return {0, 0, width, height};
}

// Connects both pins and starts streaming; fails the test when any step is refused.
void Start(CDeinterlaceFilter& filter, const MediaType& in, const MediaType& out) {
    ASSERT_EQ(filter.ConnectInput(in), S_OK);
    ASSERT_EQ(filter.ConnectOutput(out), S_OK);
    ASSERT_EQ(filter.Pause(), S_OK);
}

std::vector<uint8_t> Noise(size_t bytes, unsigned seed) {
    return ovistra::testing::RandomBytes(bytes, seed);
}

// The scalar kernels, as the reference for what the filter writes.
class ScalarOnly {
public:
    ScalarOnly() : previous_(simd::SetAllowedForTesting(0)) {}
    ~ScalarOnly() { simd::SetAllowedForTesting(previous_); }

private:
    unsigned previous_;
};

std::vector<uint8_t> ReferencePacked(const uint8_t* src, int width, int height, int stride,
                                     bool swap) {
    std::vector<uint8_t> out(size_t(stride) * height * 2, kUntouched);
    ScalarOnly scalar;
    DeinterlacePacked({src, ptrdiff_t{width} * 2}, {out.data(), ptrdiff_t{stride} * 2}, width,
                      height, swap);
    return out;
}

std::vector<uint8_t> ReferencePlanar(const uint8_t* src, int width, int height, int stride,
                                     bool swap) {
    std::vector<uint8_t> out(size_t(stride) * height * 3 / 2, kUntouched);
    const size_t luma = size_t(width) * height;
    const size_t chroma = size_t(width / 2) * (height / 2);
    const PlanarFrame in = {{src, src + luma, src + luma + chroma}, {width, width / 2, width / 2}};
    uint8_t* dst = out.data();
    const size_t outLuma = size_t(stride) * height;
    const size_t outChroma = size_t(height / 2) * (stride / 2);
    const PlanarFrameOut result = {{dst, dst + outLuma, dst + outLuma + outChroma},
                                   {stride, stride / 2, stride / 2}};
    ScalarOnly scalar;
    DeinterlacePlanar(in, result, width, height, swap);
    return out;
}

// Copies `data` into a buffer that ends at a guard page.
std::unique_ptr<GuardedBuffer> Guarded(const std::vector<uint8_t>& data) {
    auto buffer = std::make_unique<GuardedBuffer>(data.size());
    std::memcpy(buffer->data(), data.data(), data.size());
    return buffer;
}

class FixedAllocator : public MemAllocator {
public:
    HRESULT SetProperties(const AllocatorProperties* request,
                          AllocatorProperties* actual) override {
        asked = *request;
        if (Failed(result)) {
            return result;
        }
        *actual = *request;
        actual->cbBuffer -= shortBytes;
        return S_OK;
    }

    AllocatorProperties asked;
    int32_t shortBytes = 0;
    HRESULT result = S_OK;
};

const Guid kRgb24 = FourccGuid(MakeFourcc('R', 'G', 'B', '3'));

// --- input types

TEST(DeinterlaceFilterInput, AcceptsTheFiveFormatsByTheirWidthAndHeightRules) {
    MediaType zeroSampleSize = Video(MEDIASUBTYPE_YUY2, 720, 480);
    zeroSampleSize.lSampleSize = 0;
    MediaType audio = Video(MEDIASUBTYPE_YUY2, 720, 480);
    audio.majortype = FourccGuid(MakeFourcc('a', 'u', 'd', 's'));
    MediaType otherFormatType = Video(MEDIASUBTYPE_YUY2, 720, 480);
    otherFormatType.formattype = GUID_NULL;
    MediaType noBlock = Video(MEDIASUBTYPE_YUY2, 720, 480);
    noBlock.format.clear();
    MediaType shortBlock = Video(MEDIASUBTYPE_YUY2, 720, 480);
    shortBlock.format.pop_back();
    // A second-layout type whose block only has the first layout's size.
    MediaType shortBlock2 = Video(MEDIASUBTYPE_I420, 720, 480, FORMAT_VideoInfo2);
    shortBlock2.format.resize(sizeof(VideoInfoHeader));

    struct Row {
        const char* name;
        MediaType type;
        bool accepted;
    };
    const Row rows[] = {
        {"YUY2 360 wide", Video(MEDIASUBTYPE_YUY2, 360, 480), true},
        {"UYVY 364 wide", Video(MEDIASUBTYPE_UYVY, 364, 480), true},
        {"YUY2 362 wide", Video(MEDIASUBTYPE_YUY2, 362, 480), false},
        {"I420 360 wide, a multiple of 8", Video(MEDIASUBTYPE_I420, 360, 480), true},
        {"I420 364 wide", Video(MEDIASUBTYPE_I420, 364, 480), false},
        {"YV12 364 wide", Video(MEDIASUBTYPE_YV12, 364, 480), false},
        {"IYUV 720x576", Video(MEDIASUBTYPE_IYUV, 720, 576), true},
        {"YV12 smallest 8x2", Video(MEDIASUBTYPE_YV12, 8, 2), true},
        {"odd height", Video(MEDIASUBTYPE_YUY2, 720, 481), false},
        {"top-down, even magnitude", Video(MEDIASUBTYPE_UYVY, 720, -480), true},
        {"top-down, odd magnitude", Video(MEDIASUBTYPE_I420, 720, -481), false},
        {"height of the lowest 32-bit value", Video(MEDIASUBTYPE_YUY2, 720, INT32_MIN), false},
        {"zero width", Video(MEDIASUBTYPE_YUY2, 0, 480), false},
        {"negative width", Video(MEDIASUBTYPE_YUY2, -720, 480), false},
        {"zero height", Video(MEDIASUBTYPE_YUY2, 720, 0), false},
        {"zero sample size", zeroSampleSize, false},
        {"another subtype", Video(kRgb24, 720, 480), false},
        {"another major type", audio, false},
        {"another format type", otherFormatType, false},
        {"no format block", noBlock, false},
        {"block a byte short of its layout", shortBlock, false},
        {"second layout in a first-layout block", shortBlock2, false},
        {"second layout", Video(MEDIASUBTYPE_I420, 720, 576, FORMAT_VideoInfo2), true},
        {"source rectangle inside a wider bitmap",
         WithRects(Video(MEDIASUBTYPE_I420, 368, 480), Sized(360, 480), {}), true},
        {"source rectangle of a refused width",
         WithRects(Video(MEDIASUBTYPE_I420, 368, 480), Sized(364, 480), {}), false},
        {"frame beyond 32-bit sizes", Video(MEDIASUBTYPE_YUY2, 65536, 32768), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CDeinterlaceFilter filter;
        const HRESULT hr = filter.CheckInputType(&row.type);
        EXPECT_EQ(hr, row.accepted ? S_OK : VFW_E_TYPE_NOT_ACCEPTED);
    }
}

TEST(DeinterlaceFilterInput, SizesComeFromTheRectangleUnlessItIsEmpty) {
    VideoInfoHeader block;
    block.bmiHeader.biWidth = 720;
    block.bmiHeader.biHeight = -576;
    EXPECT_EQ(CDeinterlaceFilter::GetSourceSize(block).width, 720);
    EXPECT_EQ(CDeinterlaceFilter::GetSourceSize(block).height, -576);
    block.rcSource = {8, 4, 712, 484};
    block.rcTarget = {0, 0, 640, 480};
    EXPECT_EQ(CDeinterlaceFilter::GetSourceSize(block).width, 704);
    EXPECT_EQ(CDeinterlaceFilter::GetSourceSize(block).height, 480);
    EXPECT_EQ(CDeinterlaceFilter::GetTargetSize(block).width, 640);

    VideoInfoHeader2 block2;
    block2.bmiHeader.biWidth = 352;
    block2.bmiHeader.biHeight = 288;
    block2.rcSource = {0, 0, 176, 144};
    EXPECT_EQ(CDeinterlaceFilter::GetSourceSize(block2).width, 176);
    EXPECT_EQ(CDeinterlaceFilter::GetTargetSize(block2).width, 352);
    EXPECT_EQ(CDeinterlaceFilter::GetTargetSize(block2).height, 288);

    // Edges far apart stay exact.
    block.rcSource = {INT32_MIN, 0, INT32_MAX, 2};
    EXPECT_EQ(CDeinterlaceFilter::GetSourceSize(block).width, int64_t{UINT32_MAX});
}

// --- proposals

TEST(DeinterlaceFilterProposals, FollowTheInputFormatInOrder) {
    struct Row {
        Guid input;
        Guid formatType;
        std::vector<Guid> proposals;
    };
    const Row rows[] = {
        {MEDIASUBTYPE_YUY2, FORMAT_VideoInfo, {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_UYVY}},
        {MEDIASUBTYPE_UYVY, FORMAT_VideoInfo2, {MEDIASUBTYPE_UYVY, MEDIASUBTYPE_YUY2}},
        {MEDIASUBTYPE_I420,
         FORMAT_VideoInfo,
         {MEDIASUBTYPE_I420, MEDIASUBTYPE_IYUV, MEDIASUBTYPE_YV12}},
        {MEDIASUBTYPE_IYUV,
         FORMAT_VideoInfo2,
         {MEDIASUBTYPE_IYUV, MEDIASUBTYPE_I420, MEDIASUBTYPE_YV12}},
        {MEDIASUBTYPE_YV12,
         FORMAT_VideoInfo,
         {MEDIASUBTYPE_YV12, MEDIASUBTYPE_YV12, MEDIASUBTYPE_YV12}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(reinterpret_cast<const char*>(&row.input.data1), 4));
        const MediaType input = WithRects(Video(row.input, 736, -480, row.formatType),
                                          Sized(720, 480), Sized(720, 480));
        const VideoFormat inputFormat = *ReadVideoFormat(input);
        CDeinterlaceFilter filter;
        ASSERT_EQ(filter.ConnectInput(input), S_OK);
        for (size_t position = 0; position < row.proposals.size(); ++position) {
            SCOPED_TRACE(position);
            MediaType proposal;
            ASSERT_EQ(filter.GetMediaType(static_cast<int>(position), &proposal), S_OK);
            const Guid& expected = row.proposals[position];
            EXPECT_EQ(proposal.subtype, expected);
            ASSERT_EQ(proposal.formattype, row.formatType);
            const VideoFormat format = *ReadVideoFormat(proposal);
            EXPECT_EQ(format.bmiHeader.biCompression,
                      position == 0 ? inputFormat.bmiHeader.biCompression : expected.data1);
            EXPECT_EQ(format.bmiHeader.biBitCount, IsPackedSubtype(expected) ? 16 : 12);
            // Nothing else changes.
            EXPECT_EQ(proposal.lSampleSize, input.lSampleSize);
            EXPECT_EQ(format.bmiHeader.biWidth, 736);
            EXPECT_EQ(format.bmiHeader.biHeight, -480);
            EXPECT_EQ(format.bmiHeader.biSizeImage, inputFormat.bmiHeader.biSizeImage);
            EXPECT_EQ(format.rcSource.right, 720);
            EXPECT_EQ(format.rcTarget.bottom, 480);
            EXPECT_EQ(proposal.format.size(), input.format.size());
        }
        MediaType past;
        EXPECT_EQ(filter.GetMediaType(static_cast<int>(row.proposals.size()), &past),
                  VFW_S_NO_MORE_ITEMS);
        EXPECT_EQ(filter.GetMediaType(3, &past), VFW_S_NO_MORE_ITEMS);
    }
}

TEST(DeinterlaceFilterProposals, NeedAPositionFromZeroAndAConnectedInput) {
    CDeinterlaceFilter filter;
    MediaType proposal;
    EXPECT_EQ(filter.GetMediaType(0, &proposal), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(filter.EnumOutputType(0, &proposal), VFW_E_NOT_CONNECTED);
    ASSERT_EQ(filter.ConnectInput(Video(MEDIASUBTYPE_YUY2, 720, 480)), S_OK);
    EXPECT_EQ(filter.GetMediaType(-1, &proposal), E_INVALIDARG);
    EXPECT_EQ(filter.GetMediaType(3, &proposal), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(0x00040103, VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(static_cast<uint32_t>(E_INVALIDARG), 0x80070057u);
}

// --- output types

TEST(DeinterlaceFilterTransformCheck, AcceptsSameSizeOutputsOfTheInputFamily) {
    const MediaType yuy2 = Video(MEDIASUBTYPE_YUY2, 720, 480);
    const MediaType i420 = Video(MEDIASUBTYPE_I420, 720, 480);
    MediaType shortBlock = Video(MEDIASUBTYPE_UYVY, 720, 480);
    shortBlock.format.resize(40);
    MediaType audio = Video(MEDIASUBTYPE_UYVY, 720, 480);
    audio.majortype = GUID_NULL;
    struct Row {
        const char* name;
        const MediaType& in;
        MediaType out;
        bool accepted;
    };
    const Row rows[] = {
        {"YUY2 to UYVY", yuy2, Video(MEDIASUBTYPE_UYVY, 720, 480), true},
        {"YUY2 to YUY2, second layout", yuy2, Video(MEDIASUBTYPE_YUY2, 720, 480, FORMAT_VideoInfo2),
         true},
        {"I420 to YV12", i420, Video(MEDIASUBTYPE_YV12, 720, 480), true},
        {"I420 to IYUV", i420, Video(MEDIASUBTYPE_IYUV, 720, 480), true},
        {"top-down output", i420, Video(MEDIASUBTYPE_I420, 720, -480), true},
        {"target rectangle in a wider surface", yuy2,
         WithRects(Video(MEDIASUBTYPE_UYVY, 768, 480), {}, Sized(720, 480)), true},
        {"target rectangle of another size", yuy2,
         WithRects(Video(MEDIASUBTYPE_UYVY, 720, 480), {}, Sized(704, 480)), false},
        {"another width", yuy2, Video(MEDIASUBTYPE_YUY2, 724, 480), false},
        {"another height", yuy2, Video(MEDIASUBTYPE_YUY2, 720, 482), false},
        {"stride below the width", yuy2,
         WithRects(Video(MEDIASUBTYPE_YUY2, 704, 480), {}, Sized(720, 480)), false},
        {"packed to planar", yuy2, Video(MEDIASUBTYPE_I420, 720, 480), false},
        {"planar to packed", i420, Video(MEDIASUBTYPE_UYVY, 720, 480), false},
        {"a format outside the five", yuy2, Video(kRgb24, 720, 480), false},
        {"another major type", yuy2, audio, false},
        {"block too small", yuy2, shortBlock, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CDeinterlaceFilter filter;
        EXPECT_EQ(filter.CheckTransform(&row.in, &row.out),
                  row.accepted ? S_OK : VFW_E_TYPE_NOT_ACCEPTED);
    }
}

// --- buffers

TEST(DeinterlaceFilterBuffers, AskForStrideTimesHeightOfTheOutput) {
    struct Row {
        const char* name;
        MediaType in;
        MediaType out;
        int32_t bytes;
    };
    const Row rows[] = {
        {"720x480 YUY2", Video(MEDIASUBTYPE_YUY2, 720, 480), Video(MEDIASUBTYPE_YUY2, 720, 480),
         691200},
        {"720x480 YV12", Video(MEDIASUBTYPE_YV12, 720, 480), Video(MEDIASUBTYPE_YV12, 720, 480),
         518400},
        {"top-down UYVY", Video(MEDIASUBTYPE_YUY2, 720, 480), Video(MEDIASUBTYPE_UYVY, 720, -480),
         691200},
        {"UYVY at a stride of 768", Video(MEDIASUBTYPE_YUY2, 720, 480),
         WithRects(Video(MEDIASUBTYPE_UYVY, 768, 480), {}, Sized(720, 480)), 768 * 480 * 2},
        {"I420 at a stride of 736", Video(MEDIASUBTYPE_I420, 720, 480),
         WithRects(Video(MEDIASUBTYPE_I420, 736, -480), {}, Sized(720, 480)), 736 * 480 * 3 / 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CDeinterlaceFilter filter;
        ASSERT_EQ(filter.ConnectInput(row.in), S_OK);
        ASSERT_EQ(filter.ConnectOutput(row.out), S_OK);
        FixedAllocator allocator;
        AllocatorProperties request;
        request.cbPrefix = 16;
        EXPECT_EQ(filter.DecideAllocator(&allocator, request), S_OK);
        EXPECT_EQ(allocator.asked.cbBuffer, row.bytes);
        EXPECT_EQ(allocator.asked.cBuffers, 1);
        EXPECT_EQ(allocator.asked.cbAlign, 1);
        EXPECT_EQ(allocator.asked.cbPrefix, 16);
        EXPECT_EQ(filter.OutputAllocation().cbBuffer, row.bytes);
    }
}

TEST(DeinterlaceFilterBuffers, FailWhenTheAllocatorGrantsLessOrFails) {
    CDeinterlaceFilter filter;
    FixedAllocator allocator;
    AllocatorProperties request;
    EXPECT_EQ(filter.DecideBufferSize(&allocator, &request), VFW_E_NOT_CONNECTED);
    ASSERT_EQ(filter.ConnectInput(Video(MEDIASUBTYPE_YUY2, 720, 480)), S_OK);
    ASSERT_EQ(filter.ConnectOutput(Video(MEDIASUBTYPE_YUY2, 720, 480)), S_OK);

    request.cBuffers = 4;
    request.cbAlign = 16;
    allocator.shortBytes = 1;
    EXPECT_EQ(filter.DecideBufferSize(&allocator, &request), E_FAIL);
    EXPECT_EQ(static_cast<uint32_t>(E_FAIL), 0x80004005u);
    EXPECT_EQ(allocator.asked.cBuffers, 4);
    EXPECT_EQ(allocator.asked.cbAlign, 16);

    allocator.shortBytes = 0;
    allocator.result = E_OUTOFMEMORY;
    EXPECT_EQ(filter.DecideBufferSize(&allocator, &request), E_OUTOFMEMORY);
    EXPECT_EQ(static_cast<uint32_t>(E_OUTOFMEMORY), 0x8007000Eu);
}

// --- streaming

TEST(DeinterlaceFilterStreaming, ChoosesTheKernelAndOrderFromBothSubtypes) {
    struct Row {
        Guid in;
        Guid out;
        bool packed;
        bool swap;
    };
    const Row rows[] = {
        {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_YUY2, true, false},
        {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_UYVY, true, true},
        {MEDIASUBTYPE_UYVY, MEDIASUBTYPE_UYVY, true, false},
        {MEDIASUBTYPE_UYVY, MEDIASUBTYPE_YUY2, true, true},
        {MEDIASUBTYPE_I420, MEDIASUBTYPE_I420, false, false},
        {MEDIASUBTYPE_I420, MEDIASUBTYPE_IYUV, false, false},
        {MEDIASUBTYPE_IYUV, MEDIASUBTYPE_I420, false, false},
        {MEDIASUBTYPE_I420, MEDIASUBTYPE_YV12, false, true},
        {MEDIASUBTYPE_IYUV, MEDIASUBTYPE_YV12, false, true},
        {MEDIASUBTYPE_YV12, MEDIASUBTYPE_YV12, false, false},
        {MEDIASUBTYPE_YV12, MEDIASUBTYPE_I420, false, true},
        {MEDIASUBTYPE_YV12, MEDIASUBTYPE_IYUV, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(reinterpret_cast<const char*>(&row.in.data1), 4) + " -> " +
                     std::string(reinterpret_cast<const char*>(&row.out.data1), 4));
        CDeinterlaceFilter filter;
        Start(filter, Video(row.in, 720, 576), Video(row.out, 720, 576));
        const auto state = filter.GetStreamState();
        EXPECT_EQ(state.packed, row.packed);
        EXPECT_EQ(state.swap, row.swap);
        EXPECT_EQ(state.width, 720);
        EXPECT_EQ(state.height, 576);
        EXPECT_EQ(state.stride, 720);
    }
}

TEST(DeinterlaceFilterStreaming, WritesATopDownOutputInsideItsBuffer) {
    constexpr int kWidth = 64;
    constexpr int kHeight = 16;
    CDeinterlaceFilter filter;
    Start(filter, Video(MEDIASUBTYPE_YUY2, kWidth, kHeight),
          Video(MEDIASUBTYPE_UYVY, kWidth, -kHeight));
    EXPECT_EQ(filter.GetStreamState().height, kHeight);

    const auto input = Noise(kWidth * kHeight * 2, 1);
    auto src = Guarded(input);
    GuardedBuffer dst(kWidth * kHeight * 2, kUntouched);
    MemorySample in(src->data(), static_cast<int32_t>(src->size()));
    MemorySample out(dst.data(), static_cast<int32_t>(dst.size()));
    ASSERT_EQ(filter.Receive(&in, &out), S_OK);
    const auto expected = ReferencePacked(input.data(), kWidth, kHeight, kWidth, true);
    EXPECT_EQ(std::memcmp(dst.data(), expected.data(), expected.size()), 0);
    EXPECT_EQ(out.GetActualDataLength(), kWidth * kHeight * 2);
}

TEST(DeinterlaceFilterStreaming, BreakConnectClearsTheGeometrySoANewSizeIsUsed) {
    CDeinterlaceFilter filter;
    Start(filter, Video(MEDIASUBTYPE_I420, 720, 576), Video(MEDIASUBTYPE_YV12, 720, 576));
    EXPECT_EQ(filter.Disconnect(PINDIR_OUTPUT), VFW_E_NOT_STOPPED);
    ASSERT_EQ(filter.Stop(), S_OK);
    // Restarting without a new connection keeps what it had.
    ASSERT_EQ(filter.Pause(), S_OK);
    EXPECT_EQ(filter.GetStreamState().width, 720);
    ASSERT_EQ(filter.Stop(), S_OK);

    ASSERT_EQ(filter.Disconnect(PINDIR_OUTPUT), S_OK);
    auto state = filter.GetStreamState();
    EXPECT_EQ(state.width, 0);
    EXPECT_EQ(state.height, 0);
    EXPECT_EQ(state.stride, 0);
    ASSERT_EQ(filter.Disconnect(PINDIR_INPUT), S_OK);
    EXPECT_EQ(filter.Disconnect(PINDIR_INPUT), S_FALSE);

    Start(filter, Video(MEDIASUBTYPE_YUY2, 360, 288), Video(MEDIASUBTYPE_YUY2, 360, 288));
    state = filter.GetStreamState();
    EXPECT_EQ(state.width, 360);
    EXPECT_EQ(state.height, 288);
    EXPECT_EQ(state.stride, 360);
    EXPECT_TRUE(state.packed);
}

// --- frames

struct FrameCase {
    const char* name;
    Guid in;
    Guid out;
    int width;
    int height;
    int stride;
};

class DeinterlaceFilterFrames : public testing::TestWithParam<FrameCase> {};

TEST_P(DeinterlaceFilterFrames, WritesEveryLineAtTheOutputStrideAndNoFurther) {
    const FrameCase& c = GetParam();
    const bool packed = IsPackedSubtype(c.in);
    CDeinterlaceFilter filter;
    Start(filter, Video(c.in, c.width, c.height),
          WithRects(Video(c.out, c.stride, c.height), {}, Sized(c.width, c.height)));
    const size_t inBytes =
        packed ? size_t(c.width) * c.height * 2 : size_t(c.width) * c.height * 3 / 2;
    const size_t outBytes =
        packed ? size_t(c.stride) * c.height * 2 : size_t(c.stride) * c.height * 3 / 2;
    const auto input = Noise(inBytes, 7);
    auto src = Guarded(input);
    GuardedBuffer dst(outBytes, kUntouched);
    MemorySample in(src->data(), static_cast<int32_t>(inBytes));
    MemorySample out(dst.data(), static_cast<int32_t>(outBytes));
    const ReferenceTime start = 40'000'000;
    const ReferenceTime stop = 80'000'000;
    in.SetTime(&start, &stop);
    ASSERT_EQ(filter.Receive(&in, &out), S_OK);

    const bool swap = filter.GetStreamState().swap;
    const auto expected = packed ? ReferencePacked(input.data(), c.width, c.height, c.stride, swap)
                                 : ReferencePlanar(input.data(), c.width, c.height, c.stride, swap);
    ASSERT_EQ(expected.size(), outBytes);
    EXPECT_EQ(std::memcmp(dst.data(), expected.data(), outBytes), 0);
    EXPECT_EQ(out.GetActualDataLength(), static_cast<int32_t>(outBytes));
    EXPECT_EQ(out.IsSyncPoint(), S_OK);
    ReferenceTime outStart = 0;
    ReferenceTime outStop = 0;
    EXPECT_EQ(out.GetTime(&outStart, &outStop), S_OK);
    EXPECT_EQ(outStart, start);
    EXPECT_EQ(outStop, stop);

    // The direct members lay the frame out the same way.
    std::vector<uint8_t> direct(outBytes, kUntouched);
    if (packed) {
        EXPECT_EQ(filter.DeinterlacePacked(input.data(), direct.data()), S_OK);
    } else {
        EXPECT_EQ(filter.DeinterlacePlanar(input.data(), direct.data()), S_OK);
    }
    EXPECT_EQ(direct, expected);
}

INSTANTIATE_TEST_SUITE_P(
    StrideAndOrder, DeinterlaceFilterFrames,
    testing::Values(FrameCase{"YUY2toUYVYPadded", MEDIASUBTYPE_YUY2, MEDIASUBTYPE_UYVY, 68, 10, 80},
                    FrameCase{"UYVYtoUYVYTight", MEDIASUBTYPE_UYVY, MEDIASUBTYPE_UYVY, 44, 6, 44},
                    FrameCase{"I420toYV12Padded", MEDIASUBTYPE_I420, MEDIASUBTYPE_YV12, 40, 12, 53},
                    FrameCase{"YV12toIYUVTight", MEDIASUBTYPE_YV12, MEDIASUBTYPE_IYUV, 24, 2, 24},
                    FrameCase{"IYUVtoI420Padded", MEDIASUBTYPE_IYUV, MEDIASUBTYPE_I420, 16, 8, 32}),
    [](const testing::TestParamInfo<FrameCase>& info) { return std::string(info.param.name); });

TEST(DeinterlaceFilterTransform, PassesFramesWithoutTimeStampsOnWithoutThem) {
    CDeinterlaceFilter filter;
    Start(filter, Video(MEDIASUBTYPE_YUY2, 8, 4), Video(MEDIASUBTYPE_YUY2, 8, 4));
    std::vector<uint8_t> src(8 * 4 * 2, 100);
    std::vector<uint8_t> dst(src.size(), 0);
    MemorySample in(src.data(), static_cast<int32_t>(src.size()));
    MemorySample out(dst.data(), static_cast<int32_t>(dst.size()));
    ReferenceTime start = 0;
    ReferenceTime stop = 0;
    ASSERT_EQ(filter.Receive(&in, &out), S_OK);
    EXPECT_EQ(out.GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
    EXPECT_EQ(dst, src);  // a flat picture stays flat

    // A start without a stop stays a start alone.
    const ReferenceTime only = 5;
    in.SetTime(&only, nullptr);
    MemorySample out2(dst.data(), static_cast<int32_t>(dst.size()));
    ASSERT_EQ(filter.Receive(&in, &out2), S_OK);
    EXPECT_EQ(out2.GetTime(&start, &stop), VFW_S_NO_STOP_TIME);
    EXPECT_EQ(start, only);
}

TEST(DeinterlaceFilterTransform, RefusesBuffersTooShortForTheFrame) {
    constexpr int kWidth = 32;
    constexpr int kHeight = 8;
    CDeinterlaceFilter filter;
    Start(filter, Video(MEDIASUBTYPE_I420, kWidth, kHeight),
          Video(MEDIASUBTYPE_I420, kWidth, kHeight));
    const size_t frameBytes = kWidth * kHeight * 3 / 2;
    GuardedBuffer shortInput(frameBytes - 1, 1);
    GuardedBuffer input(frameBytes, 1);
    GuardedBuffer output(frameBytes, kUntouched);
    GuardedBuffer shortOutput(frameBytes - 1, kUntouched);

    MemorySample in(shortInput.data(), static_cast<int32_t>(shortInput.size()));
    MemorySample out(output.data(), static_cast<int32_t>(output.size()));
    EXPECT_EQ(filter.Receive(&in, &out), VFW_E_BUFFER_UNDERFLOW);
    EXPECT_EQ(output[0], kUntouched);

    // A full buffer whose sample says less has not arrived whole either.
    MemorySample partial(input.data(), static_cast<int32_t>(input.size()));
    ASSERT_EQ(partial.SetActualDataLength(static_cast<int32_t>(frameBytes) - 2), S_OK);
    EXPECT_EQ(filter.Receive(&partial, &out), VFW_E_BUFFER_UNDERFLOW);

    MemorySample whole(input.data(), static_cast<int32_t>(input.size()));
    MemorySample small(shortOutput.data(), static_cast<int32_t>(shortOutput.size()));
    EXPECT_EQ(filter.Receive(&whole, &small), VFW_E_BUFFER_OVERFLOW);
    EXPECT_EQ(shortOutput[0], kUntouched);
}

TEST(DeinterlaceFilterTransform, AdoptsTheOrderOfAnOutputTypeAnnouncedByASample) {
    constexpr int kWidth = 16;
    constexpr int kHeight = 6;
    constexpr int kStride = 24;
    CDeinterlaceFilter filter;
    Start(filter, Video(MEDIASUBTYPE_YUY2, kWidth, kHeight),
          Video(MEDIASUBTYPE_YUY2, kWidth, kHeight));
    ASSERT_FALSE(filter.GetStreamState().swap);

    const auto input = Noise(kWidth * kHeight * 2, 3);
    std::vector<uint8_t> src = input;
    std::vector<uint8_t> dst(kStride * kHeight * 2, kUntouched);
    MemorySample in(src.data(), static_cast<int32_t>(src.size()));
    MemorySample out(dst.data(), static_cast<int32_t>(dst.size()));
    out.SetMediaType(
        WithRects(Video(MEDIASUBTYPE_UYVY, kStride, kHeight), {}, Sized(kWidth, kHeight)));
    ASSERT_EQ(filter.Receive(&in, &out), S_OK);
    EXPECT_EQ(dst, ReferencePacked(input.data(), kWidth, kHeight, kStride, true));
    auto state = filter.GetStreamState();
    EXPECT_TRUE(state.swap);
    EXPECT_EQ(state.width, kWidth);
    EXPECT_EQ(state.stride, kStride);

    // The connection continues in the new type, so a restart keeps its order.
    MediaType output;
    ASSERT_EQ(filter.ConnectionMediaType(PINDIR_OUTPUT, &output), S_OK);
    EXPECT_EQ(output.subtype, MEDIASUBTYPE_UYVY);
    ASSERT_EQ(filter.Stop(), S_OK);
    ASSERT_EQ(filter.Pause(), S_OK);
    EXPECT_TRUE(filter.GetStreamState().swap);

    // And back.
    std::fill(dst.begin(), dst.end(), kUntouched);
    MemorySample back(dst.data(), static_cast<int32_t>(dst.size()));
    back.SetMediaType(
        WithRects(Video(MEDIASUBTYPE_YUY2, kStride, kHeight), {}, Sized(kWidth, kHeight)));
    ASSERT_EQ(filter.Receive(&in, &back), S_OK);
    EXPECT_EQ(dst, ReferencePacked(input.data(), kWidth, kHeight, kStride, false));
    EXPECT_FALSE(filter.GetStreamState().swap);
}

TEST(DeinterlaceFilterTransform, RefusesAnAnnouncedTypeItCannotWrite) {
    constexpr int kWidth = 16;
    constexpr int kHeight = 4;
    CDeinterlaceFilter filter;
    Start(filter, Video(MEDIASUBTYPE_YUY2, kWidth, kHeight),
          Video(MEDIASUBTYPE_YUY2, kWidth, kHeight));
    std::vector<uint8_t> src(kWidth * kHeight * 2, 9);
    std::vector<uint8_t> dst(kWidth * kHeight * 2, kUntouched);
    MemorySample in(src.data(), static_cast<int32_t>(src.size()));

    MemorySample otherFamily(dst.data(), static_cast<int32_t>(dst.size()));
    otherFamily.SetMediaType(Video(MEDIASUBTYPE_I420, kWidth, kHeight));
    EXPECT_EQ(filter.Receive(&in, &otherFamily), E_FAIL);

    MemorySample narrow(dst.data(), static_cast<int32_t>(dst.size()));
    narrow.SetMediaType(
        WithRects(Video(MEDIASUBTYPE_UYVY, kWidth - 4, kHeight), {}, Sized(kWidth, kHeight)));
    EXPECT_EQ(filter.Receive(&in, &narrow), E_FAIL);

    EXPECT_EQ(dst, std::vector<uint8_t>(dst.size(), kUntouched));
    EXPECT_FALSE(filter.GetStreamState().swap);
    EXPECT_EQ(filter.GetStreamState().stride, kWidth);
}

TEST(DeinterlaceFilterTransform, RunsOnlyWhileStreaming) {
    CDeinterlaceFilter filter;
    std::vector<uint8_t> src(8 * 2 * 2, 0);
    std::vector<uint8_t> dst(src.size(), 0);
    MemorySample in(src.data(), static_cast<int32_t>(src.size()));
    MemorySample out(dst.data(), static_cast<int32_t>(dst.size()));
    EXPECT_EQ(filter.Receive(&in, &out), VFW_E_WRONG_STATE);
    EXPECT_EQ(filter.Pause(), VFW_E_NOT_CONNECTED);
    ASSERT_EQ(filter.ConnectInput(Video(MEDIASUBTYPE_YUY2, 8, 2)), S_OK);
    ASSERT_EQ(filter.ConnectOutput(Video(MEDIASUBTYPE_YUY2, 8, 2)), S_OK);
    EXPECT_EQ(filter.Receive(&in, &out), VFW_E_WRONG_STATE);
    ASSERT_EQ(filter.Pause(), S_OK);
    EXPECT_EQ(filter.Receive(&in, &out), S_OK);
}

TEST(DeinterlaceFilterFactory, CreatesAFilterWithNoGeometryYet) {
    HRESULT hr = S_OK;
    std::unique_ptr<CDeinterlaceFilter> filter(CDeinterlaceFilter::CreateInstance(&hr));
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(hr, S_OK);
    const auto state = filter->GetStreamState();
    EXPECT_EQ(state.width, 0);
    EXPECT_EQ(state.height, 0);
    EXPECT_EQ(state.stride, 0);
    EXPECT_FALSE(state.packed);
}

TEST(DeinterlaceFilterMediaTypes, FourccSubtypesFollowTheFixedTail) {
    const Guid i420 = {
        0x30323449, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    EXPECT_EQ(MEDIASUBTYPE_I420, i420);
    EXPECT_EQ(MEDIASUBTYPE_YUY2.data1, 0x32595559u);
    EXPECT_EQ(MEDIATYPE_Video.data1, 0x73646976u);
    EXPECT_EQ(static_cast<uint32_t>(VFW_E_TYPE_NOT_ACCEPTED), 0x8004022Au);
    EXPECT_EQ(S_OK, 0);
}

}  // namespace
