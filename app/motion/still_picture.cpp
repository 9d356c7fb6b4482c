#include "still_picture.h"

#include <QFile>
#include <QtEndian>
#include <array>
#include <cstdint>

#include "folders.h"

namespace ovistra {
namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;
// Enough names for every still of a second, not an endless search in a folder that refuses all.
constexpr int kNameAttempts = 1000;

std::array<char, kFileHeaderBytes> FileHeader(qsizetype bitmapBytes) {
    std::array<char, kFileHeaderBytes> header{'B', 'M'};
    qToLittleEndian<quint32>(static_cast<quint32>(kFileHeaderBytes + bitmapBytes), &header[2]);
    qToLittleEndian<quint32>(kFileHeaderBytes + kInfoHeaderBytes, &header[10]);
    return header;
}

}  // namespace

QString StillFolder(const QString& recordFolder) {
    return platform::JoinPath(recordFolder, QStringLiteral("image"));
}

QString StillFileName(const QDateTime& moment) {
    return moment.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QString::number(moment.time().msec()) + QStringLiteral(".bmp");
}

BitmapWrite WriteBitmapFile(const QString& path, const QByteArray& bitmap) {
    if (bitmap.size() < kInfoHeaderBytes || bitmap.size() > UINT32_MAX - kFileHeaderBytes) {
        return BitmapWrite::Failed;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return file.exists() ? BitmapWrite::Taken : BitmapWrite::Failed;
    }
    const std::array<char, kFileHeaderBytes> header = FileHeader(bitmap.size());
    if (file.write(header.data(), kFileHeaderBytes) != kFileHeaderBytes ||
        file.write(bitmap) != bitmap.size() || !file.flush()) {
        // A cut picture is no picture: it goes rather than staying half written.
        file.close();
        QFile::remove(path);
        return BitmapWrite::Failed;
    }
    return BitmapWrite::Written;
}

QString SaveStill(const QString& folder, const QDateTime& moment, const QByteArray& bitmap) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString path = platform::JoinPath(folder, StillFileName(moment.addMSecs(attempt)));
        switch (WriteBitmapFile(path, bitmap)) {
            case BitmapWrite::Written:
                return path;
            case BitmapWrite::Taken:
                continue;  // perhaps by another camera's still in the same millisecond
            case BitmapWrite::Failed:
                return {};
        }
    }
    return {};
}

}  // namespace ovistra
