#include "custom_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "private_profile.h"

namespace ovistra {
namespace {

const QString kSection = QStringLiteral("Settings");
constexpr mode_t kFileMode = 0600;

QByteArray NativeFolder(const QString& path) {
    return QFile::encodeName(QFileInfo(path).absolutePath());
}

// Takes every access of group and others away; the owner keeps what it has. A link is left
// alone: chmod would change what it points to.
void CloseToOthers(const QByteArray& native) {
    struct stat st {};
    if (lstat(native.constData(), &st) == 0 && !S_ISLNK(st.st_mode) && (st.st_mode & 077) != 0) {
        chmod(native.constData(), st.st_mode & 0700);
    }
}

// Never truncates: the file may hold the password.
bool CreateClosedFile(const QByteArray& native) {
    const int fd = open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kFileMode);
    if (fd < 0) {
        return false;
    }
    close(fd);
    CloseToOthers(native);
    return true;
}

// Before each write into an existing folder: a file the write would create is created closed to
// others first (the atomic rewrite keeps the modes of the file it replaces), and a folder or
// file made by an older version or by hand is closed now.
void CloseBeforeWrite(const QString& path) {
    const QByteArray folder = NativeFolder(path);
    struct stat st {};
    if (stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return;
    }
    CloseToOthers(folder);
    CreateClosedFile(QFile::encodeName(path));
}

int ReadComponent(const QString& path, const char* key, int defaultValue) {
    const int value = platform::profile::GetInt(path, kSection, key, defaultValue);
    return value >= 0 && value <= 255 ? value : defaultValue;
}

bool Write(const QString& path, const char* key, const QString& value) {
    CloseBeforeWrite(path);
    return platform::profile::WriteString(path, kSection, key, value);
}

}  // namespace

ColourScheme CustomSettings::LoadColourScheme() const {
    const ColourScheme d;
    ColourScheme s;
    s.backgroundRed = ReadComponent(path_, "BGColorRed", d.backgroundRed);
    s.backgroundGreen = ReadComponent(path_, "BGColorGreen", d.backgroundGreen);
    s.backgroundBlue = ReadComponent(path_, "BGColorBlue", d.backgroundBlue);
    s.textRed = ReadComponent(path_, "FGColorRed", d.textRed);
    s.textGreen = ReadComponent(path_, "FGColorGreen", d.textGreen);
    s.textBlue = ReadComponent(path_, "FGColorBlue", d.textBlue);
    return s;
}

bool CustomSettings::SaveColourScheme(const ColourScheme& s) const {
    bool ok = Write(path_, "BGColorRed", QString::number(s.backgroundRed));
    ok = Write(path_, "BGColorGreen", QString::number(s.backgroundGreen)) && ok;
    ok = Write(path_, "BGColorBlue", QString::number(s.backgroundBlue)) && ok;
    ok = Write(path_, "FGColorRed", QString::number(s.textRed)) && ok;
    ok = Write(path_, "FGColorGreen", QString::number(s.textGreen)) && ok;
    ok = Write(path_, "FGColorBlue", QString::number(s.textBlue)) && ok;
    return Write(path_, "CheckState", QStringLiteral("1")) && ok;
}

QString CustomSettings::LoadPassword() const {
    return platform::profile::GetString(path_, kSection, "Password", QString(), kPasswordChars);
}

bool CustomSettings::SavePassword(const QString& encoded) const {
    const bool ok = Write(path_, "Password", encoded);
    return Write(path_, "CheckState", QStringLiteral("1")) && ok;
}

int CustomSettings::LoadCheckState() const {
    return platform::profile::GetInt(path_, kSection, "CheckState", 0);
}

bool CustomSettings::CreateFile() const {
    const QByteArray folder = NativeFolder(path_);
    // The program folder too when it is missing; the settings folder is closed right after.
    if (!QDir().mkpath(QFileInfo(path_).absolutePath())) {
        return false;
    }
    CloseToOthers(folder);
    return CreateClosedFile(QFile::encodeName(path_));
}

}  // namespace ovistra
