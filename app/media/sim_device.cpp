#include "sim_device.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "gst_ptr.h"
#include "sim_file_input.h"
#include "sim_scene.h"
#include "sim_source_element.h"

namespace ovistra::media {
namespace {

// What the chip reports through its private property interface.
constexpr uint32_t kSimChipId = 50;
constexpr uint32_t kSimValue4135 = 0x00002820;
constexpr uint32_t kSimValue4136 = 0x00000001;

// The amplifier's ranges: the camera settings dialog's sliders. Neutral is the default except
// for sharpness, which changes nothing at any value.
constexpr ProcAmpRange kRanges[5] = {
    {0, 255, 1, 100, kProcAmpFlagsManual},  // brightness
    {0, 63, 1, 32, kProcAmpFlagsManual},    // contrast
    {0, 127, 1, 64, kProcAmpFlagsManual},   // hue
    {0, 63, 1, 32, kProcAmpFlagsManual},    // saturation
    {0, 15, 1, 0, kProcAmpFlagsManual},     // sharpness
};
constexpr int kNeutralBrightness = 100;
constexpr int kNeutralContrast = 32;
constexpr int kNeutralHue = 64;
constexpr int kNeutralSaturation = 32;

// An unsettled picture rolls up: it starts this many lines off and moves on at this speed.
constexpr int kRollStartLines = 60;
constexpr int64_t kRollLinesPerSecond = 2000;
constexpr int kRollNoiseAmplitude = SimScene::kUnsettledNoiseAmplitude;
constexpr size_t kRollNoiseSpread = 65536;

int64_t MonotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int Index(ProcAmpProperty property) {
    const int index = static_cast<int>(property);
    return index >= 0 && index < 5 ? index : -1;
}

// The picture as vectors of eight 16-bit words, one per pixel: luma in the low byte, the
// pixel's chroma (U for even pixels, V for odd ones) in the high byte. GCC's and Clang's vector
// extensions make each loop a handful of SSE2 instructions per 8 pixels; every value fits 16
// bits.
using Words = int16_t __attribute__((vector_size(16)));
constexpr size_t kVectorBytes = sizeof(Words);
static_assert(kFrameBytes % kVectorBytes == 0);

Words Splat(int value) {
    return Words{} + static_cast<int16_t>(value);
}
Words Clamp255(Words value) {
    const Words zero = {};
    const Words top = Splat(255);
    value = value < zero ? zero : value;
    return value > top ? top : value;
}
// Each word's neighbour in its pixel pair: U beside V, V beside U.
Words SwapPairs(Words words) {
#if defined(__clang__)
    return __builtin_shufflevector(words, words, 1, 0, 3, 2, 5, 4, 7, 6);
#else
    using Lanes = int16_t __attribute__((vector_size(16)));
    return __builtin_shuffle(words, Lanes{1, 0, 3, 2, 5, 4, 7, 6});
#endif
}

// Brightness is an offset of the luma (value - 100), contrast a gain around 16 (value / 32):
// luma' = 16 + ((luma - 16) * contrast >> 5) + brightness - 100, clamped to 0..255.
void ApplyLuma(uint8_t* frame, int brightness, int contrast) {
    const Words offset = Splat(16 + brightness - kNeutralBrightness);
    const Words gain = Splat(contrast);
    const Words low = Splat(0xFF);
    for (size_t i = 0; i < kFrameBytes; i += kVectorBytes) {
        Words words;
        std::memcpy(&words, frame + i, kVectorBytes);
        const Words luma = Clamp255((((words & low) - 16) * gain >> 5) + offset);
        words = (words & ~low) | luma;
        std::memcpy(frame + i, &words, kVectorBytes);
    }
}

// Saturation is a gain of the chroma around 128 (value / 32), hue a rotation of it by
// (value - 64) * 180 / 64 degrees, with coefficients in 1/64:
// U' = 128 + ((c * (U - 128) - s * (V - 128) + 32) >> 6), V' = 128 + ((s * (U - 128) +
// c * (V - 128) + 32) >> 6), clamped to 0..255.
void ApplyChroma(uint8_t* frame, int hue, int saturation) {
    const double angle = (hue - kNeutralHue) * std::numbers::pi / 64.0;
    const double gain = static_cast<double>(saturation) / kNeutralSaturation;
    const auto c = static_cast<int16_t>(std::lround(std::cos(angle) * gain * 64.0));
    const auto s = static_cast<int16_t>(std::lround(std::sin(angle) * gain * 64.0));
    const Words own = Splat(c);
    const Words other = {static_cast<int16_t>(-s), s, static_cast<int16_t>(-s), s,
                         static_cast<int16_t>(-s), s, static_cast<int16_t>(-s), s};
    const Words low = Splat(0xFF);
    for (size_t i = 0; i < kFrameBytes; i += kVectorBytes) {
        Words words;
        std::memcpy(&words, frame + i, kVectorBytes);
        const Words chroma = ((words >> 8) & low) - 128;
        const Words turned = (own * chroma + other * SwapPairs(chroma) + 32) >> 6;
        words = (words & low) | (Clamp255(turned + 128) << 8);
        std::memcpy(frame + i, &words, kVectorBytes);
    }
}

// Adds `noise` (one word per pixel) to the luma, clamped to 0..255.
void AddLumaNoise(uint8_t* frame, const int16_t* noise) {
    const Words low = Splat(0xFF);
    for (size_t i = 0; i < kFrameBytes; i += kVectorBytes) {
        Words words;
        Words add;
        std::memcpy(&words, frame + i, kVectorBytes);
        std::memcpy(&add, noise + i / 2, kVectorBytes);
        words = (words & ~low) | Clamp255((words & low) + add);
        std::memcpy(frame + i, &words, kVectorBytes);
    }
}

// The input mark's luma: far apart levels, so a converter's rounding or a chroma resampling
// leaves it readable.
constexpr int kMarkFirstLevel = 40;
constexpr int kMarkLevelStep = 56;
constexpr int kMarkTolerance = 24;  // below half a step: no level is read as another

int MarkLevel(int input) {
    return kMarkFirstLevel + kMarkLevelStep * input;
}

// About -40 dBFS: an open line input, heard only with the volume turned up.
constexpr double kHumVolume = 0.01;

}  // namespace

SimulatedDevice::SimulatedDevice(SimDeviceConfig config)
    : config_(std::move(config)),
      chipProperty_(*this, kSimChipId, kSimValue4135, kSimValue4136),
      settleMs_(std::max(0, config_.settleMs)) {
    for (int i = 0; i < 4; ++i) {
        if (config_.files[i] == nullptr) {
            scenes_[i] = std::make_unique<SimScene>(i + 1, config_.seed, config_.motions,
                                                    config_.lights, config_.nights[i]);
        }
    }
    // The noise of unsettled pictures of file inputs (scenes have theirs made): one picture's
    // worth plus a spread to start anywhere in.
    const bool anyFile = std::any_of(config_.files.begin(), config_.files.end(),
                                     [](const auto& file) { return file != nullptr; });
    rollNoise_.resize(anyFile ? kFrameBytes / 2 + kRollNoiseSpread : 0);
    uint32_t state = config_.seed * 2654435761u + 1;
    for (int16_t& noise : rollNoise_) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        noise = static_cast<int16_t>(static_cast<int>(state % (2 * kRollNoiseAmplitude)) -
                                     kRollNoiseAmplitude);
    }
    for (int i = 0; i < 5; ++i) {
        procAmp_[i] = kRanges[i].defaultValue;
        procAmpFlags_[i] = kRanges[i].flags;
    }
}

