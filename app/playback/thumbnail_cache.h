// Scaled pictures for the picture slots, kept for the files shown last, so scrolling through
// many pictures reads each file once instead of at every paint. A file changed on disk is read
// again; one that cannot be read gives a null image (remembered the same way).
#pragma once

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>
#include <list>

namespace ovistra {

class ThumbnailCache {
public:
    static constexpr int kCapacity = 32;  // a few screens of five slots

    // `path` stretched to `size`; null when the file is missing or no usable BMP.
    QImage Thumbnail(const QString& path, const QSize& size);

    int reads() const { return reads_; }  // files read so far

private:
    struct Entry {
        QString path;
        QSize size;
        QDateTime modified;
        qint64 bytes = 0;
        QImage image;
    };

    QImage Read(const QString& path, const QSize& size);

    std::list<Entry> entries_;  // most recently used first
    int reads_ = 0;
};

}  // namespace ovistra
