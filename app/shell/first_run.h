// The station's first run on an account: the program folder with its "customSetting" folder,
// "Alarm.wav" copied into it, and the registry key holding "AppPath". After that the key exists
// and the program never creates it again.
#pragma once

#include <QString>

#include "registry_key.h"

namespace ovistra {

// Sets up when the key file does not exist yet; true when it did. alarmSource is the
// "Alarm.wav" shipped with the program (may be empty when none is found).
bool SetUpFirstRun(platform::RegistryStore& registry, const QString& programFolder,
                   const QString& alarmSource);

}  // namespace ovistra
