// Little-endian fields of a file held in memory, read with a bounds check and
// written in place; shared by the executable and resource rewriting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "payload/little_endian.h"

namespace qvx::pack {

inline bool HasBytes(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t size) {
  return offset <= bytes.size() && bytes.size() - offset >= size;
}

// The n-byte little-endian value at offset (n up to 4), or false when it
// lies outside bytes.
inline bool ReadField(std::span<const std::uint8_t> bytes, std::size_t offset, int n,
                      std::uint32_t* value) {
  if (!HasBytes(bytes, offset, static_cast<std::size_t>(n))) return false;
  *value = ReadLittleEndian(&bytes[offset], static_cast<std::size_t>(n));
  return true;
}

// Writes an n-byte little-endian value at offset, growing bytes when needed.
inline void WriteField(std::vector<std::uint8_t>& bytes, std::size_t offset, int n,
                       std::uint32_t value) {
  if (bytes.size() < offset + n) bytes.resize(offset + n);
  WriteLittleEndian(&bytes[offset], static_cast<std::size_t>(n), value);
}

inline std::uint64_t AlignUp(std::uint64_t value, std::uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

}  // namespace qvx::pack
