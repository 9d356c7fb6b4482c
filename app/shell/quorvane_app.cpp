#include "quorvane_app.h"

#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "event_log.h"
#include "first_run.h"
#include "folders.h"
#include "message_box.h"
#include "quorvane_dlg.h"
#include "resource_library.h"
#include "runtime_paths.h"
#include "shared_block.h"
#include "settings_store.h"
#include "window_ids.h"

namespace ovistra {
namespace {

void Complain(const QString& line) {
    std::fprintf(stderr, "ovistra: %s\n", line.toLocal8Bit().constData());
}

QString StoredAppPath(platform::RegistryStore& registry) {
    QString appPath;
    platform::CRegistryKey key(registry);
    if (key.OpenForRead(platform::RegistryRoot::CurrentUser, SettingsStore::kProgramKey)) {
        key.ReadString(QStringLiteral("AppPath"), &appPath);
    }
    return appPath;
}

}  // namespace

CQuorvaneApp::CQuorvaneApp(platform::RegistryStore& registry, bool headless)
    : registry_(registry), headless_(headless) {}

CQuorvaneApp::~CQuorvaneApp() = default;

int CQuorvaneApp::InitInstance() {
    // One program folder for everything, worked out once.
    programFolder_ = platform::ProgramFolderFrom(StoredAppPath(registry_));

    QString error;
    resources_ = ResourceLibrary::Load(&error);
    if (!resources_) {
        Complain(error);
        return kExitStartupFailed;
    }
    auto& boxes = platform::MessageBoxes::Instance();
    boxes.Configure(headless_ ? platform::MessageBoxes::Mode::Headless
                              : platform::MessageBoxes::Mode::Interactive,
                    [this](int id) { return resources_->Text(id); });
    boxes.SetListener([](const platform::ShownMessage& box) {
        EventLog::Instance().Print("message-box",
                                   {{"text", QString::number(box.textId)},
                                    {"caption", QString::number(box.captionId)},
                                    {"answer", platform::MessageBoxes::AnswerName(box.answer)}});
    });

    const platform::RuntimeFolder runtime = platform::PrepareRuntimeFolder();
    if (!runtime.ok()) {
        Complain(runtime.error);
        return kExitStartupFailed;
    }
    runtimeFolder_ = runtime.path;
    switch (instanceLock_.Acquire(runtime.path)) {
        case platform::SingleInstanceLock::Result::Acquired:
            break;
        case platform::SingleInstanceLock::Result::HeldByAnother:
            boxes.Show(ids::kTextAlreadyRunning);
            return kExitAlreadyRunning;
        case platform::SingleInstanceLock::Result::Failed:
            Complain(QStringLiteral("cannot take the instance lock in %1").arg(runtime.path));
            return kExitStartupFailed;
    }
    SetUpFirstRun(registry_, programFolder_, platform::FindDataFile(QStringLiteral("Alarm.wav")));
    return kExitOk;
}

int CQuorvaneApp::Run() {
    const int init = InitInstance();
    if (init != kExitOk) {
        return init;
    }
    StationContext context;
    context.resources = resources_.get();
    context.registry = &registry_;
    context.programFolder = programFolder_;
    context.statistics = &statistics_;
    context.devices = devices_;
    context.simulatedDevice = simulatedDevice_;
    context.showWindow = showWindow_;
    context.fullScreenAtStart = fullScreenAtStart_;
    durableWriter_ = std::make_unique<platform::DurableWriter>();
    recordings_ = std::make_unique<RecordingList>(programFolder_);
    recordings_->WriteThrough(durableWriter_.get());
    context.recordings = recordings_.get();
    context.durableWriter = durableWriter_.get();
    context.recordAtStart = recordAtStart_;
    context.recordAllAtStart = recordAllAtStart_;
    context.detectAtStart = detectAtStart_;
    context.simulatedDiskMb = simulatedDiskMb_;
    context.stillsAtStart = stillsAtStart_;
    context.rtspAtStart = rtspAtStart_;
    context.runtimeFolder = runtimeFolder_;
    context.linkBlockName = platform::SharedBlockNameFromEnvironment();
    bool started = false;
    {
        CQuorvaneDlg dialog(context);
        dialog_ = &dialog;
        if (exitRequested_) {
            QTimer::singleShot(0, &dialog, [&dialog] { dialog.OnCommand(ids::kExitButton); });
        }
        started = dialog.RunModal();
        dialog_ = nullptr;
    }
    // Stopped means every finished file and the list are on the disk.
    durableWriter_->Drain();
    EventLog::Instance().Print("statistics",
                               {{"frames", statistics_.FramesText()},
                                {"switches", QString::number(statistics_.switches.load())}});
    EventLog::Instance().Print("stopped");
    return started ? kExitOk : kExitStartupFailed;
}

void CQuorvaneApp::RequestExit() {
    if (dialog_) {
        dialog_->OnCommand(ids::kExitButton);
    } else {
        exitRequested_ = true;
    }
}

void CQuorvaneApp::ExitAfter(double durationSeconds) {
    // A timer holds at most about 24 days; a longer run is as good as endless.
    constexpr double kLongestMs = 2147483647.0;
    const double ms = std::min(durationSeconds * 1000.0, kLongestMs);
    QTimer::singleShot(static_cast<int>(ms), [this] { RequestExit(); });
}

}  // namespace ovistra
