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

bool BitmapFits(const QByteArray& bitmap) {
    return bitmap.size() >= kInfoHeaderBytes && bitmap.size() <= UINT32_MAX - kFileHeaderBytes;
}

bool WriteOpenBitmap(QFile& file, const QByteArray& bitmap) {
    const std::array<char, kFileHeaderBytes> header = FileHeader(bitmap.size());
    if (file.write(header.data(), kFileHeaderBytes) != kFileHeaderBytes ||
        file.write(bitmap) != bitmap.size() || !file.flush()) {
        // A cut picture is no picture: it goes rather than staying half written.
        file.close();
        file.remove();
        return false;
    }
    return true;
}

// The first free name from `moment` on, created by `create`; empty when none was taken.
template <typename Create>
QString FirstFreeStill(const QString& folder, const QDateTime& moment, Create create) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString path = platform::JoinPath(folder, StillFileName(moment.addMSecs(attempt)));
        switch (create(path)) {
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

}  // namespace

QString StillFolder(const QString& recordFolder) {
    return platform::JoinPath(recordFolder, QStringLiteral("image"));
}

QString StillFileName(const QDateTime& moment) {
    return moment.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QString::number(moment.time().msec()) + QStringLiteral(".bmp");
}

BitmapWrite WriteBitmapFile(const QString& path, const QByteArray& bitmap) {
    if (!BitmapFits(bitmap)) {
        return BitmapWrite::Failed;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return file.exists() ? BitmapWrite::Taken : BitmapWrite::Failed;
    }
    return WriteOpenBitmap(file, bitmap) ? BitmapWrite::Written : BitmapWrite::Failed;
}

QString SaveStill(const QString& folder, const QDateTime& moment, const QByteArray& bitmap) {
    return FirstFreeStill(folder, moment,
                          [&bitmap](const QString& path) { return WriteBitmapFile(path, bitmap); });
}

QString ReserveStill(const QString& folder, const QDateTime& moment) {
    return FirstFreeStill(folder, moment, [](const QString& path) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return BitmapWrite::Written;
        }
        return file.exists() ? BitmapWrite::Taken : BitmapWrite::Failed;
    });
}

bool FillStill(const QString& path, const QByteArray& bitmap) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::ExistingOnly)) {
        return false;
    }
    if (file.size() != 0) {
        return false;  // not the reserved file: whatever it holds stays
    }
    if (!BitmapFits(bitmap)) {
        file.close();
        file.remove();
        return false;
    }
    return WriteOpenBitmap(file, bitmap);
}

}  // namespace ovistra