SimulatedDevice::~SimulatedDevice() {
    StopInputs();
}

GstElement* SimulatedDevice::MakeSourceElement() {
    std::shared_ptr<SimulatedDevice> self = weak_from_this().lock();
    if (self == nullptr) {
        // Not owned by a shared_ptr: a reference that owns nothing; the caller keeps the device
        // alive for as long as the element lives.
        self = std::shared_ptr<SimulatedDevice>(std::shared_ptr<void>(), this);
    }
    GstElement* element = MakeSimSourceElement(self);
    if (element != nullptr && !config_.unplugs.empty()) {
        WatchForUnplug(element);
    }
    return element;
}

void SimulatedDevice::WatchForUnplug(GstElement* element) {
    // The USB link: once the device is gone no picture leaves it and the source fails as a
    // real one does, with a read error and an end of its streaming.
    GstPtr<GstPad> pad(gst_element_get_static_pad(element, "src"));
    gst_pad_add_probe(
        pad.get(), GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad* src, GstPadProbeInfo* info, gpointer self) {
            if (static_cast<const SimulatedDevice*>(self)->Present()) {
                return GST_PAD_PROBE_OK;
            }
            GST_ELEMENT_ERROR(GST_PAD_PARENT(src), RESOURCE, READ,
                              ("The capture device was unplugged."), (nullptr));
            GST_PAD_PROBE_INFO_FLOW_RETURN(info) = GST_FLOW_ERROR;
            return GST_PAD_PROBE_DROP;
        },
        this, nullptr);
}

