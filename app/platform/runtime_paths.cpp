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
    return {JoinPath(own, fileName), QDir::cleanPath(JoinPath(own, "../lib/ovistra/" + fileName)),
            QDir::cleanPath(JoinPath(own, "../lib/" + fileName))};
}

QString FindRuntimeLibrary(const QString& fileName) {
    return FirstExisting(RuntimeLibraryCandidates(fileName));
}

QString FindDataFile(const QString& fileName) {
    const QString own = ExecutableFolder();
    return FirstExisting({JoinPath(own, fileName),
                          QDir::cleanPath(JoinPath(own, "../share/ovistra/" + fileName))});
}

}  // namespace ovistra::platform
