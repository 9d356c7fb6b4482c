// Free space of the file system that holds a path.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace ovistra::platform {

// Bytes this user may still write on the file system holding path, or on the one holding its
// nearest existing parent when path does not exist yet; none when nothing can be asked.
std::optional<uint64_t> FreeBytes(const QString& path);

}  // namespace ovistra::platform
