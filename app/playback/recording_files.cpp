#include "recording_files.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

namespace ovistra {
namespace {

// The set's later files in the folder, by number, none past `cap`.
std::vector<std::pair<int32_t, QString>> Followers(const QString& path, int32_t cap) {
    std::vector<std::pair<int32_t, QString>> followers;
    if (!path.endsWith(QLatin1String(".avi")) || cap < 1) {
        return followers;
    }
    // The folder's files named like followers, not every number up to the index: a damaged
    // index costs nothing, and a follower missing in the middle does not hide the later ones.
    const QFileInfo base(path);
    const QString stem = base.completeBaseName();
    for (const QString& name :
         base.dir().entryList({stem + QStringLiteral("*.avi")}, QDir::Files)) {
        const QString digits = name.mid(stem.size(), name.size() - stem.size() - 4);
        bool number = false;
        const int32_t index = digits.toInt(&number);
        // "base01.avi" is no follower of "base.avi": only the number as the station writes it.
        if (number && index >= 1 && index <= cap && QString::number(index) == digits) {
            followers.emplace_back(index, base.dir().filePath(name));
        }
    }
    std::sort(followers.begin(), followers.end());
    return followers;
}

// A set still being written has no last index yet: its folder says how far it got.
int32_t FollowerCap(const RecordInfo& entry) {
    return entry.StillRecording() ? INT32_MAX : entry.lastIndex;
}

}  // namespace

QStringList RecordingFiles(const RecordInfo& entry) {
    QStringList files{entry.path};
    for (const auto& [index, path] : Followers(entry.path, FollowerCap(entry))) {
        files << path;
    }
    return files;
}

int32_t LastSetIndex(const RecordInfo& entry) {
    if (!entry.StillRecording()) {
        return std::max(entry.lastIndex, 0);
    }
    const auto followers = Followers(entry.path, INT32_MAX);
    return followers.empty() ? 0 : followers.back().first;
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
