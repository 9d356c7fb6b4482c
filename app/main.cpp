// ovistra: the surveillance station. See --help.
#include <gst/gst.h>

#include <signal.h>

#include <QApplication>
#include <cstdio>

#include "event_log.h"
#include "folders.h"
#include "quorvane_app.h"
#include "registry_key.h"
#include "run_options.h"
#include "settings_store.h"
#include "termination_signals.h"

namespace {

int UsageError(const QString& reason) {
    std::fprintf(stderr, "ovistra: %s\nTry 'ovistra --help'.\n", reason.toLocal8Bit().constData());
    return ovistra::kExitUsage;
}

bool HasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const ovistra::ParsedOptions parsed = ovistra::ParseRunOptions(arguments);
    if (!parsed.ok()) {
        return UsageError(parsed.error);
    }
    const ovistra::RunOptions& options = parsed.options;
    if (options.help) {
        std::fputs(ovistra::UsageText().toLocal8Bit().constData(), stdout);
        return ovistra::kExitOk;
    }
    if (options.version) {
        std::printf("ovistra %s\n", OVISTRA_VERSION);
        return ovistra::kExitOk;
    }

    ovistra::platform::RegistryStore registry(ovistra::platform::KeyFilePath());
    for (const auto& [name, value] : options.sets) {
        QString error;
        if (!ovistra::AddRunOverride(registry, name, value, &error)) {
            return UsageError(error);
        }
    }

    // A script that stops reading the event lines must not kill a station mid-recording.
    signal(SIGPIPE, SIG_IGN);

    // Nobody can answer a box on a machine without a display, so such a run is headless.
    const bool headless = options.headless || !HasDisplay();
    if (headless) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    gst_init(nullptr, nullptr);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ovistra"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ovistra"));
    QApplication::setApplicationVersion(QStringLiteral(OVISTRA_VERSION));
    if (headless || options.events) {
        ovistra::EnableStdoutEvents();
    }

    ovistra::CQuorvaneApp station(registry, headless);
    ovistra::platform::TerminationSignals termination([&station] { station.RequestExit(); });
    if (options.durationSeconds) {
        station.ExitAfter(*options.durationSeconds);
    }
    return station.Run();
}
