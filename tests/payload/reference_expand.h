// The expansion written the plain way, a step at a time with a real ring
// window, to check the fast expander against on any input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qvx::test {

// Returns the bytes the stream yields, at most capacity of them.
inline std::vector<std::uint8_t> ReferenceExpand(std::span<const std::uint8_t> stream,
                                                 std::size_t capacity) {
  std::array<std::uint8_t, 4096> window;
  window.fill(0x20);
  std::size_t write = 4080;
  std::vector<std::uint8_t> out;
  auto put = [&](std::uint8_t byte) {
    if (out.size() == capacity) return false;
    out.push_back(byte);
    window[write] = byte;
    write = (write + 1) % 4096;
    return true;
  };
  std::size_t in = 0;
  while (in < stream.size()) {
    const std::uint8_t flags = stream[in++];
    for (int bit = 0; bit < 8 && in < stream.size(); ++bit) {
      if (flags & (1u << bit)) {
        if (!put(stream[in++])) return out;
      } else {
        if (in + 1 >= stream.size()) return out;
        const std::size_t b1 = stream[in], b2 = stream[in + 1];
        in += 2;
        const std::size_t position = b1 | ((b2 & 0xF0) << 4);
        const std::size_t length = (b2 & 0x0F) + 3;
        for (std::size_t j = 0; j < length; ++j) {
          if (!put(window[(position + j) % 4096])) return out;
        }
      }
    }
  }
  return out;
}

}  // namespace qvx::test
