#include "first_run.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "folders.h"
#include "settings_store.h"

namespace ovistra {

bool SetUpFirstRun(platform::RegistryStore& registry, const QString& programFolder,
                   const QString& alarmSource) {
    const QString keyFile = registry.CurrentUserFile();
    if (QFileInfo::exists(keyFile)) {
        return false;
    }
    // The settings folder will hold the password: closed to others from the start.
    QDir().mkpath(programFolder);
    ::mkdir(QFile::encodeName(platform::JoinPath(programFolder, QStringLiteral("customSetting")))
                .constData(),
            0700);
    const QString alarm = platform::JoinPath(programFolder, QStringLiteral("Alarm.wav"));
    if (!alarmSource.isEmpty() && !QFileInfo::exists(alarm)) {
        QFile::copy(alarmSource, alarm);
    }
    // The key comes last, so a set-up cut short is done again on the next start.
    QDir().mkpath(QFileInfo(keyFile).path());
    if (!registry.CreateKey(SettingsStore::kProgramKey)) {
        return false;
    }
    platform::CRegistryKey key(registry);
    if (key.OpenForWrite(platform::RegistryRoot::CurrentUser, SettingsStore::kProgramKey)) {
        key.WriteString(QStringLiteral("AppPath"), programFolder);
    }
    return key.Close();
}

}  // namespace ovistra
