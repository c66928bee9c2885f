// ExpandFile: expands one compressed file (see lz_expand.h) from the file
// system into a caller's buffer, in one call.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace qvx {

// Returns the number of expanded bytes now at the start of buffer, or 0 when
// the file cannot be opened or read, is not a compressed file of mode A,
// expands to nothing, or does not yield exactly the expanded size its header
// gives (a truncated or corrupt file, or one larger than the capacity).
std::int32_t ExpandFile(FileSystem& files, const std::string& path, std::uint8_t* buffer,
                        std::uint32_t capacity);

}  // namespace qvx