bool SimulatedDevice::Present() const {
    const int64_t startNs = firstStartNs_.load();
    if (startNs < 0) {
        return true;
    }
    const double seconds = static_cast<double>(MonotonicNs() - startNs) / 1e9;
    return std::none_of(config_.unplugs.begin(), config_.unplugs.end(),
                        [seconds](const auto& span) {
                            return seconds >= span.startSeconds && seconds < span.endSeconds;
                        });
}

GstElement* SimulatedDevice::MakeAudioSourceElement() {
    GstElement* source = gst_element_factory_make("audiotestsrc", nullptr);
    if (source == nullptr) {
        return nullptr;
    }
    // A transformer hums at twice the mains frequency, and the mains frequency goes with the
    // television standard of the region: 100 Hz with PAL, 120 Hz with NTSC.
    const double humHz = standard_.load() == kStandardNtsc ? 120.0 : 100.0;
    gst_util_set_object_arg(G_OBJECT(source), "wave", "sine");
    g_object_set(source, "freq", humHz, "volume", kHumVolume, "is-live", TRUE, nullptr);
    return source;
}

// --- I2cBus

bool SimulatedDevice::WriteI2c(uint8_t address, uint8_t reg, const uint8_t* bytes, size_t count) {
    if (address != kDecoderAddress || bytes == nullptr || count == 0) {
        return false;
    }
    // The bytes go to consecutive registers; the decoder takes all of them or none.
    for (size_t i = 0; i < count; ++i) {
        const size_t target = reg + i;
        const uint8_t value = bytes[i];
        if (target == kDecoderInputRegister) {
            if (value > 3) {
                return false;
            }
        } else if (target == kDecoderStandardRegister) {
            if (value != kStandardPal && value != kStandardNtsc) {
                return false;
            }
        } else {
            return false;
        }
    }
    std::lock_guard guard(busLock_);
    for (size_t i = 0; i < count; ++i) {
        if (reg + i == kDecoderStandardRegister) {
            standard_ = bytes[i];
            continue;
        }
        const int input = bytes[i];
        if (input == input_.load()) {
            continue;  // the current input again: nothing changes
        }
        // The time first: a picture that sees the new input also sees its change time.
        inputChangedNs_ = MonotonicNs();
        input_ = input;
        inputSwitches_.fetch_add(1);
    }
    return true;
}

int SimulatedDevice::FramesPerSecond() const {
    return standard_.load() == kStandardNtsc ? 30 : 25;
}

