// Host-side payload work: framing compressed files into a payload, and
// expanding entries and compressed files whole into memory.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "payload/payload_reader.h"

namespace qvx::pack {

// The largest file a compressed file can describe (its size field is 32 bits).
inline constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFu;

// A payload of the given files, in order, each compressed and framed, closed
// by the terminator and followed by its check value (payload_check.h). False
// with the reason in *error when a file or its compressed body is too large
// for the 32-bit fields. starting, when given, is told the index of each file
// before it is compressed.
bool BuildPayload(std::span<const std::vector<std::uint8_t>> files,
                  std::vector<std::uint8_t>* payload, std::string* error,
                  const std::function<void(std::size_t)>& starting = {});

// Expands a whole compressed file. False when it is not sound (bad header,
// or a stream that does not yield exactly the header's expanded size); an
// expanded size beyond what the stream can yield fails before the output
// buffer is allocated. An expanded size of 0 with an empty stream gives an
// empty file.
bool ExpandCompressedFile(std::span<const std::uint8_t> file, std::vector<std::uint8_t>* out);

// Expands a payload entry: its body with "SZDD" in front is a compressed file.
bool ExpandEntry(const PayloadEntry& entry, std::vector<std::uint8_t>* out);

}  // namespace qvx::pack
