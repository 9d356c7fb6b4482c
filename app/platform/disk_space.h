// Free space of the file system that holds a path.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace ovistra::platform {

// Bytes this user may still write on the file system holding path, or on the one holding its
// nearest existing parent when path does not exist yet; none when nothing can be asked.
std::optional<uint64_t> FreeBytes(const QString& path);

// The folder the file system holding path (or its nearest existing parent) is mounted on, the
// name a user knows the disk by; empty when nothing can be asked.
QString MountPointOf(const QString& path);

}  // namespace ovistra::platform
