// The folder of an earlier installation, as its application-path entry
// recorded it.
#pragma once

#include <string>

#include "platform/registry.h"

namespace qvx {

// Reads "Path" of the key "QVX.EXE" under
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths. Empty when a level or the value is
// missing, the value does not fit 260 characters, or the read is refused; empty text counts as no
// earlier installation. Nothing checks that the folder still exists.
std::string FindPreviousInstall(Registry& registry);

}  // namespace qvx
