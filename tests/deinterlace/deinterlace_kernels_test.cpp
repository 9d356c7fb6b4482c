// The deinterlace kernels: every variant the CPU offers against the scalar reference and against
// a frame model written straight from the blend rule, on odd sizes, unaligned and padded planes,
// and rows that end at a guard page.
#include "deinterlace_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "cpu_features.h"
#include "guarded_buffer.h"

namespace fieldmend {
namespace {

using testsupport::GuardedBuffer;
using Bytes = std::vector<uint8_t>;
using FilterFn = void (*)(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, int);
using PairFn = void (*)(uint8_t*, ptrdiff_t, const uint8_t*, ptrdiff_t, int);
using CopyFn = void (*)(uint8_t*, const uint8_t*, int);

struct Variant {
    const char* name;
    unsigned required;  // CPU features the variant needs; also the mask that selects it
    FilterFn filter;
    FilterFn filterSwap;
    PairFn pair;
    PairFn pairSwap;
    CopyFn copySwap;
};

const Variant kVariants[] = {
    {"C", 0, FilterLine_C, FilterLineSwap_C, FilterLinePair_C, FilterLinePairSwap_C,
     CopyLineSwap_C},
    {"SSE2", simd::kSse2, FilterLine_SSE2, FilterLineSwap_SSE2, FilterLinePair_SSE2,
     FilterLinePairSwap_SSE2, CopyLineSwap_SSE2},
    {"AVX2", simd::kSse2 | simd::kAvx2, FilterLine_AVX2, FilterLineSwap_AVX2, FilterLinePair_AVX2,
     FilterLinePairSwap_AVX2, CopyLineSwap_AVX2},
};

void PrintTo(const Variant& v, std::ostream* os) {
    *os << v.name;
}

std::string& VariantsRun() {
    static std::string names;
    return names;
}

// Says at the end of the run which variants were exercised and which the machine lacks.
class VariantReport : public testing::Environment {
public:
    void TearDown() override {
        std::string missing;
        for (const Variant& v : kVariants) {
            if ((simd::DetectedFeatures() & v.required) != v.required) {
                missing += std::string(" ") + v.name;
            }
        }
        std::printf("Deinterlace kernel variants run:%s; not available:%s\n", VariantsRun().c_str(),
                    missing.empty() ? " none" : missing.c_str());
    }
};
[[maybe_unused]] testing::Environment* const kReport =
    testing::AddGlobalTestEnvironment(new VariantReport);

uint8_t Blend(int above, int line, int below) {
    return static_cast<uint8_t>((above + 2 * line + below + 2) >> 2);
}

Bytes Random(size_t n, std::mt19937& rng) {
    Bytes b(n);
    for (uint8_t& v : b) {
        v = static_cast<uint8_t>(rng());
    }
    return b;
}

// One row by the rule; with swap the bytes of every pair change places and a lone last byte
// stays where it is. Without `above`/`below` the row is copied.
Bytes ModelLine(const uint8_t* above, const uint8_t* line, const uint8_t* below, int bytes,
                bool swap) {
    Bytes out(bytes);
    for (int x = 0; x < bytes; ++x) {
        const uint8_t v = above ? Blend(above[x], line[x], below[x]) : line[x];
        out[swap && (x ^ 1) < bytes ? x ^ 1 : x] = v;
    }
    return out;
}

testing::AssertionResult SameBytes(const uint8_t* got, const uint8_t* want, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (got[i] != want[i]) {
            return testing::AssertionFailure() << "byte " << i << " of " << n << ": got "
                                               << int(got[i]) << ", want " << int(want[i]);
        }
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult SameBytes(const Bytes& got, const Bytes& want) {
    if (got.size() != want.size()) {
        return testing::AssertionFailure() << "sizes differ";
    }
    return SameBytes(got.data(), want.data(), got.size());
}

// The frame as the blend rule defines it, written through the same pointers and strides.
void ModelRows(const uint8_t* src, ptrdiff_t srcStride, uint8_t* dst, ptrdiff_t dstStride,
               int rowBytes, int rows, bool swap) {
    for (int r = 0; r < rows; ++r) {
        const uint8_t* s = src + r * srcStride;
        for (int x = 0; x < rowBytes; ++x) {
            const bool edge = r == 0 || r == rows - 1;
            const uint8_t v = edge ? s[x] : Blend(s[x - srcStride], s[x], s[x + srcStride]);
            dst[r * dstStride + (swap ? x ^ 1 : x)] = v;
        }
    }
}

void ModelPlanar(const PlanarFrame& src, const PlanarFrameOut& dst, int width, int height,
                 bool swap) {
    ModelRows(src.plane[0], src.stride[0], dst.plane[0], dst.stride[0], width, height, false);
    for (int p = 1; p <= 2; ++p) {
        const int from = swap ? 3 - p : p;
        for (int r = 0; r < height / 2; ++r) {
            for (int x = 0; x < width / 2; ++x) {
                dst.plane[p][r * dst.stride[p] + x] = src.plane[from][r * src.stride[from] + x];
            }
        }
    }
}

// A plane in a buffer of random bytes, at an odd offset; a negative stride stores it bottom-up.
struct Plane {
    Bytes bytes;
    uint8_t* origin;
    ptrdiff_t stride;

    Plane(int rowBytes, int rows, int padding, bool bottomUp, std::mt19937& rng) {
        const ptrdiff_t pitch = rowBytes + padding;
        const size_t offset = 1 + rng() % 7;
        bytes = Random(offset + static_cast<size_t>(pitch) * rows + 5, rng);
        origin = bytes.data() + offset + (bottomUp ? (rows - 1) * pitch : 0);
        stride = bottomUp ? -pitch : pitch;
    }
    Plane(const Plane& other) : bytes(other.bytes), stride(other.stride) {
        origin = bytes.data() + (other.origin - other.bytes.data());
    }
};

class DeinterlaceKernels : public testing::TestWithParam<Variant> {
protected:
    void SetUp() override {
        const Variant& v = GetParam();
        if ((simd::DetectedFeatures() & v.required) != v.required) {
            GTEST_SKIP() << v.name << " is not available on this CPU or under OVISTRA_SIMD";
        }
        std::printf("[ variant  ] %s\n", v.name);
        if (VariantsRun().find(std::string(" ") + v.name) == std::string::npos) {
            VariantsRun() += std::string(" ") + v.name;
        }
        previousMask_ = simd::SetAllowedForTesting(v.required);
        masked_ = true;
    }
    void TearDown() override {
        if (masked_) {
            simd::SetAllowedForTesting(previousMask_);
        }
    }

    const Variant& V() const { return GetParam(); }
    std::mt19937 rng_{20240611};

private:
    unsigned previousMask_ = 0;
    bool masked_ = false;
};

// --- line kernels

TEST_P(DeinterlaceKernels, LineBlendMatchesTheRuleForEveryByteTriple) {
    // Rows 0 and 2 hold every (above, below) pair; over the 256 passes each position of row 1
    // takes all 256 values, so every triple meets every code path. The pair kernels blend
    // rows 0-2 and rows 1-3.
    constexpr int kBytes = 65536;
    Bytes rows(4 * kBytes);
    uint8_t* row[4] = {&rows[0], &rows[kBytes], &rows[2 * kBytes], &rows[3 * kBytes]};
    for (int i = 0; i < kBytes; ++i) {
        row[0][i] = static_cast<uint8_t>(i);
        row[2][i] = static_cast<uint8_t>(i >> 8);
    }
    Bytes got(kBytes), gotSwap(kBytes), gotPair(2 * kBytes), gotPairSwap(2 * kBytes);
    for (int pass = 0; pass < 256; ++pass) {
        for (int i = 0; i < kBytes; ++i) {
            row[1][i] = static_cast<uint8_t>(pass + (i >> 3));
            row[3][i] = static_cast<uint8_t>(pass * 7 + i * 3);
        }
        const Bytes want = ModelLine(row[0], row[1], row[2], kBytes, false);
        const Bytes wantSwap = ModelLine(row[0], row[1], row[2], kBytes, true);
        const Bytes wantNext = ModelLine(row[1], row[2], row[3], kBytes, false);
        const Bytes wantNextSwap = ModelLine(row[1], row[2], row[3], kBytes, true);
        V().filter(got.data(), row[0], row[1], row[2], kBytes);
        V().filterSwap(gotSwap.data(), row[0], row[1], row[2], kBytes);
        V().pair(gotPair.data(), kBytes, row[1], kBytes, kBytes);
        V().pairSwap(gotPairSwap.data(), kBytes, row[1], kBytes, kBytes);
        ASSERT_TRUE(SameBytes(got, want)) << "pass " << pass;
        ASSERT_TRUE(SameBytes(gotSwap, wantSwap)) << "pass " << pass;
        ASSERT_TRUE(SameBytes(&gotPair[0], want.data(), kBytes)) << "pass " << pass;
        ASSERT_TRUE(SameBytes(&gotPair[kBytes], wantNext.data(), kBytes)) << "pass " << pass;
        ASSERT_TRUE(SameBytes(&gotPairSwap[0], wantSwap.data(), kBytes)) << "pass " << pass;
        ASSERT_TRUE(SameBytes(&gotPairSwap[kBytes], wantNextSwap.data(), kBytes))
            << "pass " << pass;
    }
}

TEST_P(DeinterlaceKernels, LineBlendRoundsAsTheRuleSays) {
    // (above, line, below) -> out, each repeated along lines long enough for every vector width.
    const struct {
        uint8_t above, line, below, out;
    } kCases[] = {{0, 0, 2, 1},         {1, 0, 0, 0}, {255, 0, 255, 128},   {0, 255, 0, 128},
                  {255, 255, 255, 255}, {0, 0, 0, 0}, {254, 255, 255, 255}, {1, 0, 1, 1}};
    for (const auto& c : kCases) {
        for (int bytes : {1, 8, 16, 24, 32, 40, 72}) {
            Bytes above(bytes, c.above), line(bytes, c.line), below(bytes, c.below);
            Bytes got(bytes), want(bytes, c.out);
            V().filter(got.data(), above.data(), line.data(), below.data(), bytes);
            EXPECT_TRUE(SameBytes(got, want))
                << int(c.above) << "," << int(c.line) << "," << int(c.below) << " x" << bytes;
        }
    }
}

TEST_P(DeinterlaceKernels, LineKernelsMatchTheReferenceAtAnyLengthAndAlignment) {
    for (int bytes = 1; bytes <= 200; ++bytes) {
        // Four input rows and two output rows, each at its own pitch and odd offset.
        const ptrdiff_t srcPitch = bytes + rng_() % 40;
        const ptrdiff_t dstPitch = bytes + rng_() % 40;
        const size_t srcOffset = rng_() % 32, dstOffset = rng_() % 32;
        const Bytes src = Random(srcOffset + 4 * srcPitch + 32, rng_);
        const Bytes canvas = Random(dstOffset + 2 * dstPitch + 32, rng_);
        const uint8_t* a = src.data() + srcOffset;
        const uint8_t* l = a + srcPitch;
        const uint8_t* b = l + srcPitch;
        const uint8_t* next = b + srcPitch;
        const std::string where = std::to_string(bytes) + " bytes at +" +
                                  std::to_string(srcOffset) + "/+" + std::to_string(dstOffset);

        // Against the reference over the whole canvas (nothing outside the rows written), and
        // the reference itself against the rule.
        Bytes got = canvas, want = canvas;
        uint8_t* out = got.data() + dstOffset;
        V().filter(out, a, l, b, bytes);
        FilterLine_C(want.data() + dstOffset, a, l, b, bytes);
        ASSERT_TRUE(SameBytes(got, want)) << "blend, " << where;
        ASSERT_TRUE(SameBytes(out, ModelLine(a, l, b, bytes, false).data(), bytes));

        got = canvas, want = canvas;
        V().filterSwap(out, a, l, b, bytes);
        FilterLineSwap_C(want.data() + dstOffset, a, l, b, bytes);
        ASSERT_TRUE(SameBytes(got, want)) << "blend+swap, " << where;
        ASSERT_TRUE(SameBytes(out, ModelLine(a, l, b, bytes, true).data(), bytes));

        got = canvas, want = canvas;
        V().copySwap(out, l, bytes);
        CopyLineSwap_C(want.data() + dstOffset, l, bytes);
        ASSERT_TRUE(SameBytes(got, want)) << "swap copy, " << where;
        ASSERT_TRUE(SameBytes(out, ModelLine(nullptr, l, nullptr, bytes, true).data(), bytes));

        for (bool swap : {false, true}) {
            got = canvas, want = canvas;
            (swap ? V().pairSwap : V().pair)(out, dstPitch, l, srcPitch, bytes);
            (swap ? FilterLinePairSwap_C : FilterLinePair_C)(want.data() + dstOffset, dstPitch, l,
                                                             srcPitch, bytes);
            ASSERT_TRUE(SameBytes(got, want)) << "pair" << (swap ? "+swap, " : ", ") << where;
            ASSERT_TRUE(SameBytes(out, ModelLine(a, l, b, bytes, swap).data(), bytes));
            ASSERT_TRUE(
                SameBytes(out + dstPitch, ModelLine(l, b, next, bytes, swap).data(), bytes));
        }
    }
}

TEST_P(DeinterlaceKernels, LineKernelsStayInsideRowsThatEndAtAGuardPage) {
    for (int bytes = 1; bytes <= 200; ++bytes) {
        // Separate rows for the single-line kernels; for the pair, four rows at a pitch with
        // the last one and the second output row against the guard.
        const ptrdiff_t pitch = bytes + 5;
        const size_t srcBytes = 3 * pitch + bytes, dstBytes = pitch + bytes;
        const Bytes values = Random(srcBytes, rng_);
        GuardedBuffer above(bytes), line(bytes), below(bytes), dst(bytes);
        GuardedBuffer src(srcBytes), pairDst(dstBytes);
        std::copy_n(values.begin(), bytes, above.data());
        std::copy_n(values.begin() + bytes, bytes, line.data());
        std::copy_n(values.begin() + 2 * bytes, bytes, below.data());
        std::copy(values.begin(), values.end(), src.data());
        Bytes want(bytes), wantPair(dstBytes);

        V().filter(dst.data(), above.data(), line.data(), below.data(), bytes);
        FilterLine_C(want.data(), above.data(), line.data(), below.data(), bytes);
        ASSERT_TRUE(SameBytes(dst.data(), want.data(), bytes)) << bytes;

        V().filterSwap(dst.data(), above.data(), line.data(), below.data(), bytes);
        FilterLineSwap_C(want.data(), above.data(), line.data(), below.data(), bytes);
        ASSERT_TRUE(SameBytes(dst.data(), want.data(), bytes)) << bytes;

        V().copySwap(dst.data(), line.data(), bytes);
        CopyLineSwap_C(want.data(), line.data(), bytes);
        ASSERT_TRUE(SameBytes(dst.data(), want.data(), bytes)) << bytes;

        for (bool swap : {false, true}) {
            std::fill_n(pairDst.data(), dstBytes, 0);
            (swap ? V().pairSwap : V().pair)(pairDst.data(), pitch, src.data() + pitch, pitch,
                                             bytes);
            (swap ? FilterLinePairSwap_C : FilterLinePair_C)(wantPair.data(), pitch,
                                                             src.data() + pitch, pitch, bytes);
            ASSERT_TRUE(SameBytes(pairDst.data(), wantPair.data(), dstBytes)) << bytes;
        }
    }
}

TEST_P(DeinterlaceKernels, DispatchedLineBlendMatchesTheReference) {
    for (int bytes : {0, 1, 7, 8, 9, 720, 1440, 1441}) {
        const Bytes above = Random(bytes + 1, rng_), line = Random(bytes + 1, rng_);
        const Bytes below = Random(bytes + 1, rng_), canvas = Random(bytes + 1, rng_);
        Bytes got = canvas, want = canvas;
        FilterLine(got.data(), above.data(), line.data(), below.data(), bytes);
        FilterLine_C(want.data(), above.data(), line.data(), below.data(), bytes);
        EXPECT_TRUE(SameBytes(got, want)) << bytes;
    }
}

// --- frames

TEST_P(DeinterlaceKernels, PackedFramesMatchTheModelOnRandomSizesAndStrides) {
    for (int round = 0; round < 300; ++round) {
        const int width = 1 + static_cast<int>(rng_() % 48);
        const int height = 2 + static_cast<int>(rng_() % 11);
        const bool swap = round % 2 == 1;
        const Plane src(2 * width, height, static_cast<int>(rng_() % 9), round % 7 == 3, rng_);
        const Plane canvas(2 * width, height, static_cast<int>(rng_() % 13), round % 5 == 2, rng_);
        Plane got = canvas, want = canvas;
        DeinterlacePacked({src.origin, src.stride}, {got.origin, got.stride}, width, height, swap);
        ModelRows(src.origin, src.stride, want.origin, want.stride, 2 * width, height, swap);
        ASSERT_TRUE(SameBytes(got.bytes, want.bytes))
            << width << "x" << height << " strides " << src.stride << "/" << got.stride
            << (swap ? " swap" : "");
    }
}

TEST_P(DeinterlaceKernels, PlanarFramesMatchTheModelOnRandomSizesAndStrides) {
    for (int round = 0; round < 300; ++round) {
        const int width = 1 + static_cast<int>(rng_() % 80);
        const int height = 2 + static_cast<int>(rng_() % 11);
        const bool swap = round % 2 == 1;
        // Chroma paddings are often zero, so the one-piece copy runs as well as the row copy.
        auto padding = [&](int most) {
            return rng_() % 3 == 0 ? 0 : static_cast<int>(rng_() % most);
        };
        std::vector<Plane> src, got, want;
        for (int p = 0; p < 3; ++p) {
            const int rowBytes = p == 0 ? width : width / 2;
            const int rows = p == 0 ? height : height / 2;
            src.emplace_back(rowBytes, rows, padding(9), round % 7 == 3, rng_);
            got.emplace_back(rowBytes, rows, padding(11), round % 5 == 2, rng_);
            want.push_back(got.back());
        }
        PlanarFrame in{};
        PlanarFrameOut out{}, model{};
        for (int p = 0; p < 3; ++p) {
            in.plane[p] = src[p].origin;
            in.stride[p] = src[p].stride;
            out.plane[p] = got[p].origin;
            out.stride[p] = got[p].stride;
            model.plane[p] = want[p].origin;
            model.stride[p] = want[p].stride;
        }
        DeinterlacePlanar(in, out, width, height, swap);
        ModelPlanar(in, model, width, height, swap);
        for (int p = 0; p < 3; ++p) {
            ASSERT_TRUE(SameBytes(got[p].bytes, want[p].bytes))
                << "plane " << p << ", " << width << "x" << height << (swap ? " swap" : "");
        }
    }
}

TEST_P(DeinterlaceKernels, FramesStayInsidePlanesThatEndAtAGuardPage) {
    // Odd heights too: the last interior row is then blended alone, and a pair there would
    // read a row past the frame.
    for (const auto& [width, height] : {std::pair{4, 6}, {8, 5}, {12, 6}, {36, 5}, {360, 6}}) {
        const ptrdiff_t pitch = 2 * width + 3;
        const size_t frameBytes = static_cast<size_t>(pitch) * (height - 1) + 2 * width;
        for (bool swap : {false, true}) {
            GuardedBuffer src(frameBytes), dst(frameBytes);
            const Bytes values = Random(frameBytes, rng_);
            std::copy(values.begin(), values.end(), src.data());
            Bytes want(frameBytes, 0);
            DeinterlacePacked({src.data(), pitch}, {dst.data(), pitch}, width, height, swap);
            ModelRows(src.data(), pitch, want.data(), pitch, 2 * width, height, swap);
            ASSERT_TRUE(SameBytes(dst.data(), want.data(), frameBytes)) << width;
        }

        std::vector<std::unique_ptr<GuardedBuffer>> src, dst;
        std::vector<Bytes> want;
        PlanarFrame in{};
        PlanarFrameOut out{}, model{};
        for (int p = 0; p < 3; ++p) {
            const int rowBytes = p == 0 ? width : width / 2;
            const int rows = p == 0 ? height : height / 2;
            const size_t bytes = static_cast<size_t>(rowBytes) * rows;
            src.push_back(std::make_unique<GuardedBuffer>(bytes));
            dst.push_back(std::make_unique<GuardedBuffer>(bytes));
            want.emplace_back(bytes, 0);
            const Bytes values = Random(bytes, rng_);
            std::copy(values.begin(), values.end(), src[p]->data());
            in.plane[p] = src[p]->data();
            out.plane[p] = dst[p]->data();
            model.plane[p] = want[p].data();
            in.stride[p] = out.stride[p] = model.stride[p] = rowBytes;
        }
        DeinterlacePlanar(in, out, width, height, true);
        ModelPlanar(in, model, width, height, true);
        for (int p = 0; p < 3; ++p) {
            ASSERT_TRUE(SameBytes(dst[p]->data(), want[p].data(), want[p].size())) << width;
        }
    }
}

// A planar frame in one buffer, the layout the filter uses: luma pitch S, chroma pitch S / 2.
struct PlanarBuffer {
    Bytes bytes;
    PlanarFrameOut out{};

    PlanarBuffer(int height, int stride, uint8_t fill)
        : bytes(static_cast<size_t>(stride) * height * 3 / 2 + stride, fill) {
        const ptrdiff_t chroma = stride / 2;
        out.plane[0] = bytes.data();
        out.plane[1] = out.plane[0] + static_cast<ptrdiff_t>(stride) * height;
        out.plane[2] = out.plane[1] + (height / 2) * chroma;
        out.stride[0] = stride;
        out.stride[1] = out.stride[2] = chroma;
    }
    PlanarFrame In() const {
        return {{out.plane[0], out.plane[1], out.plane[2]},
                {out.stride[0], out.stride[1], out.stride[2]}};
    }
    uint8_t At(int p, int x, int y) const { return out.plane[p][y * out.stride[p] + x]; }
};

TEST_P(DeinterlaceKernels, ConstantFramesComeOutUnchanged) {
    for (int v : {0, 1, 127, 128, 254, 255}) {
        const int width = 40, height = 10;
        const Bytes src(2 * width * height, static_cast<uint8_t>(v));
        Bytes dst(src.size(), static_cast<uint8_t>(v ^ 0x5a));
        DeinterlacePacked({src.data(), 2 * width}, {dst.data(), 2 * width}, width, height, false);
        EXPECT_TRUE(SameBytes(dst, src)) << "packed, value " << v;

        PlanarBuffer in(height, width, static_cast<uint8_t>(v));
        PlanarBuffer out(height, width, static_cast<uint8_t>(v ^ 0x5a));
        DeinterlacePlanar(in.In(), out.out, width, height, false);
        EXPECT_TRUE(SameBytes(out.bytes.data(), in.bytes.data(), width * height * 3 / 2))
            << "planar, value " << v;
    }
}

TEST_P(DeinterlaceKernels, AlternatingLinesGive128InsideAndKeepTheFirstAndLastLines) {
    const int width = 24, height = 8;
    for (int first : {0, 255}) {
        Bytes packed(2 * width * height);
        PlanarBuffer planar(height, width, 77);
        for (int y = 0; y < height; ++y) {
            const uint8_t v = static_cast<uint8_t>(y % 2 == 0 ? first : 255 - first);
            std::fill_n(packed.begin() + 2 * width * y, 2 * width, v);
            std::fill_n(planar.out.plane[0] + width * y, width, v);
        }
        for (bool swap : {false, true}) {
            Bytes out(packed.size());
            DeinterlacePacked({packed.data(), 2 * width}, {out.data(), 2 * width}, width, height,
                              swap);
            for (int y = 0; y < height; ++y) {
                const int want = y == 0 ? first : y == height - 1 ? 255 - first : 128;
                for (int x = 0; x < 2 * width; ++x) {
                    ASSERT_EQ(out[2 * width * y + x], want) << "packed line " << y << " x " << x;
                }
            }
        }
        PlanarBuffer out(height, width, 0);
        DeinterlacePlanar(planar.In(), out.out, width, height, false);
        for (int y = 0; y < height; ++y) {
            const int want = y == 0 ? first : y == height - 1 ? 255 - first : 128;
            for (int x = 0; x < width; ++x) {
                ASSERT_EQ(out.At(0, x, y), want) << "luma line " << y << " x " << x;
            }
        }
    }
}

TEST_P(DeinterlaceKernels, FramesOfHeightTwoAreCopiedAndReordered) {
    const int width = 36;
    const Bytes src = Random(2 * width * 2, rng_);
    for (bool swap : {false, true}) {
        Bytes dst(src.size());
        DeinterlacePacked({src.data(), 2 * width}, {dst.data(), 2 * width}, width, 2, swap);
        for (size_t i = 0; i < src.size(); ++i) {
            ASSERT_EQ(dst[i], src[swap ? i ^ 1 : i]) << i << (swap ? " swap" : "");
        }
    }

    PlanarBuffer in(2, width, 0);
    std::copy_n(Random(in.bytes.size(), rng_).begin(), in.bytes.size(), in.bytes.begin());
    for (bool swap : {false, true}) {
        PlanarBuffer out(2, width, 0);
        DeinterlacePlanar(in.In(), out.out, width, 2, swap);
        for (int x = 0; x < width; ++x) {
            ASSERT_EQ(out.At(0, x, 0), in.At(0, x, 0));
            ASSERT_EQ(out.At(0, x, 1), in.At(0, x, 1));
        }
        for (int x = 0; x < width / 2; ++x) {
            ASSERT_EQ(out.At(1, x, 0), in.At(swap ? 2 : 1, x, 0));
            ASSERT_EQ(out.At(2, x, 0), in.At(swap ? 1 : 2, x, 0));
        }
    }
}

TEST_P(DeinterlaceKernels, ChromaPlanesAreCopiedBitForBitOrExchanged) {
    const int width = 72, height = 12;
    for (int stride : {width, width + 10, width + 9}) {
        PlanarBuffer in(height, width, 0);
        std::copy_n(Random(in.bytes.size(), rng_).begin(), in.bytes.size(), in.bytes.begin());
        for (bool swap : {false, true}) {
            PlanarBuffer out(height, stride, 0xee);
            DeinterlacePlanar(in.In(), out.out, width, height, swap);
            for (int p = 1; p <= 2; ++p) {
                const int from = swap ? 3 - p : p;
                for (int y = 0; y < height / 2; ++y) {
                    for (int x = 0; x < width / 2; ++x) {
                        ASSERT_EQ(out.At(p, x, y), in.At(from, x, y))
                            << "plane " << p << " (" << x << "," << y << ") stride " << stride;
                    }
                    for (int x = width / 2; x < stride / 2; ++x) {
                        ASSERT_EQ(out.At(p, x, y), 0xee) << "padding written, plane " << p;
                    }
                }
            }
        }
    }
}

TEST_P(DeinterlaceKernels, Yuy2BecomesUyvyOnEveryLine) {
    // Columns constant from top to bottom, so the blend keeps every value and only the order
    // of the bytes can change.
    const int width = 20, height = 6;
    Bytes yuy2(2 * width * height);
    for (int y = 0; y < height; ++y) {
        for (int pair = 0; pair < width / 2; ++pair) {
            uint8_t* p = yuy2.data() + 2 * width * y + 4 * pair;
            p[0] = static_cast<uint8_t>(16 + pair);   // Y0
            p[1] = static_cast<uint8_t>(100 + pair);  // U
            p[2] = static_cast<uint8_t>(50 + pair);   // Y1
            p[3] = static_cast<uint8_t>(200 + pair);  // V
        }
    }
    const ptrdiff_t outPitch = 2 * width + 8;
    Bytes uyvy(outPitch * height, 0xcc);
    DeinterlacePacked({yuy2.data(), 2 * width}, {uyvy.data(), outPitch}, width, height, true);
    for (int y = 0; y < height; ++y) {
        for (int pair = 0; pair < width / 2; ++pair) {
            const uint8_t* p = uyvy.data() + outPitch * y + 4 * pair;
            ASSERT_EQ(p[0], 100 + pair) << "U, line " << y;
            ASSERT_EQ(p[1], 16 + pair) << "Y0, line " << y;
            ASSERT_EQ(p[2], 200 + pair) << "V, line " << y;
            ASSERT_EQ(p[3], 50 + pair) << "Y1, line " << y;
        }
        for (ptrdiff_t x = 2 * width; x < outPitch; ++x) {
            ASSERT_EQ(uyvy[outPitch * y + x], 0xcc) << "padding written, line " << y;
        }
    }
    // And back again.
    Bytes back(2 * width * height);
    DeinterlacePacked({uyvy.data(), outPitch}, {back.data(), 2 * width}, width, height, true);
    EXPECT_TRUE(SameBytes(back, yuy2));
}

TEST_P(DeinterlaceKernels, ASingleLineIsCopied) {
    const int width = 16;
    const Bytes src = Random(2 * width, rng_);
    Bytes dst(src.size());
    DeinterlacePacked({src.data(), 2 * width}, {dst.data(), 2 * width}, width, 1, false);
    EXPECT_TRUE(SameBytes(dst, src));

    PlanarBuffer in(1, width, 9), out(1, width, 0);
    DeinterlacePlanar(in.In(), out.out, width, 1, true);
    for (int x = 0; x < width; ++x) {
        ASSERT_EQ(out.At(0, x, 0), 9);
    }
}

TEST_P(DeinterlaceKernels, ArgumentsOutsideTheContractLeaveTheDestinationAlone) {
    Bytes src(64, 1), dst(64, 0xab);
    const Bytes untouched = dst;
    const PackedPlaneOut out{dst.data(), 16};
    DeinterlacePacked({src.data(), 16}, out, 0, 4, false);
    DeinterlacePacked({src.data(), 16}, out, -8, 4, false);
    DeinterlacePacked({src.data(), 16}, out, 8, 0, true);
    DeinterlacePacked({src.data(), 16}, out, 8, -2, true);
    DeinterlacePacked({nullptr, 16}, out, 8, 4, false);
    DeinterlacePacked({src.data(), 16}, {nullptr, 16}, 8, 4, false);
    // Two bytes a pixel would overflow the row length.
    DeinterlacePacked({src.data(), 16}, out, INT_MAX / 2 + 1, 4, false);
    EXPECT_TRUE(SameBytes(dst, untouched));

    const PlanarFrame in{{src.data(), src.data() + 32, src.data() + 48}, {8, 4, 4}};
    PlanarFrameOut planes{{dst.data(), dst.data() + 32, dst.data() + 48}, {8, 4, 4}};
    DeinterlacePlanar(in, planes, 0, 4, false);
    DeinterlacePlanar(in, planes, 8, -4, true);
    planes.plane[2] = nullptr;
    DeinterlacePlanar(in, planes, 8, 4, false);
    EXPECT_TRUE(SameBytes(dst, untouched));
}

INSTANTIATE_TEST_SUITE_P(Variants, DeinterlaceKernels, testing::ValuesIn(kVariants),
                         [](const testing::TestParamInfo<Variant>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace fieldmend
