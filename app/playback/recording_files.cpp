#include "recording_files.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <utility>
#include <vector>

namespace ovistra {

QStringList RecordingFiles(const RecordInfo& entry) {
    QStringList files{entry.path};
    if (!entry.path.endsWith(QLatin1String(".avi")) || entry.lastIndex < 1) {
        return files;
    }
    // The folder's files named like followers, not every number up to the index: a damaged
    // index costs nothing, and a follower missing in the middle does not hide the later ones.
    const QFileInfo base(entry.path);
    const QString stem = base.completeBaseName();
    std::vector<std::pair<int32_t, QString>> followers;
    for (const QString& name :
         base.dir().entryList({stem + QStringLiteral("*.avi")}, QDir::Files)) {
        const QString digits = name.mid(stem.size(), name.size() - stem.size() - 4);
        bool number = false;
        const int32_t index = digits.toInt(&number);
        // "base01.avi" is no follower of "base.avi": only the number as the station writes it.
        if (number && index >= 1 && index <= entry.lastIndex && QString::number(index) == digits) {
            followers.emplace_back(index, base.dir().filePath(name));
        }
    }
    std::sort(followers.begin(), followers.end());
    for (const auto& [index, path] : followers) {
        files << path;
    }
    return files;
}

QString CircularOrdinal(int n) {
    switch (n % 10) {
        case 1:
            return QStringLiteral("st");
        case 2:
            return QStringLiteral("nd");
        case 3:
            return QStringLiteral("rd");
        default:
            return QStringLiteral("th");
    }
}

}  // namespace ovistra
