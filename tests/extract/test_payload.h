// Payloads for the tests, framed as the installer expects: each file becomes
// a stored body (the compressed-file header less "SZDD", then a stream of
// literals only: a flag byte with one bit per literal before every eight
// bytes) behind its little-endian length, and a zero length ends the payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qvx::testing {

using Bytes = std::vector<std::uint8_t>;

inline void AppendLittleEndian32(Bytes& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// The stored body of a file, with the expanded size the header should claim.
inline Bytes StoredBody(const Bytes& content, std::uint32_t claimedSize) {
  Bytes body = {0x88, 0xF0, 0x27, 0x33, 0x41, 0x00};
  AppendLittleEndian32(body, claimedSize);
  for (std::size_t i = 0; i < content.size(); i += 8) {
    const std::size_t group = content.size() - i < 8 ? content.size() - i : 8;
    body.push_back(static_cast<std::uint8_t>((1u << group) - 1));
    body.insert(body.end(), content.begin() + static_cast<std::ptrdiff_t>(i),
                content.begin() + static_cast<std::ptrdiff_t>(i + group));
  }
  return body;
}

inline Bytes StoredBody(const Bytes& content) {
  return StoredBody(content, static_cast<std::uint32_t>(content.size()));
}

inline Bytes PayloadOfBodies(const std::vector<Bytes>& bodies, bool terminated = true) {
  Bytes payload;
  for (const Bytes& body : bodies) {
    AppendLittleEndian32(payload, static_cast<std::uint32_t>(body.size()));
    payload.insert(payload.end(), body.begin(), body.end());
  }
  if (terminated) AppendLittleEndian32(payload, 0);
  return payload;
}

inline Bytes PayloadOf(const std::vector<Bytes>& files) {
  std::vector<Bytes> bodies;
  for (const Bytes& file : files) bodies.push_back(StoredBody(file));
  return PayloadOfBodies(bodies);
}

// Deterministic bytes that differ from file to file.
inline Bytes SampleFile(std::size_t size, std::uint32_t seed) {
  Bytes out(size);
  std::uint32_t state = seed * 2654435761u + 1;
  for (auto& byte : out) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 16);
  }
  return out;
}

}  // namespace qvx::testing
