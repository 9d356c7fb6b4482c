// ovistra-sibling: a small sibling program for users and tests. It asks the running station for
// a camera's pictures, for recordings or to close, and can stand in as the sibling the station
// tells about itself.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QSocketNotifier>
#include <QStringList>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <optional>
#include <span>

#include "folders.h"
#include "shared_block.h"
#include "shared_block_reader.h"
#include "window_ids.h"
#include "window_link.h"
#include "yuy2_to_rgb24.h"

namespace {

using namespace ovistra;

enum Exit {
    kOk = 0,
    kFailed = 1,
    kUsage = 2,
    kNoStation = 3,
    kNoBlock = 4,
};

constexpr int kAnswerMs = 3000;
constexpr int kBlockWidth = 320;
constexpr int kBlockHeight = 240;
// How long a picture may take to arrive: the station shows each camera at least this often.
constexpr int kPictureWaitMs = 10000;
constexpr int kFrameSpacingMs = 200;

QTextStream& Err() {
    static QTextStream stream(stderr);
    return stream;
}

int Usage() {
    Err() << "usage: ovistra-sibling frames CAMERA|all [--count N] [--out DIR]\n"
             "       ovistra-sibling record CAMERA|all --seconds S\n"
             "       ovistra-sibling close\n"
             "       ovistra-sibling listen\n"
             "CAMERA is 1 to 4.\n";
    Err().flush();
    return kUsage;
}

std::optional<int> CameraArgument(const QString& text) {
    if (text == QLatin1String("all")) {
        return 5;
    }
    bool ok = false;
    const int camera = text.toInt(&ok);
    return ok && camera >= 1 && camera <= 4 ? std::optional<int>(camera) : std::nullopt;
}

// The value after `name` among the arguments; `fallback` when absent, empty when malformed.
std::optional<int> NumberOption(const QStringList& args, const QString& name, int fallback) {
    const int at = static_cast<int>(args.indexOf(name));
    if (at < 0) {
        return fallback;
    }
    bool ok = false;
    const int value = at + 1 < args.size() ? args[at + 1].toInt(&ok) : 0;
    return ok && value > 0 ? std::optional<int>(value) : std::nullopt;
}

// The station's window, or the exit code that says why there is none.
std::optional<platform::WindowLinkConnection> ConnectToStation(int* failure) {
    const platform::RuntimeFolder runtime = platform::PrepareRuntimeFolder();
    if (!runtime.ok()) {
        Err() << "ovistra-sibling: " << runtime.error << "\n";
        *failure = kFailed;
        return std::nullopt;
    }
    const QString title = QString::fromLatin1(ids::kStationTitle);
    auto station = platform::WindowLinkConnection::Open(runtime.path, title, 1000);
    if (!station) {
        Err() << "ovistra-sibling: no station is running (nothing listens on "
              << platform::LinkSocketPath(runtime.path, title) << ")\n";
        *failure = kNoStation;
    }
    return station;
}

bool Ask(platform::WindowLinkConnection& station, uint32_t msg, platform::WParam w,
         platform::LParam l, platform::LResult* result = nullptr) {
    const std::optional<platform::LResult> answer = station.Send(msg, w, l, kAnswerMs);
    if (!answer) {
        Err() << "ovistra-sibling: the station did not answer message " << msg << "\n";
        return false;
    }
    if (result) {
        *result = *answer;
    }
    return true;
}

bool SavePicture(std::span<const uint8_t> block, const QString& path) {
    QImage image(kBlockWidth, kBlockHeight, QImage::Format_BGR888);
    for (int y = 0; y < kBlockHeight; ++y) {
        Yuy2ToRgb24Row_C(block.data() + static_cast<ptrdiff_t>(y) * kBlockWidth * 2,
                         image.scanLine(y), kBlockWidth / 2);
    }
    return image.save(path, "PNG");
}

int Frames(const QStringList& args) {
    const std::optional<int> camera = args.size() > 1 ? CameraArgument(args[1]) : std::nullopt;
    const std::optional<int> count = NumberOption(args, QStringLiteral("--count"), 1);
    const int outAt = static_cast<int>(args.indexOf(QStringLiteral("--out")));
    if (!camera || !count || (outAt >= 0 && outAt + 1 >= args.size())) {
        return Usage();
    }
    const QString out = outAt >= 0 ? args[outAt + 1] : QDir::currentPath();
    if (!QDir().mkpath(out)) {
        Err() << "ovistra-sibling: cannot create " << out << "\n";
        return kFailed;
    }
    int failure = kOk;
    auto station = ConnectToStation(&failure);
    if (!station) {
        return failure;
    }
    platform::LResult linked = 0;
    if (!Ask(*station, ids::kSiblingStartFrames, static_cast<platform::WParam>(*camera), 0,
             &linked)) {
        return kNoStation;
    }
    int status = kOk;
    platform::SharedBlockReader reader(platform::SharedBlockNameFromEnvironment());
    if (linked == 0 || reader.Open() != platform::SharedBlockResult::Reused) {
        Err() << "ovistra-sibling: the station made no picture block we may read\n";
        status = kNoBlock;
    } else {
        const std::span<const uint8_t> block = reader.view();
        auto blank = [&] {
            return std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0; });
        };
        QDeadlineTimer first(kPictureWaitMs);
        while (blank() && !first.hasExpired()) {
            QThread::msleep(20);
        }
        if (blank()) {
            Err() << "ovistra-sibling: no picture arrived within " << kPictureWaitMs / 1000
                  << " s\n";
            status = kNoBlock;
        }
        for (int i = 1; status == kOk && i <= *count; ++i) {
            if (i > 1) {
                QThread::msleep(kFrameSpacingMs);
            }
            const QString path = QDir(out).filePath(
                QStringLiteral("camera%1-%2.png").arg(args[1]).arg(i, 3, 10, QLatin1Char('0')));
            if (!SavePicture(block, path)) {
                Err() << "ovistra-sibling: cannot write " << path << "\n";
                status = kFailed;
            } else {
                QTextStream(stdout) << path << "\n";
            }
        }
    }
    Ask(*station, ids::kSiblingStopFrames, 0, 0);
    return status;
}

