// Expansion of the installer's compressed-file format.
//
// A compressed file is a 14-byte header followed by a data stream:
//
//   offset 0   8 bytes  signature "SZDD" 88 F0 27 33
//   offset 8   1 byte   compression mode, 'A' (0x41)
//   offset 9   1 byte   missing file-name character (unused here)
//   offset 10  4 bytes  expanded size, unsigned 32-bit little-endian
//
// The data stream is a sequence of groups: a flag byte, then up to eight
// items described by its bits from the least significant on. A 1 bit is a
// literal byte; a 0 bit is a two-byte reference b1 b2 to the 4096-byte ring
// window: absolute position b1 | (b2 & 0xF0) << 4, length (b2 & 0x0F) + 3.
// The window starts as 4096 spaces with the write position at 4080; every
// output byte is stored at the write position, which then advances modulo
// 4096. A reference is copied one byte at a time, so a source range that
// overlaps the bytes it produces repeats them, and one that passes 4095
// continues at 0. The stream may end after any item.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qvx {

inline constexpr std::size_t kLzHeaderSize = 14;
inline constexpr std::array<std::uint8_t, 8> kLzSignature = {0x53, 0x5A, 0x44, 0x44,
                                                             0x88, 0xF0, 0x27, 0x33};
inline constexpr std::uint8_t kLzModeA = 0x41;

struct LzHeader {
  std::uint8_t missingChar = 0;
  std::uint32_t expandedSize = 0;
};

// Reads a compressed-file header. False when fewer than 14 bytes are given or
// the signature or the mode is another.
bool ParseLzHeader(std::span<const std::uint8_t> bytes, LzHeader* header);

// The most bytes a data stream of streamLength bytes can yield. Every group
// but the last holds eight items, so a whole group of k references is 9 + k
// bytes long and yields at most 8 + 17k: 144 from 17 bytes of eight
// references is the best a whole group does. The last group may be cut after
// any item: from r bytes, one flag byte, a reference of 18 per two bytes and
// a literal for an odd byte left. A header that claims more than this
// describes data that is not there. (The length stays a size_t, so that a
// 32-bit build divides without a 64-bit helper.)
constexpr std::uint64_t LzMaxExpandedSize(std::size_t streamLength) {
  constexpr std::size_t kFullGroup = 17;
  const std::size_t rest = streamLength % kFullGroup;
  const std::size_t itemBytes = rest == 0 ? 0 : rest - 1;
  return std::uint64_t{streamLength / kFullGroup} * 144 + itemBytes / 2 * 18 + itemBytes % 2;
}

// Expands a data stream that arrives in pieces; a piece may end anywhere, even
// inside a group or a reference. Nothing is allocated: the output buffer is
// the window, and a cut group waits in a few bytes of the expander itself.
//
// The expander writes only below the capacity. Bytes between the count and
// the capacity may be overwritten with scratch data.
class LzExpander {
 public:
  LzExpander() = default;
  LzExpander(std::uint8_t* out, std::size_t capacity) { Start(out, capacity); }

  // Begins a new stream into out: a fresh window, count 0.
  void Start(std::uint8_t* out, std::size_t capacity);
  void Feed(std::span<const std::uint8_t> piece);
  // Ends the stream: expands the items of a last, cut group that are whole.
  void Finish();

  std::size_t count() const { return count_; }
  // True when the stream held output beyond the capacity; expansion stopped
  // with the buffer full.
  bool overflowed() const { return overflowed_; }
  // Stream bytes held back from the last piece: the start of a cut group.
  std::size_t pending() const { return pendingSize_; }

  // For output larger than the buffer. The window needs only the last 4096
  // bytes, so every byte before them and before the count's own 4 KiB step
  // is settled: the caller takes the settled bytes from the buffer's start,
  // then drops them, which moves the rest to the start. A multiple of 4096
  // goes, so the count keeps its place modulo 4096 and every reference still
  // finds its window position.
  std::size_t Settled() const;
  void DropSettled();

 private:
  const std::uint8_t* ExpandGroups(const std::uint8_t* in, const std::uint8_t* end);
  const std::uint8_t* ExpandGroupFast(const std::uint8_t* in);
  void ExpandGroupChecked(const std::uint8_t* in, const std::uint8_t* end);
  bool PutReference(std::size_t distance, std::size_t length);

  std::uint8_t* out_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t count_ = 0;
  bool overflowed_ = false;
  std::uint8_t pending_[17] = {};  // a group cut by the end of a piece
  std::size_t pendingSize_ = 0;
};

// The count of bytes a whole data stream (without header) yields, found by
// reading its flag bytes and reference lengths without expanding it.
std::uint64_t LzExpandedCount(std::span<const std::uint8_t> stream);

// Expands a whole data stream (without header). Returns the count of bytes
// produced, never above the capacity; expansion stops when the buffer is full.
std::size_t LzExpand(std::span<const std::uint8_t> stream, std::uint8_t* out, std::size_t capacity);

// Takes expanded bytes that no longer fit the buffer; false stops the
// expansion.
class ExpandedSink {
 public:
  virtual bool Put(const std::uint8_t* bytes, std::size_t size) = 0;

 protected:
  ~ExpandedSink() = default;
};

// Expands a whole compressed file that arrives in pieces. The result is sound
// only when the header is valid, the expanded size fits the capacity and the
// stream yields exactly that many bytes: a truncated or corrupt file must
// never pass for a good one.
//
// With a sink, every expanded byte goes to it. A file that fits the buffer
// is expanded whole and handed over in one piece, once its count is known to
// match. A larger one expands through the buffer: whenever the room left
// might not hold what the next stream bytes yield, the settled bytes go to
// the sink, and at the end the rest. The sink has then seen bytes of a file
// that may still fail: check the stream first (LzExpandedCount) where that
// matters. The buffer needs room for a piece's output beside the window
// (kLzSinkCapacity). A file that expands to nothing hands the sink nothing.
class LzFileExpander {
 public:
  LzFileExpander(std::uint8_t* out, std::size_t capacity, ExpandedSink* sink = nullptr)
      : out_(out), capacity_(capacity), sink_(sink) {}

  void Feed(std::span<const std::uint8_t> piece);
  // The expanded size, or 0 when the file is not sound or the sink refused.
  std::size_t Finish();

 private:
  void FeedThroughSink(std::span<const std::uint8_t> piece);
  bool PutSettled();

  std::uint8_t* out_;
  std::size_t capacity_;
  ExpandedSink* sink_;
  bool throughSink_ = false;  // larger than the buffer: settled bytes go out as it fills
  std::uint64_t put_ = 0;     // bytes handed to the sink so far
  std::uint8_t header_[kLzHeaderSize] = {};
  std::size_t headerSize_ = 0;
  LzHeader parsed_;
  bool bad_ = false;
  LzExpander stream_;
};

// With a sink, stream bytes go into the expander this many at a time, so
// that room for their output can be made first.
inline constexpr std::size_t kLzSinkStep = 16 * 1024;
// The smallest buffer that expands through a sink: the window kept at the
// start (less than 8 KiB) and the most that one step and a cut group yield.
inline constexpr std::size_t kLzSinkCapacity =
    8192 + static_cast<std::size_t>(LzMaxExpandedSize(kLzSinkStep + 17));

// Expands a whole compressed file held in memory, as LzFileExpander does.
std::size_t LzExpandFile(std::span<const std::uint8_t> file, std::uint8_t* out,
                         std::size_t capacity);

}  // namespace qvx
