#include "registry_key.h"

#include <QFileInfo>

#include "durable_file.h"

namespace ovistra::platform {
namespace {

QString KeyPath(const QString& subKey) {
    return QStringLiteral("HKEY_CURRENT_USER\\") + subKey;
}

std::pair<QString, QString> OverrideKey(const QString& keyPath, const QString& name) {
    return {keyPath.toLower(), name.toLower()};
}

}  // namespace

RegistryStore::RegistryStore(QString currentUserFile)
    : currentUserFile_(std::move(currentUserFile)) {}

bool RegistryStore::CreateKey(const QString& subKey) const {
    if (QFileInfo::exists(currentUserFile_)) {
        return false;
    }
    return RegistryDocument::WithKey(KeyPath(subKey)).Save(currentUserFile_);
}

void RegistryStore::SetOverride(const QString& subKey, const QString& name,
                                const RegistryValue& value) {
    overrides_[OverrideKey(KeyPath(subKey), name)] = value;
}

RegistryValue* RegistryStore::FindOverride(const QString& keyPath, const QString& name) {
    const auto it = overrides_.find(OverrideKey(keyPath, name));
    return it == overrides_.end() ? nullptr : &it->second;
}

CRegistryKey::CRegistryKey(RegistryStore& store) : store_(store) {}

CRegistryKey::~CRegistryKey() {
    Close();
}

bool CRegistryKey::Open(RegistryRoot root, const QString& subKey, bool forWrite) {
    Close();
    if (root != RegistryRoot::CurrentUser) {
        return false;
    }
    RegistryDocument document;
    if (!document.Load(store_.currentUserFile_) || !document.HasKey(KeyPath(subKey))) {
        return false;
    }
    document_ = std::move(document);
    keyPath_ = KeyPath(subKey);
    open_ = true;
    writable_ = forWrite;
    return true;
}

bool CRegistryKey::OpenForRead(RegistryRoot root, const QString& subKey) {
    return Open(root, subKey, false);
}

bool CRegistryKey::OpenForWrite(RegistryRoot root, const QString& subKey) {
    return Open(root, subKey, true);
}

std::optional<RegistryValue> CRegistryKey::Lookup(const QString& name) const {
    if (!open_) {
        return std::nullopt;
    }
    if (const auto* overridden = store_.FindOverride(keyPath_, name)) {
        return *overridden;
    }
    return document_.Value(keyPath_, name);
}

bool CRegistryKey::ReadString(const QString& name, QString* out) const {
    const auto value = Lookup(name);
    if (!value || value->type != RegistryValue::Type::String ||
        value->textBytes >= kStringBufferBytes) {
        return false;
    }
    *out = value->text;
    return true;
}

bool CRegistryKey::ReadDword(const QString& name, uint32_t* out) const {
    const auto value = Lookup(name);
    if (!value || value->type != RegistryValue::Type::Number) {
        return false;
    }
    *out = value->number;
    return true;
}

bool CRegistryKey::Write(const QString& name, const RegistryValue& value) {
    if (!open_ || !writable_) {
        return false;
    }
    if (auto* overridden = store_.FindOverride(keyPath_, name)) {
        *overridden = value;
        return true;
    }
    if (!document_.SetValue(keyPath_, name, value)) {
        return false;
    }
    dirty_ = true;
    return true;
}

bool CRegistryKey::WriteString(const QString& name, const QString& text) {
    return Write(name, RegistryValue::String(text));
}

bool CRegistryKey::WriteDword(const QString& name, uint32_t value) {
    return Write(name, RegistryValue::Number(value));
}

bool CRegistryKey::Close() {
    bool stored = true;
    if (open_ && dirty_) {
        stored = document_.Save(store_.currentUserFile_);
        if (stored) {
            // The rename that replaced the file survives a power cut only once its folder is
            // synced.
            SyncFolder(QFileInfo(store_.currentUserFile_).absolutePath());
        }
    }
    open_ = false;
    writable_ = false;
    dirty_ = false;
    document_ = RegistryDocument();
    return stored;
}

}  // namespace ovistra::platform
