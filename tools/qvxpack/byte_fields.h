// Little-endian fields of a file held in memory, read with a bounds check and
// written in place; shared by the executable and resource rewriting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qvx::pack {

inline bool HasBytes(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t size) {
  return offset <= bytes.size() && bytes.size() - offset >= size;
}

// The n-byte little-endian value at offset (n up to 4), or false when it
// lies outside bytes.
inline bool ReadField(std::span<const std::uint8_t> bytes, std::size_t offset, int n,
                      std::uint32_t* value) {
  if (!HasBytes(bytes, offset, static_cast<std::size_t>(n))) return false;
  *value = 0;
  for (int k = n - 1; k >= 0; --k) *value = *value << 8 | bytes[offset + k];
  return true;
}

// Writes an n-byte little-endian value at offset, growing bytes when needed.
inline void WriteField(std::vector<std::uint8_t>& bytes, std::size_t offset, int n,
                       std::uint32_t value) {
  if (bytes.size() < offset + n) bytes.resize(offset + n);
  for (int k = 0; k < n; ++k) bytes[offset + k] = static_cast<std::uint8_t>(value >> (8 * k));
}

inline std::uint64_t AlignUp(std::uint64_t value, std::uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

}  // namespace qvx::pack
