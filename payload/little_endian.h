// Numbers of one to four bytes stored least significant byte first: every
// length and size of the payload and of the compressed-file header, and the
// fields of an executable's headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvx {

inline std::uint32_t ReadLittleEndian(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t k = size; k > 0; --k) value = value << 8 | bytes[k - 1];
  return value;
}

inline void WriteLittleEndian(std::uint8_t* bytes, std::size_t size, std::uint32_t value) {
  for (std::size_t k = 0; k < size; ++k) bytes[k] = static_cast<std::uint8_t>(value >> (8 * k));
}

inline std::uint32_t ReadLittleEndian32(const std::uint8_t* bytes) {
  return ReadLittleEndian(bytes, 4);
}

inline void AppendLittleEndian32(std::vector<std::uint8_t>* bytes, std::uint32_t value) {
  bytes->resize(bytes->size() + 4);
  WriteLittleEndian(bytes->data() + bytes->size() - 4, 4, value);
}

}  // namespace qvx
