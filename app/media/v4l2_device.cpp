#include "v4l2_device.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

namespace ovistra::media {
namespace {

constexpr int kDecoderInputs = 4;
constexpr int kMaxVideoNodes = 64;

class SystemIo final : public V4l2Io {
public:
    int Open(const std::string& path) override {
        return ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    }
    int Ioctl(int fd, unsigned long request, void* arg) override {
        int result;
        do {
            result = ::ioctl(fd, request, arg);
        } while (result == -1 && errno == EINTR);
        return result;
    }
    void Close(int fd) override { ::close(fd); }
};

// The settings' slider for a property and the V4L2 control behind it.
struct ProcAmpControl {
    uint32_t id;
    long sliderMin;
    long sliderMax;
    long sliderDefault;
};

const ProcAmpControl* ControlFor(ProcAmpProperty property) {
    static constexpr ProcAmpControl kControls[] = {
        {V4L2_CID_BRIGHTNESS, 0, 255, 100}, {V4L2_CID_CONTRAST, 0, 63, 32},
        {V4L2_CID_HUE, 0, 127, 64},         {V4L2_CID_SATURATION, 0, 63, 32},
        {V4L2_CID_SHARPNESS, 0, 15, 0},
    };
    const auto index = static_cast<size_t>(property);
    return index < std::size(kControls) ? &kControls[index] : nullptr;
}

// `value` of the range from..fromMax onto to..toMax, rounded to the nearest.
long MapLinear(long value, long from, long fromMax, long to, long toMax) {
    const int64_t fromSpan = int64_t{fromMax} - from;
    const int64_t toSpan = int64_t{toMax} - to;
    if (fromSpan <= 0 || toSpan <= 0) {
        return to;
    }
    const int64_t offset = int64_t{value} - from;
    return static_cast<long>(to + (offset * toSpan + fromSpan / 2) / fromSpan);
}

}  // namespace

V4l2Io& SystemV4l2Io() {
    static SystemIo io;
    return io;
}

V4l2Device::V4l2Device(std::string path, std::string friendlyName, V4l2Io& io)
    : path_(std::move(path)),
      friendlyName_(std::move(friendlyName)),
      io_(io),
      chipProperty_(*this, 0, 0, 0) {}

V4l2Device::~V4l2Device() {
    if (fd_ >= 0) {
        io_.Close(fd_);
    }
}

GstElement* V4l2Device::MakeSourceElement() {
    GstElement* source = gst_element_factory_make("v4l2src", nullptr);
    if (source != nullptr) {
        g_object_set(source, "device", path_.c_str(), nullptr);
    }
    return source;
}

int V4l2Device::Descriptor() {
    if (fd_ < 0) {
        fd_ = io_.Open(path_);
    }
    return fd_;
}

int V4l2Device::Ioctl(unsigned long request, void* arg) {
    std::lock_guard guard(lock_);
    const int fd = Descriptor();
    if (fd < 0) {
        return ENODEV;
    }
    if (io_.Ioctl(fd, request, arg) == 0) {
        return 0;
    }
    const int error = errno != 0 ? errno : EIO;
    if (error == ENODEV) {
        // The device is gone; a later call opens the path afresh in case it came back.
        io_.Close(fd_);
        fd_ = -1;
    }
    return error;
}

bool V4l2Device::WriteI2c(uint8_t address, uint8_t reg, const uint8_t* bytes, size_t count) {
    if (address != kDecoderAddress || bytes == nullptr || count != 1) {
        return false;
    }
    if (reg == kDecoderInputRegister) {
        if (bytes[0] >= kDecoderInputs) {
            return false;
        }
        int input = bytes[0];
        return Ioctl(VIDIOC_S_INPUT, &input) == 0;
    }
    if (reg == kDecoderStandardRegister) {
        v4l2_std_id standard;
        if (bytes[0] == kStandardPal) {
            standard = V4L2_STD_PAL;
        } else if (bytes[0] == kStandardNtsc) {
            standard = V4L2_STD_NTSC_M;
        } else {
            return false;
        }
        return Ioctl(VIDIOC_S_STD, &standard) == 0;
    }
    return false;
}

HRESULT V4l2Device::QueryControl(uint32_t id, v4l2_queryctrl* query) {
    std::memset(query, 0, sizeof(*query));
    query->id = id;
    const int error = Ioctl(VIDIOC_QUERYCTRL, query);
    if (error != 0) {
        return error == EINVAL ? E_NOTIMPL : E_FAIL;
    }
    if ((query->flags & V4L2_CTRL_FLAG_DISABLED) != 0) {
        return E_NOTIMPL;
    }
    return S_OK;
}

HRESULT V4l2Device::GetRange(ProcAmpProperty property, ProcAmpRange* range) {
    const ProcAmpControl* control = ControlFor(property);
    if (control == nullptr) {
        return E_INVALIDARG;
    }
    if (range == nullptr) {
        return E_POINTER;
    }
    v4l2_queryctrl query;
    const HRESULT hr = QueryControl(control->id, &query);
    if (Failed(hr)) {
        return hr;
    }
    *range = {control->sliderMin, control->sliderMax, 1, control->sliderDefault,
              kProcAmpFlagsManual};
    return S_OK;
}

HRESULT V4l2Device::Get(ProcAmpProperty property, long* value, long* flags) {
    const ProcAmpControl* control = ControlFor(property);
    if (control == nullptr) {
        return E_INVALIDARG;
    }
    if (value == nullptr || flags == nullptr) {
        return E_POINTER;
    }
    v4l2_queryctrl query;
    const HRESULT hr = QueryControl(control->id, &query);
    if (Failed(hr)) {
        return hr;
    }
    v4l2_control current{control->id, 0};
    if (Ioctl(VIDIOC_G_CTRL, &current) != 0) {
        return E_FAIL;
    }
    const long clamped = std::clamp<long>(current.value, query.minimum, query.maximum);
    *value =
        MapLinear(clamped, query.minimum, query.maximum, control->sliderMin, control->sliderMax);
    *flags = kProcAmpFlagsManual;
    return S_OK;
}

HRESULT V4l2Device::Set(ProcAmpProperty property, long value, long /*flags*/) {
    const ProcAmpControl* control = ControlFor(property);
    if (control == nullptr || value < control->sliderMin || value > control->sliderMax) {
        return E_INVALIDARG;
    }
    v4l2_queryctrl query;
    const HRESULT hr = QueryControl(control->id, &query);
    if (Failed(hr)) {
        return hr;
    }
    long mapped =
        MapLinear(value, control->sliderMin, control->sliderMax, query.minimum, query.maximum);
    if (query.step > 1) {
        // Drivers take only values on their step grid.
        const long steps = MapLinear(mapped, query.minimum, query.maximum, 0,
                                     (int64_t{query.maximum} - query.minimum) / query.step);
        mapped = query.minimum + steps * static_cast<long>(query.step);
    }
    v4l2_control wanted{control->id, static_cast<int32_t>(mapped)};
    return Ioctl(VIDIOC_S_CTRL, &wanted) == 0 ? S_OK : E_FAIL;
}

HRESULT V4l2Device::Route(int outputPin, int inputPin) {
    if (outputPin != 0 || inputPin < 0) {
        return E_INVALIDARG;
    }
    // The driver picks the input itself (VIDIOC_S_INPUT); routing only needs an input to exist.
    v4l2_input input;
    std::memset(&input, 0, sizeof(input));
    input.index = 0;
    return Ioctl(VIDIOC_ENUMINPUT, &input) == 0 ? S_OK : E_FAIL;
}

bool V4l2Device::Present() const {
    std::string card;
    return QueryV4l2Device(path_, &card, io_);
}

bool QueryV4l2Device(const std::string& path, std::string* cardName, V4l2Io& io) {
    const int fd = io.Open(path);
    if (fd < 0) {
        return false;
    }
    v4l2_capability caps;
    std::memset(&caps, 0, sizeof(caps));
    const bool answered = io.Ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0;
    io.Close(fd);
    if (!answered) {
        return false;
    }
    const uint32_t deviceCaps =
        (caps.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? caps.device_caps : caps.capabilities;
    if ((deviceCaps & V4L2_CAP_VIDEO_CAPTURE) == 0) {
        return false;
    }
    if (cardName != nullptr) {
        const auto* card = reinterpret_cast<const char*>(caps.card);
        cardName->assign(card, strnlen(card, sizeof(caps.card)));
    }
    return true;
}

std::vector<V4l2DeviceInfo> ListV4l2Devices(V4l2Io& io) {
    std::vector<V4l2DeviceInfo> devices;
    for (int i = 0; i < kMaxVideoNodes; ++i) {
        V4l2DeviceInfo info{"/dev/video" + std::to_string(i), {}};
        if (QueryV4l2Device(info.path, &info.cardName, io)) {
            devices.push_back(std::move(info));
        }
    }
    return devices;
}

}  // namespace ovistra::media
