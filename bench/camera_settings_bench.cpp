// A brightness slider change in the camera settings dialog while the switching thread cycles
// four simulated cameras at the default timings over the same device control: the change must
// be back in the event loop at once, never waiting for a switching pass.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSlider>
#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "c_camera_set_dlg.h"
#include "camera_switcher.h"
#include "device_control.h"
#include "registry_settings.h"
#include "resource_library.h"
#include "sim_device.h"

namespace {

using namespace ovistra;

constexpr int kChanges = 1000;

void BM_SliderChangeWhileSwitching(benchmark::State& state) {
    auto device = std::make_shared<media::SimulatedDevice>(media::SimDeviceConfig{});
    media::StaticDeviceList devices;
    devices.Add(media::DeviceCategory::VideoInput, device);
    DeviceControl control;
    QString error;
    const auto resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
    if (!resources || !control.Open(devices, false)) {
        state.SkipWithError("no resource library or device control");
        return;
    }
    const RegistrySettings defaults;
    SwitchState switchState;
    CameraSwitcher::Timings timings{[&] { return defaults.eachTimeMs.Get(); },
                                    [&] { return defaults.disTimeMs.Get(); },
                                    [&] { return defaults.intervalTimeMs.Get(); }};
    // Only the decoder input reaches the device here; the tee and the windows have no part.
    CameraSwitcher::Hooks hooks{[](int) {}, nullptr, [](int) {}, [](int) {}};
    hooks.switchDecoderInput = [&control](int camera) {
        const uint32_t input = static_cast<uint32_t>(camera);
        control.WriteI2C(media::kDecoderAddress, media::kDecoderInputRegister, 1, &input);
    };
    CameraSwitcher switcher(switchState, std::move(timings), std::move(hooks));
    switcher.Start();

    CCameraSetDlg dialog(*resources, platform::WindowHandle());
    dialog.SetDevice({device->ProcAmp(), nullptr, nullptr});
    dialog.show();
    QApplication::processEvents();  // shown and exposed: repaints paint from here on
    auto* slider = qobject_cast<QSlider*>(dialog.Control(CCameraSetDlg::kSliders[0]));

    std::vector<double> changeMs;
    changeMs.reserve(kChanges);
    int value = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        slider->setValue(value = (value + 37) % 256);
        QApplication::processEvents();  // the value text and slider repaint
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        changeMs.push_back(took.count() * 1000.0);
        // Spread the changes over several switching passes, as a user's drag is.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    switcher.Stop();
    std::sort(changeMs.begin(), changeMs.end());
    state.counters["median_ms"] = changeMs[changeMs.size() / 2];
    state.counters["p99_ms"] = changeMs[changeMs.size() * 99 / 100];
    state.counters["switches"] = static_cast<double>(device->InputSwitches());
}
BENCHMARK(BM_SliderChangeWhileSwitching)
    ->Iterations(kChanges)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
