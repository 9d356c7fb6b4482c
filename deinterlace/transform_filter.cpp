#include "transform_filter.h"

namespace fieldmend {

bool MediaSample::GetPlanes(FramePlanes* /*planes*/) {
    return false;
}

// --- MemorySample

MemorySample::MemorySample(uint8_t* data, int32_t sizeBytes)
    : data_(data), sizeBytes_(sizeBytes), actualBytes_(sizeBytes) {}

HRESULT MemorySample::GetPointer(uint8_t** data) {
    if (data == nullptr) {
        return E_POINTER;
    }
    *data = data_;
    return S_OK;
}

int32_t MemorySample::GetSize() {
    return sizeBytes_;
}

int32_t MemorySample::GetActualDataLength() {
    return actualBytes_;
}

HRESULT MemorySample::SetActualDataLength(int32_t bytes) {
    if (bytes < 0 || bytes > sizeBytes_) {
        return VFW_E_BUFFER_OVERFLOW;
    }
    actualBytes_ = bytes;
    return S_OK;
}

HRESULT MemorySample::GetTime(ReferenceTime* start, ReferenceTime* stop) {
    if (start == nullptr || stop == nullptr) {
        return E_POINTER;
    }
    if (!start_) {
        return VFW_E_SAMPLE_TIME_NOT_SET;
    }
    *start = *start_;
    if (!stop_) {
        *stop = *start_ + 1;
        return VFW_S_NO_STOP_TIME;
    }
    *stop = *stop_;
    return S_OK;
}

HRESULT MemorySample::SetTime(const ReferenceTime* start, const ReferenceTime* stop) {
    start_.reset();
    stop_.reset();
    if (start != nullptr) {
        start_ = *start;
        if (stop != nullptr) {
            stop_ = *stop;
        }
    }
    return S_OK;
}

HRESULT MemorySample::IsSyncPoint() {
    return syncPoint_ ? S_OK : S_FALSE;
}

HRESULT MemorySample::SetSyncPoint(bool sync) {
    syncPoint_ = sync;
    return S_OK;
}

HRESULT MemorySample::GetMediaType(MediaType* type) {
    if (type == nullptr) {
        return E_POINTER;
    }
    if (!mediaType_) {
        return S_FALSE;
    }
    *type = *mediaType_;
    return S_OK;
}

// --- CTransformFilter

namespace {

// Remembers what the allocator granted, so the output pin keeps it.
class GrantRecorder : public MemAllocator {
public:
    explicit GrantRecorder(MemAllocator* inner) : inner_(inner) {}

    HRESULT SetProperties(const AllocatorProperties* request,
                          AllocatorProperties* actual) override {
        const HRESULT hr = inner_->SetProperties(request, actual);
        if (Succeeded(hr) && actual != nullptr) {
            granted = *actual;
        }
        return hr;
    }

    std::optional<AllocatorProperties> granted;

private:
    MemAllocator* inner_;
};

}  // namespace

HRESULT CTransformFilter::ConnectInput(const MediaType& type) {
    if (input_) {
        return VFW_E_ALREADY_CONNECTED;
    }
    const HRESULT hr = CheckInputType(&type);
    if (hr != S_OK) {
        return Failed(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    }
    input_ = type;
    return S_OK;
}

HRESULT CTransformFilter::ConnectOutput(const MediaType& type) {
    if (!input_) {
        return VFW_E_NOT_CONNECTED;
    }
    if (output_) {
        return VFW_E_ALREADY_CONNECTED;
    }
    const HRESULT hr = CheckTransform(&*input_, &type);
    if (hr != S_OK) {
        return Failed(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    }
    output_ = type;
    return S_OK;
}

HRESULT CTransformFilter::Disconnect(PinDirection direction) {
    if (streaming_) {
        return VFW_E_NOT_STOPPED;
    }
    std::optional<MediaType>& pin = direction == PINDIR_INPUT ? input_ : output_;
    if (!pin) {
        return S_FALSE;
    }
    const HRESULT hr = BreakConnect(direction);
    if (Failed(hr)) {
        return hr;
    }
    pin.reset();
    if (direction == PINDIR_OUTPUT) {
        allocation_ = {};
    }
    return S_OK;
}

bool CTransformFilter::IsConnected(PinDirection direction) const {
    return (direction == PINDIR_INPUT ? input_ : output_).has_value();
}

HRESULT CTransformFilter::ConnectionMediaType(PinDirection direction, MediaType* type) const {
    if (type == nullptr) {
        return E_POINTER;
    }
    const std::optional<MediaType>& pin = direction == PINDIR_INPUT ? input_ : output_;
    if (!pin) {
        return VFW_E_NOT_CONNECTED;
    }
    *type = *pin;
    return S_OK;
}

HRESULT CTransformFilter::EnumOutputType(int position, MediaType* type) {
    if (!input_) {
        return VFW_E_NOT_CONNECTED;
    }
    return GetMediaType(position, type);
}

HRESULT CTransformFilter::DecideAllocator(MemAllocator* allocator,
                                          const AllocatorProperties& request) {
    if (allocator == nullptr) {
        return E_POINTER;
    }
    if (!output_) {
        return VFW_E_NOT_CONNECTED;
    }
    GrantRecorder recorder(allocator);
    AllocatorProperties properties = request;
    const HRESULT hr = DecideBufferSize(&recorder, &properties);
    if (Failed(hr)) {
        return hr;
    }
    if (recorder.granted) {
        allocation_ = *recorder.granted;
    }
    return hr;
}

HRESULT CTransformFilter::Pause() {
    if (streaming_) {
        return S_OK;
    }
    if (!input_ || !output_) {
        return VFW_E_NOT_CONNECTED;
    }
    const HRESULT hr = StartStreaming();
    if (Failed(hr)) {
        return hr;
    }
    streaming_ = true;
    return S_OK;
}

HRESULT CTransformFilter::Stop() {
    if (!streaming_) {
        return S_OK;
    }
    streaming_ = false;
    return StopStreaming();
}

HRESULT CTransformFilter::Receive(MediaSample* in, MediaSample* out) {
    if (in == nullptr || out == nullptr) {
        return E_POINTER;
    }
    if (!streaming_) {
        return VFW_E_WRONG_STATE;
    }
    ReferenceTime start = 0;
    ReferenceTime stop = 0;
    const HRESULT timeHr = in->GetTime(&start, &stop);
    if (timeHr == S_OK) {
        out->SetTime(&start, &stop);
    } else if (timeHr == VFW_S_NO_STOP_TIME) {
        out->SetTime(&start, nullptr);
    }
    out->SetSyncPoint(in->IsSyncPoint() == S_OK);
    return Transform(in, out);
}

HRESULT CTransformFilter::BreakConnect(PinDirection /*direction*/) {
    return S_OK;
}

}  // namespace fieldmend
