#include "run_options.h"

#include <algorithm>
#include <cmath>

namespace ovistra {
namespace {

enum class Option {
    Headless,
    Duration,
    Events,
    Window,
    FullScreen,
    Device,
    SimInput,
    SimMotion,
    SimLight,
    SimNight,
    SimUnplug,
    SimName,
    SimSettle,
    SimDisk,
    Record,
    Still,
    Detect,
    Clock,
    Set,
    Rtsp,
    RtspBind,
    RtspAuth,
    Help,
    Version
};

struct OptionInfo {
    const char* name;
    Option option;
    bool takesValue;
    const char* valueName;
    const char* help;
};

// The one table of options: the parser and the --help text both read it.
constexpr OptionInfo kOptions[] = {
    {"--headless", Option::Headless, false, "",
     "No window; message boxes are printed and answered"},
    {"--duration", Option::Duration, true, "SECONDS",
     "Shut down in order after SECONDS (decimals allowed)"},
    {"--events", Option::Events, false, "", "Print one line per event on standard output"},
    {"--window", Option::Window, false, "", "Show the window even without a display (offscreen)"},
    {"--full-screen", Option::FullScreen, false, "", "Start in full screen (Esc or F11 leaves it)"},
    {"--device", Option::Device, true, "real|sim|PATH",
     "A real device, the simulated one, or /dev/videoN"},
    {"--sim-input", Option::SimInput, true, "N=FILE",
     "Simulated camera N (1-4) shows FILE (repeatable)"},
    {"--sim-motion", Option::SimMotion, true, "N:START-END",
     "Simulated motion on camera N, seconds (repeatable)"},
    {"--sim-light", Option::SimLight, true, "N:START-END",
     "Simulated lamp on camera N, seconds (repeatable)"},
    {"--sim-night", Option::SimNight, true, "N",
     "Simulated camera N dark and noisy (repeatable)"},
    {"--sim-unplug", Option::SimUnplug, true, "START-END",
     "Simulated device unplugged START-END s (repeatable)"},
    {"--sim-name", Option::SimName, true, "TEXT", "Name the simulated device reports"},
    {"--sim-settle", Option::SimSettle, true, "MS",
     "Simulated pictures roll MS ms after an input change"},
    {"--sim-disk", Option::SimDisk, true, "MB",
     "The record folder's disk counts as MB megabytes big"},
    {"--record", Option::Record, true, "CAMERAS|all",
     "Record cameras (e.g. 1,3) or all from the start"},
    {"--still", Option::Still, true, "CAMERAS|all",
     "Save a still of cameras (e.g. 1,3) or all"},
    {"--detect", Option::Detect, false, "", "Start motion detection once capture runs"},
    {"--clock", Option::Clock, true, "YYYY-mm-ddTHH:MM:SS",
     "The station's clock starts at this local time"},
    {"--set", Option::Set, true, "NAME=VALUE", "Override setting NAME for this run (repeatable)"},
    // Its port may only follow an equals sign: "--rtsp 8554" would read the port as an operand.
    {"--rtsp", Option::Rtsp, false, "[=PORT]",
     "Serve the cameras over RTSP (stored port, else 8554)"},
    {"--rtsp-bind", Option::RtspBind, true, "ADDRESS",
     "The RTSP server's listening address for this run"},
    {"--rtsp-auth", Option::RtspAuth, true, "FILE",
     "RTSP user:password from FILE (mode 0600), this run"},
    {"--help", Option::Help, false, "", "Show this help and exit"},
    {"--version", Option::Version, false, "", "Show the version and exit"},
};

const OptionInfo* FindOption(const QString& name) {
    if (name == QLatin1String("-h")) {
        return FindOption(QStringLiteral("--help"));
    }
    for (const OptionInfo& info : kOptions) {
        if (name == QLatin1String(info.name)) {
            return &info;
        }
    }
    return nullptr;
}

// An argument as quoted in a reason: control characters escaped and long text cut, so the
// reason stays one short line whatever was typed.
QString Shown(const QString& text) {
    constexpr int kMaxChars = 60;
    QString out = QStringLiteral("'");
    for (int i = 0; i < text.size(); ++i) {
        if (i == kMaxChars) {
            out += QStringLiteral("...");
            break;
        }
        const QChar c = text[i];
        if (c == u'\n') {
            out += QStringLiteral("\\n");
        } else if (c == u'\t') {
            out += QStringLiteral("\\t");
        } else if (!c.isPrint() && c != u' ') {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out + QLatin1Char('\'');
}

// Plain decimal seconds: digits with at most one point; no sign, exponent or blanks.
bool ParseSeconds(QStringView text, double* seconds) {
    int digits = 0;
    int points = 0;
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9') {
            ++digits;
        } else if (c == u'.') {
            ++points;
        } else {
            return false;
        }
    }
    if (digits == 0 || points > 1) {
        return false;
    }
    bool ok = false;
    *seconds = text.toDouble(&ok);
    return ok && std::isfinite(*seconds);
}

bool ParseCamera(QStringView text, int* camera) {
    if (text.size() != 1 || text[0] < u'1' || text[0] > u'4') {
        return false;
    }
    *camera = text[0].unicode() - u'0';
    return true;
}

// Cameras 1..4 separated by commas, each kept once in order. The reason the list is unusable
// (it is then left empty), or an empty string.
QString ParseCameraList(const char* option, const QString& value, std::vector<int>* cameras) {
    cameras->clear();
    for (const QString& part : value.split(u',')) {
        int camera = 0;
        if (!ParseCamera(part, &camera)) {
            cameras->clear();
            return QStringLiteral(
                       "%1 needs camera numbers from 1 to 4 separated by commas, or all, not %2")
                .arg(QLatin1String(option), Shown(value));
        }
        if (std::find(cameras->begin(), cameras->end(), camera) == cameras->end()) {
            cameras->push_back(camera);
        }
    }
    return {};
}

// Each returns the reason the value is unusable, or an empty string.
QString ApplyValue(Option option, const QString& value, RunOptions& o) {
    switch (option) {
        case Option::Duration: {
            double seconds = 0;
            if (!ParseSeconds(value, &seconds) || seconds <= 0) {
                return QStringLiteral("--duration needs a positive number of seconds, not %1")
                    .arg(Shown(value));
            }
            o.durationSeconds = seconds;
            return {};
        }
        case Option::Device:
            if (value == QLatin1String("real")) {
                o.device = RunOptions::Device::Real;
            } else if (value == QLatin1String("sim")) {
                o.device = RunOptions::Device::Sim;
            } else if (value.startsWith(QLatin1String("/dev/")) && value.size() > 5) {
                o.device = RunOptions::Device::Path;
                o.devicePath = value;
            } else {
                return QStringLiteral("--device must be real, sim or a /dev/ path, not %1")
                    .arg(Shown(value));
            }
            return {};
        case Option::SimInput: {
            const qsizetype eq = value.indexOf(u'=');
            int camera = 0;
            if (eq < 0 || !ParseCamera(QStringView(value).left(eq), &camera) ||
                eq + 1 == value.size()) {
                return QStringLiteral("--sim-input needs N=FILE with camera N from 1 to 4, not %1")
                    .arg(Shown(value));
            }
            o.simInputs[camera] = value.mid(eq + 1);
            return {};
        }
        case Option::SimMotion: {
            const QString form = QStringLiteral(
                                     "--sim-motion needs N:START-END with camera N from 1 to 4 and "
                                     "times in seconds, not %1")
                                     .arg(Shown(value));
            const qsizetype colon = value.indexOf(u':');
            const qsizetype dash = value.indexOf(u'-', colon + 1);
            SimMotion m{};
            if (colon < 0 || dash < 0 || !ParseCamera(QStringView(value).left(colon), &m.camera) ||
                !ParseSeconds(QStringView(value).sliced(colon + 1, dash - colon - 1),
                              &m.startSeconds) ||
                !ParseSeconds(QStringView(value).sliced(dash + 1), &m.endSeconds)) {
                return form;
            }
            if (m.startSeconds >= m.endSeconds) {
                return QStringLiteral("--sim-motion START must be before END, not %1")
                    .arg(Shown(value));
            }
            o.simMotions.push_back(m);
            return {};
        }
        case Option::SimLight: {
            const qsizetype colon = value.indexOf(u':');
            const qsizetype dash = value.indexOf(u'-', colon + 1);
            SimLight l{};
            if (colon < 0 || dash < 0 || !ParseCamera(QStringView(value).left(colon), &l.camera) ||
                !ParseSeconds(QStringView(value).sliced(colon + 1, dash - colon - 1),
                              &l.startSeconds) ||
                !ParseSeconds(QStringView(value).sliced(dash + 1), &l.endSeconds)) {
                return QStringLiteral(
                           "--sim-light needs N:START-END with camera N from 1 to 4 and times in "
                           "seconds, not %1")
                    .arg(Shown(value));
            }
            if (l.startSeconds >= l.endSeconds) {
                return QStringLiteral("--sim-light START must be before END, not %1")
                    .arg(Shown(value));
            }
            o.simLights.push_back(l);
            return {};
        }
        case Option::SimNight: {
            int camera = 0;
            if (!ParseCamera(value, &camera)) {
                return QStringLiteral("--sim-night needs a camera from 1 to 4, not %1")
                    .arg(Shown(value));
            }
            if (std::find(o.simNights.begin(), o.simNights.end(), camera) == o.simNights.end()) {
                o.simNights.push_back(camera);
            }
            return {};
        }
        case Option::SimUnplug: {
            const qsizetype dash = value.indexOf(u'-');
            SimUnplug u{};
            if (dash < 0 || !ParseSeconds(QStringView(value).left(dash), &u.startSeconds) ||
                !ParseSeconds(QStringView(value).sliced(dash + 1), &u.endSeconds)) {
                return QStringLiteral("--sim-unplug needs START-END in seconds, not %1")
                    .arg(Shown(value));
            }
            if (u.startSeconds >= u.endSeconds) {
                return QStringLiteral("--sim-unplug START must be before END, not %1")
                    .arg(Shown(value));
            }
            o.simUnplugs.push_back(u);
            return {};
        }
        case Option::SimName:
            if (value.isEmpty()) {
                return QStringLiteral("--sim-name needs a non-empty name");
            }
            o.simName = value;
            return {};
        case Option::SimSettle: {
            constexpr int kLongestSettleMs = 60000;
            bool ok = false;
            const int ms = value.toInt(&ok);
            if (!ok || ms < 0 || ms > kLongestSettleMs || !value[0].isDigit()) {
                return QStringLiteral("--sim-settle needs milliseconds from 0 to 60000, not %1")
                    .arg(Shown(value));
            }
            o.simSettleMs = ms;
            return {};
        }
        case Option::SimDisk: {
            constexpr qulonglong kLargestDiskMb = 1 << 20;
            bool ok = false;
            const qulonglong mb = value.toULongLong(&ok);
            if (!ok || mb == 0 || mb > kLargestDiskMb || !value[0].isDigit()) {
                return QStringLiteral("--sim-disk needs megabytes from 1 to 1048576, not %1")
                    .arg(Shown(value));
            }
            o.simDiskMb = mb;
            return {};
        }
        case Option::Record:
            o.recordAll = value == QLatin1String("all");
            if (o.recordAll) {
                o.recordCameras.clear();
                return {};
            }
            return ParseCameraList("--record", value, &o.recordCameras);
        case Option::Still:
            if (value == QLatin1String("all")) {
                o.stillCameras = {1, 2, 3, 4};
                return {};
            }
            return ParseCameraList("--still", value, &o.stillCameras);
        case Option::Clock: {
            const QString format = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
            const QDateTime moment = QDateTime::fromString(value, format);
            // The text must be the moment's own: no lenient reading of other forms.
            if (!moment.isValid() || moment.toString(format) != value) {
                return QStringLiteral("--clock needs a local time as YYYY-mm-ddTHH:MM:SS, not %1")
                    .arg(Shown(value));
            }
            o.clock = moment;
            return {};
        }
        case Option::Set: {
            const qsizetype eq = value.indexOf(u'=');
            if (eq <= 0) {
                return QStringLiteral("--set needs NAME=VALUE with a non-empty NAME, not %1")
                    .arg(Shown(value));
            }
            o.sets.emplace_back(value.left(eq), value.mid(eq + 1));
            return {};
        }
        case Option::Rtsp: {
            bool ok = false;
            const uint port = value.toUInt(&ok);
            if (!ok || port == 0 || port > 65535 || !value[0].isDigit()) {
                return QStringLiteral("--rtsp needs a port from 1 to 65535, not %1")
                    .arg(Shown(value));
            }
            o.rtspPort = static_cast<uint16_t>(port);
            return {};
        }
        case Option::RtspBind:
            if (value.trimmed().isEmpty()) {
                return QStringLiteral("--rtsp-bind needs an address");
            }
            o.rtspBind = value.trimmed();
            return {};
        case Option::RtspAuth:
            if (value.isEmpty()) {
                return QStringLiteral("--rtsp-auth needs a file");
            }
            o.rtspAuthFile = value;
            return {};
        case Option::Headless:
        case Option::Events:
        case Option::Window:
        case Option::FullScreen:
        case Option::Detect:
        case Option::Help:
        case Option::Version:
            break;
    }
    return {};
}

void ApplyFlag(Option option, RunOptions& o) {
    switch (option) {
        case Option::Headless:
            o.headless = true;
            break;
        case Option::Events:
            o.events = true;
            break;
        case Option::Window:
            o.window = true;
            break;
        case Option::FullScreen:
            o.fullScreen = true;
            break;
        case Option::Detect:
            o.detect = true;
            break;
        case Option::Rtsp:
            if (!o.rtspPort) {
                o.rtspPort = 0;
            }
            break;
        case Option::Help:
            o.help = true;
            break;
        case Option::Version:
            o.version = true;
            break;
        default:
            break;
    }
}

}  // namespace

ParsedOptions ParseRunOptions(const QStringList& arguments) {
    ParsedOptions parsed;
    auto fail = [&parsed](const QString& reason) {
        parsed.error = reason;
        return parsed;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--")) {
            if (i + 1 < arguments.size()) {
                return fail(QStringLiteral("unexpected argument %1").arg(Shown(arguments[i + 1])));
            }
            break;
        }
        if (!arg.startsWith(u'-') || arg.size() == 1) {
            return fail(QStringLiteral("unexpected argument %1").arg(Shown(arg)));
        }
        QString name = arg;
        std::optional<QString> value;
        const qsizetype eq = arg.indexOf(u'=');
        if (arg.startsWith(QLatin1String("--")) && eq > 0) {
            name = arg.left(eq);
            value = arg.mid(eq + 1);
        }
        const OptionInfo* info = FindOption(name);
        if (info == nullptr) {
            return fail(QStringLiteral("unknown option %1").arg(Shown(name)));
        }
        if (!info->takesValue) {
            if (value && info->option == Option::Rtsp) {
                const QString reason = ApplyValue(info->option, *value, parsed.options);
                if (!reason.isEmpty()) {
                    return fail(reason);
                }
                continue;
            }
            if (value) {
                return fail(QStringLiteral("%1 takes no value").arg(QLatin1String(info->name)));
            }
            ApplyFlag(info->option, parsed.options);
            continue;
        }
        if (!value) {
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--"))) {
                return fail(QStringLiteral("%1 needs a value (%2)")
                                .arg(QLatin1String(info->name), QLatin1String(info->valueName)));
            }
            value = arguments[++i];
        }
        const QString reason = ApplyValue(info->option, *value, parsed.options);
        if (!reason.isEmpty()) {
            return fail(reason);
        }
    }
    return parsed;
}

QString UsageText() {
    constexpr int kColumn = 27;
    QString text = QStringLiteral("Usage: ovistra [options]\n\nOptions:\n");
    for (const OptionInfo& info : kOptions) {
        QString left = QLatin1String(info.name);
        if (info.option == Option::Help) {
            left = QStringLiteral("-h, --help");
        }
        if (info.takesValue) {
            left += QLatin1Char(' ') + QLatin1String(info.valueName);
        } else {
            left += QLatin1String(info.valueName);  // an optional value's "[=VALUE]"
        }
        text += QStringLiteral("  ") + left.leftJustified(kColumn - 2) + QLatin1Char(' ') +
                QLatin1String(info.help) + QLatin1Char('\n');
    }
    text += QStringLiteral("\nAn option's value may also follow an equals sign: --duration=5.\n");
    return text;
}

}  // namespace ovistra
