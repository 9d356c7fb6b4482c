// The per-user key file: a REGEDIT4 text of key sections holding quoted, typed values.
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Halvorn\Brisquel]
//   "RecordPath"="/home/ann/Videos/Quorvane"
//   "EachTime"=dword:000003e8
//
// Lines it does not change, including ones it cannot parse, are written back byte for byte.
#pragma once

#include <QString>
#include <optional>

#include "line_document.h"

namespace ovistra::platform {

struct RegistryValue {
    enum class Type { String, Number, Other };
    Type type = Type::Other;
    QString text;         // Type::String
    uint32_t number = 0;  // Type::Number
    int textBytes = 0;    // UTF-8 size of text, which readers limit

    static RegistryValue String(const QString& text);
    static RegistryValue Number(uint32_t number);
};

class RegistryDocument {
public:
    // False (and an empty document) when the file cannot be read.
    bool Load(const QString& path);
    bool Save(const QString& path) const;

    // A new file holding one empty key.
    static RegistryDocument WithKey(const QString& keyPath);

    // Key paths such as "HKEY_CURRENT_USER\Software\Halvorn\Brisquel"; names match in any case.
    bool HasKey(const QString& keyPath) const;
    std::optional<RegistryValue> Value(const QString& keyPath, const QString& name) const;

    // Replaces the value in its line, or adds it after the key's last value. False when the key
    // does not exist or a string holds a line break, which the format cannot carry.
    bool SetValue(const QString& keyPath, const QString& name, const RegistryValue& value);

private:
    struct Section {
        size_t header;
        size_t end;  // one past the section's last line
    };
    std::optional<Section> FindSection(const QString& keyPath) const;

    LineDocument lines_;
};

}  // namespace ovistra::platform
