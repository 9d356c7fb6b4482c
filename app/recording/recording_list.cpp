#include "recording_list.h"

#include <QFile>
#include <QFileInfo>

#include "durable_writer.h"
#include "recording_list_format.h"

namespace ovistra {
namespace {

const QString kFileName = QStringLiteral("fileinfo.dat");

// "fileinfo.dat.bad", else "fileinfo.dat.bad.2", ".3", ...: never one that exists.
QString FreeBadName(const QString& path) {
    QString candidate = path + QStringLiteral(".bad");
    for (int n = 2; QFileInfo::exists(candidate); ++n) {
        candidate = path + QStringLiteral(".bad.%1").arg(n);
    }
    return candidate;
}

}  // namespace

RecordingList::RecordingList(QString programFolder) : programFolder_(std::move(programFolder)) {}

QString RecordingList::filePath() const {
    return programFolder_ + kFileName;
}

RecordingList::LoadResult RecordingList::Load() {
    LoadResult result;
    entries_.clear();
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return result;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    ParsedRecordingList parsed = ParseRecordingList(bytes);
    entries_ = std::move(parsed.entries);
    if (parsed.damaged) {
        result.damaged = true;
        result.keptAside = FreeBadName(filePath());
        QFile::copy(filePath(), result.keptAside);
    }
    return result;
}

bool RecordingList::Save() const {
    const QByteArray bytes = SerializeRecordingList(entries_);
    if (writer_) {
        writer_->Replace(filePath(), bytes);
        return true;
    }
    return platform::ReplaceFileDurably(filePath(), bytes);
}

}  // namespace ovistra
