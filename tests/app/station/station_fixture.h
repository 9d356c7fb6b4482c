// What a main window needs around it in a test: the resource library, message boxes answered
// without a screen, and a key file and program folder of its own.
#pragma once

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "message_box.h"
#include "quorvane_dlg.h"
#include "resource_library.h"
#include "settings_store.h"
#include "sim_device.h"
#include "station_statistics.h"
#include "window_ids.h"

namespace ovistra::testing {

// A main window that acts for its test once its capture runs, with the recording control
// in reach.
class RecordingDialog : public CQuorvaneDlg {
public:
    using CQuorvaneDlg::CQuorvaneDlg;
    ~RecordingDialog() override { CloseMailbox(); }
    using CQuorvaneDlg::recording_;

    std::function<void()> onCaptureStarted;

protected:
    int StartCapture() override {
        const int result = CQuorvaneDlg::StartCapture();
        if (result == 0 && onCaptureStarted) {
            onCaptureStarted();
        }
        return result;
    }
};

class StationFixture : public ::testing::Test {
protected:
    void SetUp() override {
        gst_init(nullptr, nullptr);
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources) << error.toStdString();
        auto& boxes = platform::MessageBoxes::Instance();
        boxes.Configure(platform::MessageBoxes::Mode::Headless,
                        [this](int id) { return resources->Text(id); });
        boxes.ClearHistory();
        context.resources = resources.get();
        context.registry = &registry;
        context.programFolder = dir.path() + "/program/";
        context.statistics = &statistics;
    }

    // A simulated device as the capture device of the window under test.
    void AddSimulatedDevice(media::SimDeviceConfig config = {}) {
        devices.Add(media::DeviceCategory::VideoInput,
                    std::make_shared<media::SimulatedDevice>(std::move(config)));
        context.devices = &devices;
    }

    // A key file whose recordings (and stills) go below the test's own folder "rec".
    void StoreRecordFolder() {
        ASSERT_TRUE(registry.CreateKey(SettingsStore::kProgramKey));
        RegistrySettings stored;
        stored.recordPath = dir.filePath("rec");
        ASSERT_TRUE(SettingsStore(registry).SaveRecordSettings(stored));
    }

    // Runs the window and presses its exit button `ms` after its loop started (a slow start,
    // as under the sanitizers, still gets its capture start first).
    static bool RunThenExit(CQuorvaneDlg& dialog, int ms) {
        AfterLoopStarts(dialog, ms, [&dialog] { dialog.OnCommand(ids::kExitButton); });
        return dialog.RunModal();
    }

    // Runs `action` `ms` after the window's loop has started.
    static void AfterLoopStarts(CQuorvaneDlg& dialog, int ms, std::function<void()> action) {
        QTimer::singleShot(0, &dialog, [&dialog, ms, action = std::move(action)] {
            QTimer::singleShot(ms, &dialog, action);
        });
    }

    // One step of a window test, taken once `ready` holds.
    struct Step {
        std::function<bool()> ready;
        std::function<void()> act;
    };
    // Takes the steps in turn, each as soon as it is ready (looked at every 20 ms), then
    // presses the exit button. A step that is not ready within 10 s fails the test and ends
    // the window, so a slow machine waits instead of stepping past a prompt not yet open.
    static void TakeSteps(CQuorvaneDlg& dialog, std::vector<Step> steps) {
        auto* timer = new QTimer(&dialog);
        auto next = std::make_shared<size_t>(0);
        auto waited = std::make_shared<QElapsedTimer>();
        waited->start();
        QObject::connect(timer, &QTimer::timeout, &dialog, [=, &dialog, steps = std::move(steps)] {
            if (*next == steps.size()) {
                timer->stop();
                dialog.OnCommand(ids::kExitButton);
            } else if (steps[*next].ready()) {
                steps[(*next)++].act();
                waited->restart();
            } else if (waited->hasExpired(10000)) {
                ADD_FAILURE() << "step " << *next << " was never ready";
                timer->stop();
                dialog.done(0);
            }
        });
        timer->start(20);
    }

    QTemporaryDir dir;
    QString keyFile = dir.filePath("Brisquel.reg");
    platform::RegistryStore registry{keyFile};
    std::unique_ptr<ResourceLibrary> resources;
    StationStatistics statistics;
    media::StaticDeviceList devices;
    StationContext context;
};

}  // namespace ovistra::testing
