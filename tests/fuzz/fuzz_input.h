// What every fuzz target shares: the input as a file, for the readers that take a path.
#pragma once

#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace ovistra::fuzz {

// A file of this process that holds `size` bytes of `data`; rewritten for each input.
inline QString InputFile(const uint8_t* data, size_t size) {
    static const QString path = QStringLiteral("/tmp/ovistra-fuzz-%1.input").arg(getpid());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    return path;
}

}  // namespace ovistra::fuzz
