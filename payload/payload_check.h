// The payload's check value: a CRC-32 over every byte of the payload, kept in
// an 8-byte trailer after the terminator, where the walk never reads:
//
//   entries ... terminator (4 zero bytes)
//   check value   4 bytes, unsigned 32-bit little-endian: the CRC-32 of every
//                 byte before it
//   tag           4 bytes "QVXC"
//
// A payload written without a check value ends in its terminator, four zero
// bytes, so the last four bytes tell the two kinds apart without a guess: the
// tag, zero, or anything else, which a whole payload never ends in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qvx {

// CRC-32 with the reflected polynomial 0xEDB88320, starting from and finished
// with 0xFFFFFFFF (the CRC of zip and PNG). Update takes the bytes in pieces
// of any size; the value is the same as over the whole.
//
// Eight bytes go through eight table look-ups at a time, which are
// independent of each other, instead of one look-up per byte, each waiting
// for the one before: several times faster, so that checking a payload costs
// far less than expanding it. Table k holds the remainder of a byte followed
// by k zero bytes; the constructor makes them (a few microseconds) rather than
// the installer carrying 8 KB of constant data.
class Crc32 {
 public:
  Crc32();
  void Update(std::span<const std::uint8_t> bytes);
  std::uint32_t Value() const { return ~state_; }

 private:
  std::uint32_t table_[8][256];
  std::uint32_t state_ = 0xFFFFFFFFu;
};

inline constexpr std::size_t kCheckTrailerSize = 8;
inline constexpr std::array<std::uint8_t, 4> kCheckTag = {'Q', 'V', 'X', 'C'};

// The trailer that follows a payload whose bytes have the given CRC-32.
std::array<std::uint8_t, kCheckTrailerSize> CheckTrailer(std::uint32_t value);

enum class CheckState {
  Absent,      // ends in its terminator: written without a check value
  Holds,       // the check value matches every byte before the trailer
  Fails,       // the check value does not match
  Unreadable,  // ends in neither a terminator nor a trailer: cut off or overwritten
};

struct PayloadCheck {
  CheckState state = CheckState::Unreadable;
  std::uint32_t stored = 0;    // the value in the trailer (Holds, Fails)
  std::uint32_t computed = 0;  // the CRC-32 of the bytes it covers (Holds, Fails)
};

// Reads the trailer and, where there is one, computes the value over the
// bytes before it.
PayloadCheck CheckPayload(std::span<const std::uint8_t> payload);

// What the installer asks at start-up: true when the payload may be
// installed. Its check value, if it has one, holds, and the walk reaches the
// terminator (or the sixth entry) over whole entries only, so that a damaged
// or cut-off payload is refused before anything is written.
bool PayloadIntact(std::span<const std::uint8_t> payload);

}  // namespace qvx