int SimulatedDevice::SelectedInput() const {
    return input_.load();
}

void SimulatedDevice::SetSettleMs(int ms) {
    settleMs_ = std::max(0, ms);
}

bool SimulatedDevice::Unsettled() const {
    const int64_t changedNs = inputChangedNs_.load();
    return changedNs >= 0 && MonotonicNs() - changedNs < int64_t{settleMs_.load()} * 1000000;
}

// --- VideoProcAmp

ProcAmpRange SimulatedDevice::RangeOf(ProcAmpProperty property) const {
    return kRanges[Index(property)];
}

HRESULT SimulatedDevice::GetRange(ProcAmpProperty property, ProcAmpRange* range) {
    if (range == nullptr) {
        return E_POINTER;
    }
    if (Index(property) < 0) {
        return E_INVALIDARG;
    }
    *range = RangeOf(property);
    return S_OK;
}

HRESULT SimulatedDevice::Get(ProcAmpProperty property, long* value, long* flags) {
    if (value == nullptr || flags == nullptr) {
        return E_POINTER;
    }
    const int index = Index(property);
    if (index < 0) {
        return E_INVALIDARG;
    }
    *value = procAmp_[index].load();
    *flags = procAmpFlags_[index].load();
    return S_OK;
}

HRESULT SimulatedDevice::Set(ProcAmpProperty property, long value, long flags) {
    const int index = Index(property);
    if (index < 0) {
        return E_INVALIDARG;
    }
    const ProcAmpRange range = RangeOf(property);
    if (value < range.min || value > range.max) {
        return E_INVALIDARG;
    }
    procAmp_[index] = value;
    procAmpFlags_[index] = flags;
    return S_OK;
}

// --- Crossbar: the one route there is, the composite input to the decoder

HRESULT SimulatedDevice::Route(int outputPin, int inputPin) {
    return outputPin == 0 && inputPin == 1 ? S_OK : E_INVALIDARG;
}

// --- the picture

void SimulatedDevice::RenderFrame(uint8_t* frame, int64_t elapsedNs) {
    // Input before its change time: WriteI2c stores them the other way round.
    const int input = input_.load();
    const int64_t changedNs = inputChangedNs_.load();
    const int64_t settleNs = int64_t{settleMs_.load()} * 1000000;
    elapsedNs = std::max<int64_t>(elapsedNs, 0);
    const int64_t frameIndex = elapsedNs * FramesPerSecond() / 1000000000;

    const int64_t sinceChangeNs = changedNs < 0 ? settleNs : MonotonicNs() - changedNs;
    const bool unsettled = sinceChangeNs >= 0 && sinceChangeNs < settleNs;
    int rowShift = 0;
    if (unsettled) {
        rowShift = static_cast<int>(
            (kRollStartLines + sinceChangeNs * kRollLinesPerSecond / 1000000000) % kFrameHeight);
    }

    if (const std::shared_ptr<SimFileInput>& file = config_.files[input]) {
        file->CopyLatest(frame, rowShift);
        if (unsettled) {
            const auto millis = static_cast<uint32_t>(sinceChangeNs / 1000000);
            // A start anywhere in the spread, on a whole vector.
            const size_t start = ((millis * 2654435761u >> 8) % kRollNoiseSpread) & ~size_t{7};
            AddLumaNoise(frame, &rollNoise_[start]);
        }
    } else {
        scenes_[input]->Render(frame, elapsedNs, frameIndex, rowShift, unsettled);
    }

    const auto brightness = static_cast<int>(procAmp_[0].load());
    const auto contrast = static_cast<int>(procAmp_[1].load());
    const auto hue = static_cast<int>(procAmp_[2].load());
    const auto saturation = static_cast<int>(procAmp_[3].load());
    if (brightness != kNeutralBrightness || contrast != kNeutralContrast) {
        ApplyLuma(frame, brightness, contrast);
    }
    if (hue != kNeutralHue || saturation != kNeutralSaturation) {
        ApplyChroma(frame, hue, saturation);
    }
    MarkInput(frame, input);
}

