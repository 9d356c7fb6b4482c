#include "runtime_paths.h"

#include <QDir>
#include <QFileInfo>

#include "folders.h"

namespace ovistra::platform {
namespace {

QString FirstExisting(const QStringList& candidates) {
    for (const QString& path : candidates) {
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return QString();
}

}  // namespace

QString ExecutableFolder() {
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).path();
}

QStringList RuntimeLibraryCandidates(const QString& fileName) {
    const QString own = ExecutableFolder();
    QStringList candidates{JoinPath(own, fileName)};
    // The installed library folder, which is lib/<multiarch> on a /usr prefix.
    for (const QString& lib : {QStringLiteral("lib"), QStringLiteral(OVISTRA_INSTALL_LIBDIR)}) {
        for (const QString& sub : {QStringLiteral("/ovistra/"), QStringLiteral("/")}) {
            const QString path = QDir::cleanPath(JoinPath(own, "../" + lib + sub + fileName));
            if (!candidates.contains(path)) {
                candidates << path;
            }
        }
    }
    return candidates;
}

QString FindRuntimeLibrary(const QString& fileName) {
    return FirstExisting(RuntimeLibraryCandidates(fileName));
}

QString FindDataFile(const QString& fileName) {
    const QString own = ExecutableFolder();
    return FirstExisting(
        {JoinPath(own, fileName), QDir::cleanPath(JoinPath(own, "../share/ovistra/" + fileName))});
}

}  // namespace ovistra::platform
