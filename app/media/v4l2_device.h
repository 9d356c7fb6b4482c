// A real multi-input capture card through V4L2. The decoder register writes of the station
// become the driver's calls: register 2 -> VIDIOC_S_INPUT, register 8 -> VIDIOC_S_STD; the
// amplifier maps the settings' slider ranges onto the device's controls. Every call goes
// through one small ioctl seam, so tests run without hardware.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture_device.h"
#include "chip_property_over_bus.h"

struct v4l2_queryctrl;

namespace ovistra::media {

// The system calls the device needs; tests put a model of a driver behind it.
class V4l2Io {
public:
    virtual ~V4l2Io() = default;
    virtual int Open(const std::string& path) = 0;                    // a descriptor, or -1
    virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;  // 0, or -1 with errno
    virtual void Close(int fd) = 0;
};

V4l2Io& SystemV4l2Io();

class V4l2Device final : public CaptureDevice, public I2cBus, public VideoProcAmp, public Crossbar {
public:
    // `friendlyName` is what discovery matches on (the card name, or a name the caller
    // chose for a device given by path).
    V4l2Device(std::string path, std::string friendlyName, V4l2Io& io = SystemV4l2Io());
    ~V4l2Device() override;

    const std::string& path() const { return path_; }

    std::string FriendlyName() const override { return friendlyName_; }
    GstElement* MakeSourceElement() override;  // v4l2src on the path
    IChipProperty* ChipProperty() override { return &chipProperty_; }
    I2cBus* Bus() override { return this; }
    VideoProcAmp* ProcAmp() override { return this; }
    Crossbar* CrossbarControl() override { return this; }

    bool WriteI2c(uint8_t address, uint8_t reg, const uint8_t* bytes, size_t count) override;
    HRESULT GetRange(ProcAmpProperty property, ProcAmpRange* range) override;
    HRESULT Get(ProcAmpProperty property, long* value, long* flags) override;
    HRESULT Set(ProcAmpProperty property, long value, long flags) override;
    HRESULT Route(int outputPin, int inputPin) override;
    // The node is there and answers as a capture device.
    bool Present() const override;

private:
    int Descriptor();  // with lock_ held: opened on first use; -1 when it cannot be opened
    // 0, or the errno of the failed call; a vanished device (ENODEV) closes the descriptor.
    int Ioctl(unsigned long request, void* arg);
    // S_OK when the device has the control enabled; E_NOTIMPL when it lacks it.
    HRESULT QueryControl(uint32_t id, v4l2_queryctrl* query);

    const std::string path_;
    const std::string friendlyName_;
    V4l2Io& io_;
    ChipPropertyOverBus chipProperty_;
    // --- guarded by lock_
    std::mutex lock_;
    int fd_ = -1;
};

// The machine's video capture devices with their card names, as V4L2 reports them.
struct V4l2DeviceInfo {
    std::string path;
    std::string cardName;
};
std::vector<V4l2DeviceInfo> ListV4l2Devices(V4l2Io& io = SystemV4l2Io());

// The card name of the capture device at `path`; false when it is none.
bool QueryV4l2Device(const std::string& path, std::string* cardName, V4l2Io& io = SystemV4l2Io());

}  // namespace ovistra::media