int Record(const QStringList& args) {
    const std::optional<int> camera = args.size() > 1 ? CameraArgument(args[1]) : std::nullopt;
    const std::optional<int> seconds = NumberOption(args, QStringLiteral("--seconds"), 0);
    if (!camera || !seconds || *seconds == 0) {
        return Usage();
    }
    int failure = kOk;
    auto station = ConnectToStation(&failure);
    if (!station) {
        return failure;
    }
    // Not registered as a window: the station records at once and a stop ends only that.
    if (!Ask(*station, ids::kSiblingControl, static_cast<platform::WParam>(*camera), 0) ||
        !Ask(*station, ids::kSiblingRegister, ids::kSiblingRegisterType, 0)) {
        return kNoStation;
    }
    QThread::sleep(static_cast<unsigned long>(*seconds));
    return Ask(*station, ids::kSiblingRegister, ids::kSiblingStopType, 0) ? kOk : kNoStation;
}

int Close() {
    int failure = kOk;
    auto station = ConnectToStation(&failure);
    if (!station) {
        return failure;
    }
    if (!Ask(*station, ids::kSiblingRegister, ids::kSiblingRegisterType, getpid()) ||
        !Ask(*station, ids::kSiblingRegister, ids::kSiblingStopType, 0)) {
        return kNoStation;
    }
    // The station hangs up once it has closed: recordings ended, settings saved.
    char byte = 0;
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        pollfd waiting{station->fd(), POLLIN, 0};
        if (poll(&waiting, 1, 100) > 0 && recv(station->fd(), &byte, 1, MSG_DONTWAIT) == 0) {
            return kOk;
        }
    }
    Err() << "ovistra-sibling: the station is still running after 60 s\n";
    return kFailed;
}

int Listen(QCoreApplication& app) {
    const platform::RuntimeFolder runtime = platform::PrepareRuntimeFolder();
    if (!runtime.ok()) {
        Err() << "ovistra-sibling: " << runtime.error << "\n";
        return kFailed;
    }
    const QString title = QString::fromLatin1(ids::kSiblingTitles[0]);
    platform::WindowLinkListener listener(
        runtime.path, title, {ids::kSiblingStartFrames, ids::kSiblingLinkEnded},
        [](uint32_t msg, platform::WParam w, platform::LParam l, pid_t sender) {
            QTextStream(stdout) << "message=" << msg << " wparam=" << w << " lparam=" << l
                                << " from=" << sender << Qt::endl;
            return platform::LResult{0};
        },
        nullptr);
    QString why;
    if (!listener.Listen(&why)) {
        Err() << "ovistra-sibling: " << why << "\n";
        return kFailed;
    }
    QTextStream(stdout) << "listening as \"" << title << "\"" << Qt::endl;
    // Ends on Ctrl+C or a termination request, taking the socket with it.
    static int wakePipe[2];
    if (pipe(wakePipe) != 0) {
        return kFailed;
    }
    std::signal(SIGINT, [](int) { (void)!write(wakePipe[1], "x", 1); });
    std::signal(SIGTERM, [](int) { (void)!write(wakePipe[1], "x", 1); });
    QSocketNotifier wake(wakePipe[0], QSocketNotifier::Read);
    QObject::connect(&wake, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    app.exec();
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        return Usage();
    }
    const QString command = args[0];
    if (command == QLatin1String("frames")) {
        return Frames(args);
    }
    if (command == QLatin1String("record")) {
        return Record(args);
    }
    if (command == QLatin1String("close") && args.size() == 1) {
        return Close();
    }
    if (command == QLatin1String("listen") && args.size() == 1) {
        return Listen(app);
    }
    return Usage();
}
