// Creates a folder together with every missing parent.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "platform/system.h"

namespace qvx {

// The result when the trimmed path is too long to try.
inline constexpr std::int32_t kPathTooLongResult = 24;
// Paths of this many characters or more are refused before any call.
inline constexpr std::size_t kDirectoryPathLimit = 240;

// Returns 0 when the folder exists afterwards (created now or before),
// kPathTooLongResult when the path, trimmed of white space at both ends, has
// 240 characters or more, and otherwise the system error of the
// CreateDirectoryA that failed. Missing parents are found at backslashes only
// and created parents first; a bare drive ("C:") is never created. A
// backslash is a character of the system's code page, never the second byte
// of a two-byte one. The path is taken by value: the caller's text stays as
// it is.
std::int32_t CreateDirectoryPath(System& system, FileSystem& files, std::string path);

}  // namespace qvx
