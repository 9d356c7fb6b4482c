// Where the station finds its own run-time libraries and data: beside its executable (the
// build tree's output folder), else in the installed prefix around it. Never the system search
// path, so a stray copy elsewhere on the machine is never picked up.
#pragma once

#include <QString>
#include <QStringList>

namespace ovistra::platform {

// The folder of the running executable (from /proc/self/exe).
QString ExecutableFolder();

// Candidate paths of a run-time library, in search order: the executable's folder,
// ../lib/ovistra/ and ../lib/ beside it, then the same in the installed library folder.
QStringList RuntimeLibraryCandidates(const QString& fileName);

// The first candidate that exists; empty when none does.
QString FindRuntimeLibrary(const QString& fileName);

// A data file shipped with the program: the executable's folder, else ../share/ovistra/.
QString FindDataFile(const QString& fileName);

}  // namespace ovistra::platform
