#include "custom_settings.h"

#include "private_profile.h"

namespace ovistra {
namespace {

const QString kSection = QStringLiteral("Settings");

int ReadComponent(const QString& path, const char* key, int defaultValue) {
    const int value = platform::profile::GetInt(path, kSection, key, defaultValue);
    return value >= 0 && value <= 255 ? value : defaultValue;
}

bool Write(const QString& path, const char* key, const QString& value) {
    return platform::profile::WriteString(path, kSection, key, value);
}

}  // namespace

ColourScheme CustomSettings::LoadColourScheme() const {
    const ColourScheme d;
    ColourScheme s;
    s.backgroundRed = ReadComponent(path_, "BGColorRed", d.backgroundRed);
    s.backgroundGreen = ReadComponent(path_, "BGColorGreen", d.backgroundGreen);
    s.backgroundBlue = ReadComponent(path_, "BGColorBlue", d.backgroundBlue);
    s.textRed = ReadComponent(path_, "FGColorRed", d.textRed);
    s.textGreen = ReadComponent(path_, "FGColorGreen", d.textGreen);
    s.textBlue = ReadComponent(path_, "FGColorBlue", d.textBlue);
    return s;
}

bool CustomSettings::SaveColourScheme(const ColourScheme& s) const {
    bool ok = Write(path_, "BGColorRed", QString::number(s.backgroundRed));
    ok = Write(path_, "BGColorGreen", QString::number(s.backgroundGreen)) && ok;
    ok = Write(path_, "BGColorBlue", QString::number(s.backgroundBlue)) && ok;
    ok = Write(path_, "FGColorRed", QString::number(s.textRed)) && ok;
    ok = Write(path_, "FGColorGreen", QString::number(s.textGreen)) && ok;
    ok = Write(path_, "FGColorBlue", QString::number(s.textBlue)) && ok;
    return Write(path_, "CheckState", QStringLiteral("1")) && ok;
}

QString CustomSettings::LoadPassword() const {
    return platform::profile::GetString(path_, kSection, "Password", QString(), kPasswordChars);
}

bool CustomSettings::SavePassword(const QString& encoded) const {
    const bool ok = Write(path_, "Password", encoded);
    return Write(path_, "CheckState", QStringLiteral("1")) && ok;
}

int CustomSettings::LoadCheckState() const {
    return platform::profile::GetInt(path_, kSection, "CheckState", 0);
}

}  // namespace ovistra
