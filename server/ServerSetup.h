#pragma once

#include "server/ServerState.h"

#include <QString>

#include <optional>

namespace zelk::server {

// The state to start with: the state file when it exists (it holds everything the
// server acknowledged before it stopped), else the data file, else the demo data.
std::optional<ServerState> loadInitialState(const QString &dataFile, const QString &stateFile,
                                            QString *error);

// "1.10.5" to the number the client compares: the digits without the points ("1105").
// Empty when the text is not a version.
QString versionNumber(const QString &version);

// Publishes, for every file in the update folder, the wanted version in the shared
// settings section "CHECKVERSION" under the file's name; returns the file names.
QStringList publishUpdateVersion(ServerState &state, const QString &updateDir, const QString &version);

} // namespace zelk::server
