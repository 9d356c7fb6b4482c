// Loads and saves the registry settings in the groups of the settings dialogs. Loads keep the
// value in force wherever the key has no usable value; saves write one dialog's group.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "registry_key.h"
#include "registry_settings.h"

namespace ovistra {

// Which settings dialogs were opened during the run: only their groups are saved at exit.
struct OpenedDialogs {
    bool schedule = false;
    bool record = false;
    bool motion = false;
    bool camera = false;
};

class SettingsStore {
public:
    static const QString kProgramKey;  // "Software\Halvorn\Brisquel"

    // Told of each camera name the load changes (camera 1..4), so captions can follow.
    using NameChanged = std::function<void(int camera, const QString& name)>;

    explicit SettingsStore(platform::RegistryStore& registry);

    // The type a program-key value is stored with; none for a name the station does not keep.
    static std::optional<platform::RegistryValue::Type> TypeOf(const QString& name);

    // Each returns whether the program key could be opened; the start-up order is the order
    // of LoadAll.
    bool LoadSchedules(RegistrySettings& s) const;
    bool LoadRecordSettings(RegistrySettings& s) const;
    bool LoadCameraSettings(RegistrySettings& s, const NameChanged& nameChanged = {}) const;
    // With the alarm commands, which no dialog changes, so no save writes them.
    bool LoadMotionSettings(RegistrySettings& s) const;
    bool LoadNetworkSettings(RegistrySettings& s) const;
    void LoadAll(RegistrySettings& s, const NameChanged& nameChanged = {}) const;

    // Each writes its group in a fixed order; false when the key cannot be written.
    bool SaveSchedules(const RegistrySettings& s) const;
    bool SaveRecordSettings(const RegistrySettings& s) const;
    bool SaveMotionSettings(const RegistrySettings& s) const;
    bool SaveCameraSettings(const RegistrySettings& s) const;
    // At once when the network view dialog is confirmed, not at exit.
    bool SaveNetworkSettings(const RegistrySettings& s) const;

    // The exit sequence: the opened dialogs' groups, schedule, record, motion, camera.
    void SaveOpenedGroups(const RegistrySettings& s, const OpenedDialogs& opened) const;

private:
    platform::RegistryStore& registry_;
};

// Sets a run-only value of the program key ("--set NAME=VALUE"), typed as the setting is
// stored: numbers in decimal or with 0x in hexadecimal, up to 32 bits. False, with a reason,
// for a name the station does not keep or a value its type cannot hold.
bool AddRunOverride(platform::RegistryStore& registry, const QString& name, const QString& value,
                    QString* error);

// The camera dialog's dwell time in whole milliseconds, truncated; a decimal the user typed
// (0.29 s) is not lost to binary rounding (289.99999...).
uint32_t MillisecondsFromSeconds(double seconds);

}  // namespace ovistra
