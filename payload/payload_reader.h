// The payload: the installer's files as one block of bytes, entry after entry
// from offset 0, closed by a zero length:
//
//   length L   4 bytes, unsigned 32-bit little-endian, at any offset (no
//              alignment); 0 is the terminator
//   body       L bytes: a compressed file (lz_expand.h) without its first
//              four bytes "SZDD", so its first 10 bytes are the rest of the
//              header, ending with the expanded size
//
// Entry i becomes target file i (target_names.h). The walk never reads
// outside the payload: an entry whose length field or body runs past the end,
// or whose body is shorter than its 10 header bytes, is reported as broken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "payload/little_endian.h"
#include "payload/lz_expand.h"

namespace qvx {

inline constexpr std::size_t kEntryLengthSize = 4;
// What a stored body leaves out: the first four bytes of the compressed-file
// signature, "SZDD". With them in front, a body is a compressed file again.
inline constexpr std::span<const std::uint8_t, 4> kLeftOutSignature{kLzSignature.data(), 4};
// The header bytes a stored body keeps.
inline constexpr std::size_t kStoredHeaderSize = kLzHeaderSize - kLeftOutSignature.size();
// The expansion buffer. A file that expands to more goes through it a
// bufferful at a time.
inline constexpr std::uint32_t kExpansionBufferSize = 2000000;
// The largest file the installer expands: its count of expanded bytes is a
// signed 32-bit number.
inline constexpr std::uint32_t kMaxExpandedEntrySize = 0x7FFFFFFF;

enum class EntryKind {
  End,     // the terminator
  Entry,   // a length and a body that the payload holds whole
  Broken,  // a length field or body that runs past the end, or a body under 10 bytes
};

struct PayloadEntry {
  EntryKind kind = EntryKind::End;
  std::size_t offset = 0;              // of the length field
  std::uint32_t length = 0;            // L, when the length field lies inside the payload
  std::span<const std::uint8_t> body;  // the L bytes after the length field (Entry only)

  // Offset of the next entry's length field (Entry only).
  std::size_t next() const { return offset + kEntryLengthSize + length; }
  // The expanded size stored in the body's header (Entry only).
  std::uint32_t expandedSize() const;
  // The length of the data stream after the body's header (Entry only).
  std::size_t streamLength() const { return body.size() - kStoredHeaderSize; }
  // True when the body is a sound compressed file: the signature and mode
  // are right and the stream yields exactly the expanded size. Found without
  // expanding anything (Entry only).
  bool Sound() const;
};

// What lies at offset of the payload.
PayloadEntry EntryAt(std::span<const std::uint8_t> payload, std::size_t offset);

// The walk over a payload: entries in order, each paired with its target
// name index, ending at the terminator, after the sixth entry, or after a
// broken entry (which the walk does hand out, so that it fails as an entry).
class PayloadWalk {
 public:
  explicit PayloadWalk(std::span<const std::uint8_t> payload);

  bool HasNextEntry() const;
  // The next entry; valid while HasNextEntry().
  const PayloadEntry& Entry() const { return entry_; }
  // Its index, which is the index of its target name.
  std::size_t Index() const { return index_; }
  void Advance();

 private:
  std::span<const std::uint8_t> payload_;
  std::size_t index_ = 0;
  PayloadEntry entry_;
};

// False when an entry the walk visits claims more than kMaxExpandedEntrySize:
// such a product cannot be installed, and no file of it should be written.
bool EntriesWithinExpandableSize(std::span<const std::uint8_t> payload);

// The bytes the product takes on disk: the expanded sizes of the entries the
// walk visits, added up.
std::uint64_t ExpandedProductSize(std::span<const std::uint8_t> payload);

}  // namespace qvx
