#include "picture_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <algorithm>

namespace ovistra {
namespace {

// A plain file name: no folder part, no way up, not empty.
bool PlainName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

}  // namespace

QString PictureList::Picture::path() const {
    return QDir(folder).filePath(name);
}

void PictureList::Add(const QString& path) {
    const QFileInfo file(path);
    pictures_.push_back({file.absolutePath(), file.fileName()});
    if (count() > kSlots) {
        offset_ = count() - kSlots;
        slot_ = kSlots - 1;
    }
}

void PictureList::SelectNewest() {
    if (pictures_.empty()) {
        return;
    }
    offset_ = std::max(0, count() - kSlots);
    slot_ = count() - 1 - offset_;
}

std::optional<int> PictureList::SelectedIndex() const {
    if (slot_ < 0 || offset_ + slot_ >= count()) {
        return std::nullopt;
    }
    return offset_ + slot_;
}

const PictureList::Picture* PictureList::SlotPicture(int slot) const {
    const int index = offset_ + slot;
    return slot >= 0 && slot < kSlots && index < count() ? &pictures_[index] : nullptr;
}

bool PictureList::Select(int slot) {
    if (!SlotPicture(slot)) {
        return false;
    }
    slot_ = slot;
    return true;
}

void PictureList::ScrollForward() {
    if (count() - kSlots >= offset_ + 1) {
        ++offset_;
    }
}

void PictureList::ScrollBack() {
    if (offset_ > 0) {
        --offset_;
    }
}

void PictureList::RemoveAt(int index) {
    pictures_.erase(pictures_.begin() + index);
    // The view never shows empty slots past the end while there are pictures before it.
    offset_ = std::max(0, std::min(offset_, count() - kSlots));
}

bool PictureList::DeleteSelected() {
    const std::optional<int> index = SelectedIndex();
    if (!index) {
        return false;
    }
    QFile::remove(pictures_[*index].path());
    RemoveAt(*index);
    return true;
}

void PictureList::DeleteAll() {
    for (const Picture& picture : pictures_) {
        QFile::remove(picture.path());
    }
    KeepAll();
}

void PictureList::KeepAll() {
    pictures_.clear();
    offset_ = 0;
    slot_ = -1;
}

PictureList::Conversion PictureList::Convert(const Picture& picture, const QString& baseName,
                                             bool replace) const {
    const QString stem = baseName.section(QLatin1Char('.'), 0, 0);
    if (!PlainName(baseName) || stem.isEmpty()) {
        return Conversion::BadName;
    }
    const QString target = QDir(picture.folder).filePath(stem + QStringLiteral(".jpg"));
    if (!replace && QFileInfo::exists(target)) {
        return Conversion::Exists;
    }
    const QImage image(picture.path(), "BMP");
    if (image.isNull() || !image.save(target, "JPG")) {
        return Conversion::Failed;
    }
    return Conversion::Converted;
}

PictureList::Conversion PictureList::ConvertSelected(const QString& editedName, bool deleteBitmap,
                                                     bool replace) {
    const std::optional<int> index = SelectedIndex();
    if (!index) {
        return Conversion::NoSelection;
    }
    const Conversion result = Convert(pictures_[*index], editedName, replace);
    if (result == Conversion::Converted) {
        if (deleteBitmap) {
            QFile::remove(pictures_[*index].path());
        }
        RemoveAt(*index);
    }
    return result;
}

int PictureList::ConvertAll() {
    int failed = 0;
    std::vector<Picture> kept;
    for (const Picture& picture : pictures_) {
        if (Convert(picture, picture.name, false) == Conversion::Converted) {
            QFile::remove(picture.path());
        } else {
            kept.push_back(picture);
            ++failed;
        }
    }
    pictures_ = std::move(kept);
    offset_ = 0;
    slot_ = -1;
    return failed;
}

}  // namespace ovistra
