#pragma once

#include <string>

#include "platform/file_system.h"

namespace qvx {

// The free-space read-out for the drive of folder ("C:\..."): "%dKB free"
// below 8192 KB, "%dMB free" (whole megabytes) below 4294901760 KB, and empty
// from there on. Empty too when the drive cannot tell its free space (no
// medium, an unreadable drive): no figure is better than a wrong one.
std::string FormatFreeSpace(FileSystem& files, const std::string& folder);

}  // namespace qvx
