// A small transform-filter base: the connection types of its input and output, the allocator
// properties agreed for output buffers, the stopped/streaming state and the receive path that
// runs Transform once per sample. A subclass supplies the type checks, the proposals, the buffer
// size and the transform itself.
//
// Not thread-safe: the owner serialises every call (the GStreamer element holds its lock around
// each), which also keeps streaming apart from connection changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "media_types.h"

namespace fieldmend {

enum PinDirection { PINDIR_INPUT, PINDIR_OUTPUT };

struct AllocatorProperties {
    int32_t cBuffers = 0;
    int32_t cbBuffer = 0;  // bytes per buffer
    int32_t cbAlign = 0;
    int32_t cbPrefix = 0;
};

// Where output buffers come from.
class MemAllocator {
public:
    virtual ~MemAllocator() = default;
    // Asks for `request`; `actual` receives what was granted, which may differ.
    virtual HRESULT SetProperties(const AllocatorProperties* request,
                                  AllocatorProperties* actual) = 0;
};

// The planes of a frame as they lie in memory.
struct FramePlanes {
    int count = 0;  // 1 for packed, 3 for planar, in memory order
    uint8_t* data[3] = {};
    ptrdiff_t strideBytes[3] = {};
    int width = 0;  // the pixels the planes hold
    int height = 0;
};

class MediaSample {
public:
    virtual ~MediaSample() = default;

    virtual HRESULT GetPointer(uint8_t** data) = 0;
    virtual int32_t GetSize() = 0;  // bytes the buffer holds
    virtual int32_t GetActualDataLength() = 0;
    virtual HRESULT SetActualDataLength(int32_t bytes) = 0;
    // S_OK; VFW_S_NO_STOP_TIME with only a start (*stop = start + 1);
    // VFW_E_SAMPLE_TIME_NOT_SET without times.
    virtual HRESULT GetTime(ReferenceTime* start, ReferenceTime* stop) = 0;
    // A null start clears both times; a null stop keeps the start alone.
    virtual HRESULT SetTime(const ReferenceTime* start, const ReferenceTime* stop) = 0;
    virtual HRESULT IsSyncPoint() = 0;  // S_OK or S_FALSE
    virtual HRESULT SetSyncPoint(bool sync) = 0;
    // S_OK and the type when the sample announces a new media type, else S_FALSE.
    virtual HRESULT GetMediaType(MediaType* type) = 0;
    // The frame's planes when the sample knows their real strides and offsets; false when the
    // frame lies at GetPointer in the connection's own layout.
    virtual bool GetPlanes(FramePlanes* planes);
};

// A sample over memory the caller owns.
class MemorySample : public MediaSample {
public:
    MemorySample(uint8_t* data, int32_t sizeBytes);

    HRESULT GetPointer(uint8_t** data) override;
    int32_t GetSize() override;
    int32_t GetActualDataLength() override;
    HRESULT SetActualDataLength(int32_t bytes) override;
    HRESULT GetTime(ReferenceTime* start, ReferenceTime* stop) override;
    HRESULT SetTime(const ReferenceTime* start, const ReferenceTime* stop) override;
    HRESULT IsSyncPoint() override;
    HRESULT SetSyncPoint(bool sync) override;
    HRESULT GetMediaType(MediaType* type) override;

    // Announces a new media type with this sample.
    void SetMediaType(const MediaType& type) { mediaType_ = type; }

private:
    uint8_t* data_;
    int32_t sizeBytes_;
    int32_t actualBytes_;
    std::optional<ReferenceTime> start_;
    std::optional<ReferenceTime> stop_;
    bool syncPoint_ = false;
    std::optional<MediaType> mediaType_;
};

class CTransformFilter {
public:
    CTransformFilter() = default;
    virtual ~CTransformFilter() = default;
    CTransformFilter(const CTransformFilter&) = delete;
    CTransformFilter& operator=(const CTransformFilter&) = delete;

    // --- the pins
    // The input accepts what CheckInputType accepts; the output, once the input is connected,
    // what CheckTransform accepts against it.
    HRESULT ConnectInput(const MediaType& type);
    HRESULT ConnectOutput(const MediaType& type);
    // Only while stopped; BreakConnect runs first. S_FALSE when the pin was not connected.
    HRESULT Disconnect(PinDirection direction);
    bool IsConnected(PinDirection direction) const;
    // A copy of the pin's connection type; VFW_E_NOT_CONNECTED without one.
    HRESULT ConnectionMediaType(PinDirection direction, MediaType* type) const;
    // The output pin's proposals: GetMediaType, while the input is connected.
    HRESULT EnumOutputType(int position, MediaType* type);
    // Agrees output buffers with `allocator` through DecideBufferSize; the granted properties
    // are kept for the output pin.
    HRESULT DecideAllocator(MemAllocator* allocator, const AllocatorProperties& request);
    const AllocatorProperties& OutputAllocation() const { return allocation_; }

    // --- state
    // Leaving the stopped state starts streaming (StartStreaming); needs both pins connected.
    HRESULT Pause();
    HRESULT Stop();
    bool IsStreaming() const { return streaming_; }

    // --- streaming
    // Copies the sample properties to the output sample, then runs Transform.
    HRESULT Receive(MediaSample* in, MediaSample* out);

    // --- what a subclass gives
    virtual HRESULT Transform(MediaSample* in, MediaSample* out) = 0;
    virtual HRESULT CheckInputType(const MediaType* in) = 0;
    virtual HRESULT CheckTransform(const MediaType* in, const MediaType* out) = 0;
    virtual HRESULT DecideBufferSize(MemAllocator* allocator, AllocatorProperties* properties) = 0;
    virtual HRESULT GetMediaType(int position, MediaType* type) = 0;
    virtual HRESULT StartStreaming() { return S_OK; }
    virtual HRESULT StopStreaming() { return S_OK; }
    virtual HRESULT BreakConnect(PinDirection direction);

protected:
    // The connection types themselves; null while unconnected.
    const MediaType* InputType() const { return input_ ? &*input_ : nullptr; }
    const MediaType* OutputType() const { return output_ ? &*output_ : nullptr; }
    // The output connection continues with a type the downstream side announced.
    void ReplaceOutputType(const MediaType& type) { output_ = type; }

private:
    std::optional<MediaType> input_;
    std::optional<MediaType> output_;
    AllocatorProperties allocation_;
    bool streaming_ = false;
};

}  // namespace fieldmend
