#include "folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>

namespace ovistra::platform {

QString JoinPath(const QString& folder, const QString& name) {
    QString a = folder;
    while (a.size() > 1 && a.endsWith('/')) {
        a.chop(1);
    }
    QString b = name;
    while (b.startsWith('/')) {
        b.remove(0, 1);
    }
    if (a.isEmpty()) {
        return b;
    }
    if (a == QStringLiteral("/")) {
        return a + b;
    }
    return b.isEmpty() ? a : a + '/' + b;
}

QString DefaultProgramFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return JoinPath(data, QStringLiteral("Halvorn/Brisquel")) + '/';
}

QString ProgramFolderFrom(const QString& appPath) {
    if (!QDir::isAbsolutePath(appPath) || QDir::cleanPath(appPath) == QStringLiteral("/")) {
        return DefaultProgramFolder();
    }
    return JoinPath(QDir::cleanPath(appPath), QString()) + '/';
}

QString KeyFilePath() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return JoinPath(config, QStringLiteral("Halvorn/Brisquel.reg"));
}

QString SettingsFilePath(const QString& programFolder) {
    return JoinPath(programFolder, QStringLiteral("customSetting/CustomSetting.dt"));
}

QString RecordFolderFrom(const QString& recordPath) {
    const QString trimmed = recordPath.trimmed();
    if (QDir::isAbsolutePath(trimmed) && QDir::cleanPath(trimmed) != QStringLiteral("/")) {
        return QDir::cleanPath(trimmed);
    }
    QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (videos.isEmpty()) {
        videos = JoinPath(QDir::homePath(), QStringLiteral("Videos"));
    }
    return JoinPath(videos, QStringLiteral("Quorvane"));
}

RuntimeFolder PrepareRuntimeFolder() {
    const uid_t uid = getuid();
    const QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString path = base.isEmpty() ? QStringLiteral("/tmp/ovistra-%1").arg(uid)
                                        : JoinPath(base, QStringLiteral("ovistra"));
    const QByteArray native = QFile::encodeName(path);
    if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        return {path, QStringLiteral("cannot create the runtime folder %1: %2")
                          .arg(path, QString::fromLocal8Bit(strerror(errno)))};
    }
    struct stat st {};
    if (lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return {path, QStringLiteral("the runtime folder %1 is not a folder").arg(path)};
    }
    if (st.st_uid != uid) {
        return {path, QStringLiteral("the runtime folder %1 belongs to another user").arg(path)};
    }
    if ((st.st_mode & 077) != 0) {
        return {path, QStringLiteral("the runtime folder %1 is open to other users (mode %2)")
                          .arg(path)
                          .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'))};
    }
    return {path, QString()};
}

}  // namespace ovistra::platform
