#include "registry_document.h"

namespace ovistra::platform {
namespace {

constexpr char kHeader[] = "REGEDIT4";

QByteArray Trimmed(const QByteArray& text) {
    return text.trimmed();
}

bool IsSectionHeader(const QByteArray& line) {
    const QByteArray t = Trimmed(line);
    return t.startsWith('[') && t.endsWith(']');
}

QString SectionName(const QByteArray& line) {
    const QByteArray t = Trimmed(line);
    return QString::fromUtf8(t.mid(1, t.size() - 2)).trimmed();
}

// Reads a quoted, backslash-escaped text starting at pos (on the opening quote); on success
// pos is left after the closing quote.
std::optional<QByteArray> ReadQuoted(const QByteArray& line, qsizetype& pos) {
    if (pos >= line.size() || line[pos] != '"') {
        return std::nullopt;
    }
    QByteArray out;
    for (qsizetype i = pos + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            out += line[++i];
        } else if (c == '"') {
            pos = i + 1;
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

struct ValueLine {
    QString name;
    RegistryValue value;
};

std::optional<uint32_t> ParseDword(const QByteArray& digits) {
    if (digits.isEmpty() || digits.size() > 8) {
        return std::nullopt;
    }
    bool ok = false;
    const uint32_t n = digits.toUInt(&ok, 16);
    return ok ? std::optional<uint32_t>(n) : std::nullopt;
}

std::optional<ValueLine> ParseValueLine(const QByteArray& line) {
    const QByteArray t = Trimmed(line);
    qsizetype pos = 0;
    const auto name = ReadQuoted(t, pos);
    if (!name) {
        return std::nullopt;
    }
    const QByteArray rest = t.mid(pos).trimmed();
    if (!rest.startsWith('=')) {
        return std::nullopt;
    }
    const QByteArray data = rest.mid(1).trimmed();
    ValueLine v{QString::fromUtf8(*name), {}};
    if (data.startsWith('"')) {
        qsizetype at = 0;
        const auto text = ReadQuoted(data, at);
        if (text && data.mid(at).trimmed().isEmpty()) {
            v.value = RegistryValue::String(QString::fromUtf8(*text));
            v.value.textBytes = static_cast<int>(text->size());
        }
    } else if (data.toLower().startsWith("dword:")) {
        if (const auto n = ParseDword(data.mid(6))) {
            v.value = RegistryValue::Number(*n);
        }
    }
    return v;
}

QByteArray Escaped(const QString& text) {
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

QByteArray FormatValueLine(const QString& name, const RegistryValue& value) {
    QByteArray line = '"' + Escaped(name) + "\"=";
    if (value.type == RegistryValue::Type::String) {
        line += '"' + Escaped(value.text) + '"';
    } else {
        line += "dword:" + QByteArray::number(value.number, 16).rightJustified(8, '0');
    }
    return line;
}

}  // namespace

RegistryValue RegistryValue::String(const QString& text) {
    RegistryValue v;
    v.type = Type::String;
    v.text = text;
    v.textBytes = static_cast<int>(text.toUtf8().size());
    return v;
}

RegistryValue RegistryValue::Number(uint32_t number) {
    RegistryValue v;
    v.type = Type::Number;
    v.number = number;
    return v;
}

bool RegistryDocument::Load(const QString& path) {
    return lines_.Load(path);
}

bool RegistryDocument::Save(const QString& path) const {
    return lines_.Save(path);
}

RegistryDocument RegistryDocument::WithKey(const QString& keyPath) {
    RegistryDocument doc;
    doc.lines_.Insert(0, kHeader);
    doc.lines_.Insert(1, "");
    doc.lines_.Insert(2, '[' + keyPath.toUtf8() + ']');
    return doc;
}

std::optional<RegistryDocument::Section> RegistryDocument::FindSection(
    const QString& keyPath) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        const QByteArray line = lines_.Text(i);
        if (!IsSectionHeader(line) || SectionName(line).compare(keyPath, Qt::CaseInsensitive)) {
            continue;
        }
        size_t end = i + 1;
        while (end < lines_.size() && !IsSectionHeader(lines_.Text(end))) {
            ++end;
        }
        return Section{i, end};
    }
    return std::nullopt;
}

bool RegistryDocument::HasKey(const QString& keyPath) const {
    return FindSection(keyPath).has_value();
}

std::optional<RegistryValue> RegistryDocument::Value(const QString& keyPath,
                                                     const QString& name) const {
    const auto section = FindSection(keyPath);
    if (!section) {
        return std::nullopt;
    }
    for (size_t i = section->header + 1; i < section->end; ++i) {
        const auto v = ParseValueLine(lines_.Text(i));
        if (v && v->name.compare(name, Qt::CaseInsensitive) == 0) {
            return v->value;
        }
    }
    return std::nullopt;
}

bool RegistryDocument::SetValue(const QString& keyPath, const QString& name,
                                const RegistryValue& value) {
    if (value.type == RegistryValue::Type::Other) {
        return false;
    }
    for (const QChar c : name + value.text) {
        if (c == '\n' || c == '\r' || c == QChar(0)) {
            return false;
        }
    }
    const auto section = FindSection(keyPath);
    if (!section) {
        return false;
    }
    size_t insertAt = section->header + 1;
    for (size_t i = section->header + 1; i < section->end; ++i) {
        const auto v = ParseValueLine(lines_.Text(i));
        if (!v) {
            continue;
        }
        if (v->name.compare(name, Qt::CaseInsensitive) == 0) {
            lines_.Replace(i, FormatValueLine(v->name, value));
            return true;
        }
        insertAt = i + 1;
    }
    lines_.Insert(insertAt, FormatValueLine(name, value));
    return true;
}

}  // namespace ovistra::platform
