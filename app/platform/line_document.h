// A text file held as its raw lines, so a rewrite changes only the lines it means to change:
// every other byte, malformed or not, goes back exactly as it was read.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace ovistra::platform {

class LineDocument {
public:
    // Reads the file; false (and an empty document) when it cannot be read.
    bool Load(const QString& path);

    // Writes every line through a temporary file that replaces the file only when complete.
    bool Save(const QString& path) const;

    size_t size() const { return lines_.size(); }

    // The text of line i without its line ending.
    QByteArray Text(size_t i) const;

    // New and changed lines take the file's own line ending (CRLF when its first line had one).
    void Replace(size_t i, const QByteArray& text);
    void Insert(size_t i, const QByteArray& text);

private:
    std::vector<QByteArray> lines_;
    bool crlf_ = false;
    bool finalNewline_ = true;
};

}  // namespace ovistra::platform
