// The settings file "CustomSetting.dt" in the program folder: the colour scheme, the lock
// password and the marker that the file has been set up. Written at once when a dialog
// confirms, not at exit. The file holds the password, so it is kept closed to other users:
// every write leaves the folder 0700 and the file 0600.
#pragma once

#include <QString>

#include "colour_scheme.h"

namespace ovistra {

class CustomSettings {
public:
    // At most this many characters of the stored password are read.
    static constexpr int kPasswordChars = 31;

    explicit CustomSettings(QString path) : path_(std::move(path)) {}
    const QString& path() const { return path_; }

    // Missing keys and components outside 0..255 keep the default colours.
    ColourScheme LoadColourScheme() const;
    // Writes the six components and marks the file as set up; false when any write failed.
    bool SaveColourScheme(const ColourScheme& scheme) const;

    // The stored, encoded password; empty means none.
    QString LoadPassword() const;
    bool SavePassword(const QString& encoded) const;

    // 1 once a colour or password dialog has been confirmed.
    int LoadCheckState() const;

    // Creates the folder (0700) and an empty file (0600) where they are missing; an existing
    // file keeps its contents. False when either cannot be made.
    bool CreateFile() const;

private:
    QString path_;
};

}  // namespace ovistra
