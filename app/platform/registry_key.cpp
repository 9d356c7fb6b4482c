#include "registry_key.h"

#include <QFileInfo>

namespace ovistra::platform {
namespace {

QString KeyPath(const QString& subKey) {
    return QStringLiteral("HKEY_CURRENT_USER\\") + subKey;
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

CRegistryKey::CRegistryKey(const RegistryStore& store) : store_(store) {}

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

bool CRegistryKey::ReadString(const QString& name, QString* out) const {
    if (!open_) {
        return false;
    }
    const auto value = document_.Value(keyPath_, name);
    if (!value || value->type != RegistryValue::Type::String ||
        value->textBytes >= kStringBufferBytes) {
        return false;
    }
    *out = value->text;
    return true;
}

bool CRegistryKey::ReadDword(const QString& name, uint32_t* out) const {
    if (!open_) {
        return false;
    }
    const auto value = document_.Value(keyPath_, name);
    if (!value || value->type != RegistryValue::Type::Number) {
        return false;
    }
    *out = value->number;
    return true;
}

bool CRegistryKey::Write(const QString& name, const RegistryValue& value) {
    if (!open_ || !writable_ || !document_.SetValue(keyPath_, name, value)) {
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
    }
    open_ = false;
    writable_ = false;
    dirty_ = false;
    document_ = RegistryDocument();
    return stored;
}

}  // namespace ovistra::platform
