// Settings files in the INI layout ("CustomSetting.dt"): [section] headers and key=value lines.
// Section and key names match without regard to ASCII case; the first matching section and,
// in it, the first matching key win. A rewrite changes only the line it writes, so comments,
// unknown sections and even malformed lines survive it byte for byte. Not safe for two writers
// of the same file at once.
#pragma once

#include <QString>

namespace ovistra::platform::profile {

// The integer of a key, as Windows-style INI readers give it.
int GetInt(const QString& path, const QString& section, const QString& key, int defaultValue);

// The text of a key, at most maxChars characters.
QString GetString(const QString& path, const QString& section, const QString& key,
                  const QString& defaultValue, int maxChars);

// Writes key=value into section, creating the file, the section or the key as needed.
bool WriteString(const QString& path, const QString& section, const QString& key,
                 const QString& value);

}  // namespace ovistra::platform::profile
