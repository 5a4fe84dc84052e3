#pragma once

#include "settings/LaunchMode.h"

#include <optional>
#include <string>

namespace regdesk {

// The installed desk keeps its programs in a shared read-only folder
// (/usr/lib/regdesk) and its files in a desk folder of the user's, which the
// launcher names through this variable. Unset or empty: the desk folder is the
// executable's folder, as in a portable desk folder.
inline constexpr const char* kDeskFolderVariable = "REGDESK_FOLDER";

// The desk folder named by `named` (the variable's value, native encoding):
// made absolute against `currentFolder`, without trailing separators; nullopt
// when nothing is named. "/" stays "/".
std::optional<std::string> namedDeskFolder(const char* named, const std::string& currentFolder);

// `paths` with the program directory and the settings path moved into
// `deskFolder`; the executable's folder is kept as the programs folder, where
// the encoder program is started from.
StartupPaths inDeskFolder(StartupPaths paths, const GbkString& deskFolder);

} // namespace regdesk
