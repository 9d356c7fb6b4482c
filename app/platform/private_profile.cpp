#include "private_profile.h"

#include "line_document.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <cstdint>
#include <optional>

namespace ovistra::platform::profile {
namespace {

// Editors on other systems often start a UTF-8 file with one; it must not hide the first header.
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Byte-wise, so names with undecodable bytes still compare without decoding them.
bool SameName(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QByteArray name;
    QByteArray value;
};

ParsedLine ParseLine(const QByteArray& raw) {
    const QByteArray text = raw.trimmed();
    if (text.isEmpty() || text.startsWith(';')) {
        return {};
    }
    if (text.startsWith('[')) {
        // A header that lost its "]" still names its section, so the keys below stay readable.
        const qsizetype close = text.indexOf(']');
        return {LineKind::Section, text.mid(1, close < 0 ? -1 : close - 1).trimmed(), {}};
    }
    const qsizetype equals = text.indexOf('=');
    if (equals < 0) {
        return {};
    }
    return {LineKind::Key, text.left(equals).trimmed(), text.mid(equals + 1).trimmed()};
}

struct Lookup {
    std::optional<size_t> header;       // of the first matching section
    std::optional<size_t> lastKeyLine;  // in that section
    std::optional<size_t> keyLine;      // first matching key in that section
    QByteArray keySpelling;
    QByteArray value;
};

Lookup Find(const LineDocument& document, const QByteArray& section, const QByteArray& key) {
    Lookup found;
    for (size_t i = 0; i < document.size(); ++i) {
        QByteArray text = document.Text(i);
        if (i == 0 && text.startsWith(kUtf8Bom)) {
            text.remove(0, sizeof(kUtf8Bom) - 1);
        }
        const ParsedLine line = ParseLine(text);
        if (line.kind == LineKind::Section) {
            if (found.header) {
                break;
            }
            if (SameName(line.name, section)) {
                found.header = i;
            }
        } else if (line.kind == LineKind::Key && found.header) {
            found.lastKeyLine = i;
            if (!found.keyLine && SameName(line.name, key)) {
                found.keyLine = i;
                found.keySpelling = line.name;
                found.value = line.value;
            }
        }
    }
    return found;
}

// The value as written in the file, quotes removed; nothing when file, section or key is missing.
std::optional<QByteArray> ReadValue(const QString& path, const QString& section,
                                    const QString& key) {
    const QByteArray sectionName = section.trimmed().toUtf8();
    const QByteArray keyName = key.trimmed().toUtf8();
    if (sectionName.isEmpty() || keyName.isEmpty()) {
        return std::nullopt;
    }
    LineDocument document;
    if (!document.Load(path)) {
        return std::nullopt;
    }
    const Lookup found = Find(document, sectionName, keyName);
    if (!found.keyLine) {
        return std::nullopt;
    }
    const QByteArray& value = found.value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.mid(1, value.size() - 2);
    }
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Accumulates in 32 unsigned bits so an overflowing number wraps instead of being undefined.
int ParseInt(const QByteArray& text) {
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint32_t number = 0;
    if (i + 1 < size && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        for (i += 2; i < size && HexDigit(text[i]) >= 0; ++i) {
            number = number * 16u + static_cast<uint32_t>(HexDigit(text[i]));
        }
    } else {
        for (; i < size && text[i] >= '0' && text[i] <= '9'; ++i) {
            number = number * 10u + static_cast<uint32_t>(text[i] - '0');
        }
    }
    if (negative) {
        number = 0u - number;
    }
    return static_cast<int>(number);
}

QString CutToChars(const QString& text, int maxChars) {
    if (maxChars <= 0) {
        return {};
    }
    if (text.size() <= maxChars) {
        return text;
    }
    qsizetype length = maxChars;
    // Never hand out half of a surrogate pair.
    if (text.at(length - 1).isHighSurrogate()) {
        --length;
    }
    return text.left(length);
}

bool HasLineBreakOrNul(const QByteArray& text) {
    return text.contains('\r') || text.contains('\n') || text.contains('\0');
}

// Names that would read back as something else, or split the line, are refused.
bool IsWritableSection(const QByteArray& name) {
    return !name.isEmpty() && !HasLineBreakOrNul(name) && !name.contains(']');
}

bool IsWritableKey(const QByteArray& name) {
    return !name.isEmpty() && !HasLineBreakOrNul(name) && !name.contains('=') &&
           !name.startsWith(';') && !name.startsWith('[');
}

}  // namespace

int GetInt(const QString& path, const QString& section, const QString& key, int defaultValue) {
    const std::optional<QByteArray> value = ReadValue(path, section, key);
    if (!value || value->isEmpty()) {
        return defaultValue;
    }
    return ParseInt(*value);
}

QString GetString(const QString& path, const QString& section, const QString& key,
                  const QString& defaultValue, int maxChars) {
    const std::optional<QByteArray> value = ReadValue(path, section, key);
    return CutToChars(value ? QString::fromUtf8(*value) : defaultValue, maxChars);
}

bool WriteString(const QString& path, const QString& section, const QString& key,
                 const QString& value) {
    const QByteArray sectionName = section.trimmed().toUtf8();
    const QByteArray keyName = key.trimmed().toUtf8();
    const QByteArray valueBytes = value.toUtf8();
    if (!IsWritableSection(sectionName) || !IsWritableKey(keyName) ||
        HasLineBreakOrNul(valueBytes)) {
        return false;
    }
    // The program creates the folder itself at its own moment; a write never does.
    const QFileInfo info(path);
    if (!info.absoluteDir().exists()) {
        return false;
    }
    LineDocument document;
    if (!document.Load(path) && info.exists()) {
        // Something is there that we cannot read; writing a fresh file would lose it.
        return false;
    }

    const Lookup found = Find(document, sectionName, keyName);
    if (found.keyLine) {
        document.Replace(*found.keyLine, found.keySpelling + '=' + valueBytes);
    } else if (found.header) {
        document.Insert(found.lastKeyLine.value_or(*found.header) + 1, keyName + '=' + valueBytes);
    } else {
        document.Insert(document.size(), '[' + sectionName + ']');
        document.Insert(document.size(), keyName + '=' + valueBytes);
    }
    return document.Save(path);
}

}  // namespace ovistra::platform::profile
