// Still pictures of the cameras: BMP files in the "image" folder below the record folder, named
// after the moment they were taken.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace ovistra {

// "image" below the record folder.
QString StillFolder(const QString& recordFolder);

// "%Y%m%d-%H%M%S" and the milliseconds without leading zeros, then ".bmp": a picture taken at
// 14:25:01.037 on 30 November 2003 is "20031130-14250137.bmp".
QString StillFileName(const QDateTime& moment);

enum class BitmapWrite { Written, Taken, Failed };

// Writes a packed bitmap (a 40-byte information header, then the pixels, no colour table) as a
// new BMP file; an existing file is left alone (Taken). A file that could not be filled is
// removed again.
BitmapWrite WriteBitmapFile(const QString& path, const QByteArray& bitmap);

// Writes a packed bitmap (a 40-byte information header, then the pixels, no colour table) as a
// BMP file in `folder`, named after `moment`. The file is created only if it does not exist: a
// name already taken moves on to the next millisecond. Returns the file's path; empty when
// nothing was written (no picture, or the file could not be created or filled).
QString SaveStill(const QString& folder, const QDateTime& moment, const QByteArray& bitmap);

// Takes a still's name in `folder` as SaveStill would, by creating it empty, so the picture can
// be written later on another thread (FillStill). Empty when no name could be taken.
QString ReserveStill(const QString& folder, const QDateTime& moment);

// Writes a packed bitmap into a file ReserveStill created; a file that could not be filled is
// removed again.
bool FillStill(const QString& path, const QByteArray& bitmap);

}  // namespace ovistra
