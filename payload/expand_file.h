// ExpandFile: expands one compressed file (see lz_expand.h) from the file
// system into a caller's buffer, in one call, or through it into a sink.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "payload/lz_expand.h"
#include "platform/file_system.h"

namespace qvx {

// Returns the number of expanded bytes now at the start of buffer, or 0 when
// the file cannot be opened or read, is not a compressed file of mode A,
// expands to nothing, or does not yield exactly the expanded size its header
// gives (a truncated or corrupt file, or one larger than the capacity).
//
// With a sink, the sink receives every expanded byte: a file that fits the
// buffer in one piece, once it has expanded whole; a larger one a bufferful
// at a time, and the result is the whole count. The sink may have received
// bytes of a larger file that then fails.
//
// With writtenBody, the file must read back as it was written: the first
// four bytes of the signature (which the header check covers), then exactly
// these bytes. One that reads back short, long or changed fails, so that no
// one else's bytes (another installer writing the same temp file, say) are
// expanded as this file's.
std::int32_t ExpandFile(FileSystem& files, const std::string& path, std::uint8_t* buffer,
                        std::uint32_t capacity, ExpandedSink* sink = nullptr,
                        std::span<const std::uint8_t> writtenBody = {});

}  // namespace qvx
