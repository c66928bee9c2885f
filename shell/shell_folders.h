// The user's desktop and Start-menu programs folders, from the Shell folders
// key under HKEY_CURRENT_USER.
#pragma once

#include <string>

#include "platform/registry.h"

namespace qvx {

struct ShellFolders {
  std::string desktop;   // empty when it could not be read
  std::string programs;  // empty when it could not be read
};

// Reads "Desktop" and "Programs" independently, each through a 260-byte
// buffer; a missing key leaves both empty, a missing or longer value leaves
// its own text empty. The texts are used as stored: environment references
// are not expanded.
ShellFolders ReadShellFolders(Registry& registry);

}  // namespace qvx