void SimulatedDevice::MarkInput(uint8_t* frame, int input) {
    const auto level = static_cast<uint8_t>(MarkLevel(std::clamp(input, 0, 3)));
    for (int line = kSimInputMarkTop; line < kSimInputMarkTop + kSimInputMarkHeight; ++line) {
        uint8_t* p = frame + size_t(line) * kFrameStride + size_t(kSimInputMarkLeft) * 2;
        for (int x = 0; x < kSimInputMarkWidth; ++x, p += 2) {
            p[0] = x < kSimInputMarkWidth / 2 ? level : static_cast<uint8_t>(255 - level);
            p[1] = 128;
        }
    }
}

int SimulatedDevice::InputMarkedIn(const uint8_t* frame) {
    if (frame == nullptr) {
        return -1;
    }
    for (int input = 0; input < 4; ++input) {
        bool all = true;
        for (int line = kSimInputMarkTop; all && line < kSimInputMarkTop + kSimInputMarkHeight;
             ++line) {
            const uint8_t* p = frame + size_t(line) * kFrameStride + size_t(kSimInputMarkLeft) * 2;
            for (int x = 0; all && x < kSimInputMarkWidth; ++x, p += 2) {
                const int expected =
                    x < kSimInputMarkWidth / 2 ? MarkLevel(input) : 255 - MarkLevel(input);
                all = std::abs(p[0] - expected) <= kMarkTolerance;
            }
        }
        if (all) {
            return input;
        }
    }
    return -1;
}

int SimulatedDevice::CameraShownIn(const uint8_t* frame) {
    if (frame == nullptr) {
        return 0;
    }
    // The marker's inside, away from its edges: mean chroma, and how far it strays.
    constexpr int kInset = 8;
    int sumU = 0;
    int sumV = 0;
    int minU = 255, maxU = 0, minV = 255, maxV = 0;
    int groups = 0;
    for (int line = kSimMarkerTop + kInset; line < kSimMarkerTop + kSimMarkerHeight - kInset;
         ++line) {
        const uint8_t* p =
            frame + size_t(line) * kFrameStride + size_t(kSimMarkerLeft + kInset) * 2;
        for (int g = 0; g < (kSimMarkerWidth - 2 * kInset) / 2; ++g, p += 4) {
            sumU += p[1];
            sumV += p[3];
            minU = std::min<int>(minU, p[1]);
            maxU = std::max<int>(maxU, p[1]);
            minV = std::min<int>(minV, p[3]);
            maxV = std::max<int>(maxV, p[3]);
            ++groups;
        }
    }
    constexpr int kMaxSpread = 24;
    if (maxU - minU > kMaxSpread || maxV - minV > kMaxSpread) {
        return 0;  // no even block of colour there
    }
    const int meanU = sumU / groups;
    const int meanV = sumV / groups;
    constexpr int kMaxDistance = 32;
    int best = 0;
    int bestDistance = kMaxDistance * kMaxDistance;
    for (int camera = 1; camera <= 4; ++camera) {
        const SimMarkerColour colour = kSimMarkerColours[camera - 1];
        const int du = meanU - colour.u;
        const int dv = meanV - colour.v;
        if (du * du + dv * dv < bestDistance) {
            bestDistance = du * du + dv * dv;
            best = camera;
        }
    }
    return best;
}

// --- file inputs

void SimulatedDevice::StartInputs() {
    int64_t unset = -1;
    firstStartNs_.compare_exchange_strong(unset, MonotonicNs());
    for (const auto& file : config_.files) {
        if (file != nullptr) {
            file->Start();
        }
    }
}

void SimulatedDevice::StopInputs() {
    for (const auto& file : config_.files) {
        if (file != nullptr) {
            file->Stop();
        }
    }
}

}  // namespace ovistra::media
