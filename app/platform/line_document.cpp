#include "line_document.h"

#include <QFile>
#include <QSaveFile>

namespace ovistra::platform {

bool LineDocument::Load(const QString& path) {
    lines_.clear();
    crlf_ = false;
    finalNewline_ = true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return false;
    }
    if (bytes.isEmpty()) {
        return true;
    }
    for (const QByteArray& line : bytes.split('\n')) {
        lines_.push_back(line);
    }
    // split() leaves an empty piece after a final line feed.
    finalNewline_ = bytes.endsWith('\n');
    if (finalNewline_) {
        lines_.pop_back();
    }
    crlf_ = !lines_.empty() && lines_.front().endsWith('\r');
    return true;
}

bool LineDocument::Save(const QString& path) const {
    QByteArray bytes;
    for (size_t i = 0; i < lines_.size(); ++i) {
        bytes += lines_[i];
        if (i + 1 < lines_.size() || finalNewline_) {
            bytes += '\n';
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QByteArray LineDocument::Text(size_t i) const {
    const QByteArray& line = lines_[i];
    return line.endsWith('\r') ? line.chopped(1) : line;
}

void LineDocument::Replace(size_t i, const QByteArray& text) {
    lines_[i] = crlf_ ? text + '\r' : text;
}

void LineDocument::Insert(size_t i, const QByteArray& text) {
    if (i == lines_.size() && !finalNewline_) {
        // The old last line had no line ending; it gets the file's own now, as does the new one.
        if (crlf_ && !lines_.empty()) {
            lines_.back() += '\r';
        }
        finalNewline_ = true;
    }
    lines_.insert(lines_.begin() + static_cast<ptrdiff_t>(i), crlf_ ? text + '\r' : text);
}

}  // namespace ovistra::platform
