// The registry paths the installer reads and writes, level by level, each
// name in exactly the letters it is opened with. The machine-wide paths start
// with "SOFTWARE", the user's Shell folders path with "Software"; the registry
// does not mind, but the names are passed as written here.
#pragma once

#include <array>

#include "platform/registry.h"

namespace qvx {

inline constexpr RegKey kAppPathsRoot = kHkeyLocalMachine;
inline constexpr std::array<const char*, 5> kAppPathsLevels = {"SOFTWARE", "Microsoft", "Windows",
                                                               "CurrentVersion", "App Paths"};

inline constexpr RegKey kUninstallRoot = kHkeyLocalMachine;
inline constexpr std::array<const char*, 5> kUninstallLevels = {"SOFTWARE", "Microsoft", "Windows",
                                                                "CurrentVersion", "Uninstall"};

inline constexpr RegKey kShellFoldersRoot = kHkeyCurrentUser;
inline constexpr std::array<const char*, 6> kShellFoldersLevels = {
    "Software", "Microsoft", "Windows", "CurrentVersion", "Explorer", "Shell folders"};

}  // namespace qvx
