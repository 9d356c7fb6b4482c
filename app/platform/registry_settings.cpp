#include "registry_settings.h"

#include "folders.h"

namespace ovistra {

QString RegistrySettings::RecordFolder() const {
    return platform::RecordFolderFrom(recordPath);
}

}  // namespace ovistra
