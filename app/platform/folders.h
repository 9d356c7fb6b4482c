// The folders the station works in, and path joins that never double a separator.
#pragma once

#include <QString>

namespace ovistra::platform {

// folder + "/" + name with exactly one separator between them.
QString JoinPath(const QString& folder, const QString& name);

// The user's program folder ("AppPath"), with a trailing "/":
// $XDG_DATA_HOME/Halvorn/Brisquel/. It belongs to the user, never to the installation.
QString DefaultProgramFolder();

// The program folder for a stored "AppPath": itself when it is an absolute folder, otherwise
// the default; always with one trailing "/".
QString ProgramFolderFrom(const QString& appPath);

// The per-user key file: $XDG_CONFIG_HOME/Halvorn/Brisquel.reg.
QString KeyFilePath();

// "customSetting/CustomSetting.dt" in the program folder.
QString SettingsFilePath(const QString& programFolder);

// The folder that receives recordings for a stored "RecordPath". Anything but an absolute
// folder other than the root (empty, relative, a drive letter) means the user's videos folder
// + "/Quorvane", so recordings never land in the working folder or in "/".
QString RecordFolderFrom(const QString& recordPath);

// The per-user runtime folder for the instance lock and link sockets:
// $XDG_RUNTIME_DIR/ovistra, or /tmp/ovistra-<uid> without it. Created with mode 0700 when
// missing; refused, with a reason for the user, when it is not a folder of ours closed to others.
struct RuntimeFolder {
    QString path;
    QString error;  // empty when the folder can be used
    bool ok() const { return error.isEmpty(); }
};
RuntimeFolder PrepareRuntimeFolder();

}  // namespace ovistra::platform
