// The payload's check value: a CRC-32 over every byte of the payload, kept in
// an 8-byte trailer after the terminator, where the walk never reads:
//
//   entries ... terminator (4 zero bytes)
//   check value   4 bytes, unsigned 32-bit little-endian: the CRC-32 of every
//                 byte before it
//   tag           4 bytes "QVXC"
//
// A payload written without a check value has nothing but its shape to show
// that it is whole: its chain of entries, length after length from offset 0,
// must reach a terminator with at most alignment padding after it, fewer than
// eight zero bytes. A longer tail of zeros is what a download cut short into
// a file allocated in advance, or blocks lost in a crash, leave behind; eight
// zeros may be a check value wiped out, so they are never taken for padding.
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

// Most zero bytes that may follow the terminator of a payload without a
// check value.
inline constexpr std::size_t kMaxPadding = kCheckTrailerSize - 1;

enum class CheckState {
  Absent,      // its chain ends in a terminator and padding: written without a check value
  Holds,       // the check value matches every byte before the trailer
  Fails,       // the check value does not match
  Unreadable,  // no trailer, and no chain that ends as above: cut off, overwritten or zeroed
};

struct PayloadCheck {
  CheckState state = CheckState::Unreadable;
  std::uint32_t stored = 0;    // the value in the trailer (Holds, Fails)
  std::uint32_t computed = 0;  // the CRC-32 of the bytes it covers (Holds, Fails)
  // Where the chain of entries from offset 0, length after length (past the
  // sixth too), ends: at a terminator, or at an entry the payload does not
  // hold whole.
  std::size_t entries = 0;   // whole entries before it
  std::size_t chainEnd = 0;  // its offset
  bool terminated = false;   // a terminator lies there
};

// Follows the chain of entries, reads the trailer and, where there is one,
// computes the value over the bytes before it.
PayloadCheck CheckPayload(std::span<const std::uint8_t> payload);

// What the installer asks at start-up: true when the payload may be
// installed. Its check value holds, or it has none and ends as a payload
// without one must; either way its chain of whole entries reaches the
// terminator, so that a damaged or cut-off payload is refused before
// anything is written.
bool PayloadIntact(std::span<const std::uint8_t> payload);

}  // namespace qvx
