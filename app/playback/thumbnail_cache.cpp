#include "thumbnail_cache.h"

#include <QFileInfo>
#include <QPainter>

#include "c_dib.h"

namespace ovistra {

QImage ThumbnailCache::Thumbnail(const QString& path, const QSize& size) {
    const QFileInfo file(path);
    if (!file.isFile() || size.isEmpty()) {
        return {};
    }
    const QDateTime modified = file.lastModified();
    const qint64 bytes = file.size();
    for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
        if (entry->path == path && entry->size == size && entry->modified == modified &&
            entry->bytes == bytes) {
            entries_.splice(entries_.begin(), entries_, entry);
            return entries_.front().image;
        }
    }
    entries_.push_front({path, size, modified, bytes, Read(path, size)});
    if (entries_.size() > static_cast<size_t>(kCapacity)) {
        entries_.pop_back();
    }
    return entries_.front().image;
}

QImage ThumbnailCache::Read(const QString& path, const QSize& size) {
    ++reads_;
    CDib dib;
    if (dib.Read(path) <= 0) {
        return {};
    }
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    if (!dib.Paint(painter, image.rect(), QRect(0, 0, dib.Width(), dib.Height()))) {
        return {};
    }
    return image;
}

}  // namespace ovistra
