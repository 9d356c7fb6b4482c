// The RTSP server's one user: read for one run from a file the command line names, or kept in
// "CustomSetting.dt" (closed to other users) by the network view dialog.
#pragma once

#include <QString>
#include <optional>

#include "rtsp_config.h"

namespace ovistra::network {

// A file of one line "user:password" (the password may hold ':'), a regular file closed to
// group and others. Nothing, with the reason in `error`, when it is anything else.
std::optional<RtspCredentials> ReadCredentialsFile(const QString& path, QString* error);

// `settingsFile` is the program folder's "CustomSetting.dt". None stored: empty credentials.
RtspCredentials LoadStoredCredentials(const QString& settingsFile);
// Empty credentials clear the stored ones. False when a write failed.
bool SaveStoredCredentials(const QString& settingsFile, const RtspCredentials& credentials);

}  // namespace ovistra::network
