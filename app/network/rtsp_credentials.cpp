#include "rtsp_credentials.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QUrl>

#include "custom_settings.h"
#include "private_profile.h"

namespace ovistra::network {
namespace {

// A line far longer than any user and password is no credentials file.
constexpr qsizetype kMaxFileBytes = 4096;
constexpr int kMaxStoredChars = 3 * kMaxFileBytes;  // percent-encoded
const QString kSection = QStringLiteral("Network");
const QString kUserKey = QStringLiteral("RtspUser");
const QString kPasswordKey = QStringLiteral("RtspPassword");

// The profile layer trims values and strips quotes; encoded, a password keeps its spaces,
// quotes and any other character.
QString Encode(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString Decode(const QString& stored) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(stored.toLatin1()));
}

std::optional<QByteArray> ReadClosedFile(const QString& path, QString* error) {
    // Checked on the open file itself, so the file cannot be swapped between check and read.
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *error = QStringLiteral("cannot be read");
        return std::nullopt;
    }
    struct stat st {};
    std::optional<QByteArray> contents;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = QStringLiteral("is not a regular file");
    } else if ((st.st_mode & 077) != 0) {
        *error = QStringLiteral("is open to other users (make it mode 0600)");
    } else if (st.st_size > kMaxFileBytes) {
        *error = QStringLiteral("is too long for one user:password line");
    } else {
        QByteArray bytes(kMaxFileBytes + 1, '\0');
        qsizetype total = 0;
        ssize_t n = 0;
        while ((n = read(fd, bytes.data() + total, static_cast<size_t>(bytes.size() - total))) > 0) {
            total += n;
        }
        if (n < 0) {
            *error = QStringLiteral("cannot be read");
        } else if (total > kMaxFileBytes) {
            *error = QStringLiteral("is too long for one user:password line");
        } else {
            bytes.truncate(total);
            contents = std::move(bytes);
        }
    }
    close(fd);
    return contents;
}

}  // namespace

std::optional<RtspCredentials> ReadCredentialsFile(const QString& path, QString* error) {
    std::optional<QByteArray> contents = ReadClosedFile(path, error);
    if (!contents) {
        return std::nullopt;
    }
    QByteArray line = *contents;
    if (line.endsWith('\n')) {
        line.chop(1);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    if (line.contains('\n') || line.contains('\r')) {
        *error = QStringLiteral("holds more than one line");
        return std::nullopt;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon < 0) {
        *error = QStringLiteral("holds no user:password line");
        return std::nullopt;
    }
    RtspCredentials credentials{QString::fromUtf8(line.left(colon)),
                                QString::fromUtf8(line.mid(colon + 1))};
    if (credentials.user.isEmpty()) {
        *error = QStringLiteral("names no user");
        return std::nullopt;
    }
    // A user without a password would let anyone in who can guess the name.
    if (credentials.password.isEmpty()) {
        *error = QStringLiteral("gives no password");
        return std::nullopt;
    }
    return credentials;
}

RtspCredentials LoadStoredCredentials(const QString& settingsFile) {
    using platform::profile::GetString;
    RtspCredentials c;
    c.user = Decode(GetString(settingsFile, kSection, kUserKey, QString(), kMaxStoredChars));
    if (!c.user.isEmpty()) {
        c.password =
            Decode(GetString(settingsFile, kSection, kPasswordKey, QString(), kMaxStoredChars));
    }
    return c;
}

bool SaveStoredCredentials(const QString& settingsFile, const RtspCredentials& credentials) {
    using platform::profile::WriteString;
    // Made closed first: the rewrite keeps the modes of the file it replaces.
    if (!CustomSettings(settingsFile).CreateFile()) {
        return false;
    }
    const bool empty = credentials.empty();
    const bool ok = WriteString(settingsFile, kSection, kUserKey,
                                empty ? QString() : Encode(credentials.user));
    return WriteString(settingsFile, kSection, kPasswordKey,
                       empty ? QString() : Encode(credentials.password)) &&
           ok;
}

}  // namespace ovistra::network
