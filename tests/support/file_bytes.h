// Whole files in and out, for tests that check what the code left on disk.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace testsupport {

// Never empty for a file that cannot be read, so expecting an empty file cannot pass on a
// missing one.
inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

[[nodiscard]] inline bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

}  // namespace testsupport
