// The registry as the station uses it: one open key at a time, typed values, reads that copy
// only on success so a missing value leaves the caller's default in place.
#pragma once

#include <QString>
#include <map>
#include <optional>

#include "registry_document.h"

namespace ovistra::platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

// Where each root lives: the current user's key file. The machine-wide root is not kept on
// this platform, so its keys never open (as for a user without administrator rights).
class RegistryStore {
public:
    explicit RegistryStore(QString currentUserFile);

    QString CurrentUserFile() const { return currentUserFile_; }

    // Creates the key file with one empty key; false when the file exists or cannot be made.
    // Only installation and first-run set-up create the key.
    bool CreateKey(const QString& subKey) const;

    // A value of a current-user key that stands in for the stored one during this run only:
    // reads see it, writes change it and never reach the key file.
    void SetOverride(const QString& subKey, const QString& name, const RegistryValue& value);

private:
    friend class CRegistryKey;
    // Keyed by key path and lower-case name.
    RegistryValue* FindOverride(const QString& keyPath, const QString& name);

    QString currentUserFile_;
    std::map<std::pair<QString, QString>, RegistryValue> overrides_;
};

class CRegistryKey {
public:
    // Values that read as strings must fit 260 bytes with their terminating zero.
    static constexpr int kStringBufferBytes = 260;

    explicit CRegistryKey(RegistryStore& store);
    ~CRegistryKey();
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // Neither ever creates the key; true when it exists.
    bool OpenForRead(RegistryRoot root, const QString& subKey);
    bool OpenForWrite(RegistryRoot root, const QString& subKey);

    // True and *out set when the value exists with the right type (and, for a string, fits the
    // 260-byte buffer); otherwise *out is untouched.
    bool ReadString(const QString& name, QString* out) const;
    bool ReadDword(const QString& name, uint32_t* out) const;

    // Writes go to the key file, as one atomic rewrite, when the key is closed.
    bool WriteString(const QString& name, const QString& text);
    bool WriteDword(const QString& name, uint32_t value);

    // Stores pending writes; false when they could not be stored. Nothing to do when closed.
    bool Close();
    bool IsOpen() const { return open_; }

private:
    bool Open(RegistryRoot root, const QString& subKey, bool forWrite);
    bool Write(const QString& name, const RegistryValue& value);
    std::optional<RegistryValue> Lookup(const QString& name) const;

    RegistryStore& store_;
    RegistryDocument document_;
    QString keyPath_;
    bool open_ = false;
    bool writable_ = false;
    bool dirty_ = false;
};

}  // namespace ovistra::platform
