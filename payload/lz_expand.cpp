#include "payload/lz_expand.h"

#include <algorithm>
#include <cstring>

#include "payload/little_endian.h"

namespace qvx {
namespace {

constexpr std::size_t kWindowMask = 4095;
constexpr std::size_t kStartPosition = 4080;
constexpr std::size_t kMaxGroupSize = 17;  // flag byte and eight references
constexpr std::uint8_t kSpace = 0x20;

// The fast path writes whole 8- or 16-byte blocks without checking the
// capacity. A group of eight references starts its last one at most 7 * 18
// bytes past the group's start, and a reference writes at most 24 bytes.
constexpr std::size_t kFastRoom = 7 * 18 + 24;

std::size_t GroupSize(std::uint8_t flags) {
  // One byte per literal (1 bit), two per reference (0 bit), plus the flag.
  // The literals are counted two, four, then eight bits at a time: the
  // processors the 32-bit installer runs on have no instruction for it, and
  // the library routine would cost a call per group.
  unsigned literals = flags - ((flags >> 1) & 0x55u);
  literals = (literals & 0x33u) + ((literals >> 2) & 0x33u);
  literals = (literals + (literals >> 4)) & 0x0Fu;
  return kMaxGroupSize - literals;
}

// The window is never kept apart: it always holds the last 4096 bytes output,
// in the buffer, with spaces before the first one. So an absolute window
// position is a distance back from the count, 1 to 4096 (the position under
// the write position names the byte written 4096 bytes ago), and a byte
// before the start of the buffer is a space.
std::size_t Distance(std::size_t count, std::uint8_t b1, std::uint8_t b2) {
  const std::size_t position = b1 | (static_cast<std::size_t>(b2 & 0xF0) << 4);
  return ((kStartPosition + count - position - 1) & kWindowMask) + 1;
}

std::size_t Length(std::uint8_t b2) { return static_cast<std::size_t>(b2 & 0x0F) + 3; }

void Copy8(std::uint8_t* dst, const std::uint8_t* src) {
  std::uint64_t v;
  std::memcpy(&v, src, 8);
  std::memcpy(dst, &v, 8);
}

void Copy16(std::uint8_t* dst, const std::uint8_t* src) {
  std::uint8_t v[16];
  std::memcpy(v, src, 16);
  std::memcpy(dst, v, 16);
}

// Copies a reference with room for 24 bytes at dst. Each block reads only
// bytes that lie before the block it writes, so block copies give the same
// bytes as the byte-at-a-time copy; bytes past the length are scratch.
void CopyReferenceFast(std::uint8_t* out, std::size_t count, std::size_t distance,
                       std::size_t length) {
  std::uint8_t* dst = out + count;
  if (distance > count) {
    // Reaches back into the initial spaces: only within the first 4 KiB.
    for (std::size_t j = 0; j < length; ++j) {
      dst[j] = count + j >= distance ? out[count + j - distance] : kSpace;
    }
    return;
  }
  const std::uint8_t* src = dst - distance;
  if (distance >= 16) {
    Copy16(dst, src);
    Copy8(dst + 16, src + 16);
  } else if (distance >= 8) {
    Copy8(dst, src);
    Copy8(dst + 8, src + 8);
    Copy8(dst + 16, src + 16);
  } else if (distance == 1) {
    std::memset(dst, src[0], 18);
  } else {
    for (std::size_t j = 0; j < length; ++j) dst[j] = src[j];
  }
}

}  // namespace

bool ParseLzHeader(std::span<const std::uint8_t> bytes, LzHeader* header) {
  if (bytes.size() < kLzHeaderSize) return false;
  if (!std::equal(kLzSignature.begin(), kLzSignature.end(), bytes.begin())) return false;
  if (bytes[8] != kLzModeA) return false;
  header->missingChar = bytes[9];
  header->expandedSize = ReadLittleEndian32(&bytes[10]);
  return true;
}

void LzExpander::Start(std::uint8_t* out, std::size_t capacity) {
  out_ = out;
  capacity_ = capacity;
  count_ = 0;
  overflowed_ = false;
  pendingSize_ = 0;
}

void LzExpander::Feed(std::span<const std::uint8_t> piece) {
  const std::uint8_t* in = piece.data();
  const std::uint8_t* const end = in + piece.size();
  if (overflowed_ || in == end) return;

  if (pendingSize_ > 0) {
    const std::size_t want = GroupSize(pending_[0]) - pendingSize_;
    const std::size_t take = std::min(want, static_cast<std::size_t>(end - in));
    std::memcpy(pending_ + pendingSize_, in, take);
    pendingSize_ += take;
    in += take;
    if (take < want) return;
    ExpandGroupChecked(pending_, pending_ + pendingSize_);
    pendingSize_ = 0;
    if (overflowed_) return;
  }

  in = ExpandGroups(in, end);
  if (overflowed_) return;
  pendingSize_ = static_cast<std::size_t>(end - in);
  std::memcpy(pending_, in, pendingSize_);
}

void LzExpander::Finish() {
  if (!overflowed_ && pendingSize_ > 0) ExpandGroupChecked(pending_, pending_ + pendingSize_);
  pendingSize_ = 0;
}

// Expands every whole group in [in, end) and returns where the first cut one
// begins.
const std::uint8_t* LzExpander::ExpandGroups(const std::uint8_t* in, const std::uint8_t* end) {
  while (end - in >= static_cast<std::ptrdiff_t>(kMaxGroupSize) &&
         capacity_ - count_ >= kFastRoom) {
    in = ExpandGroupFast(in);
  }
  while (in < end) {
    const std::size_t size = GroupSize(*in);
    if (static_cast<std::size_t>(end - in) < size) break;
    ExpandGroupChecked(in, in + size);
    in += size;
    if (overflowed_) break;
  }
  return in;
}

// A whole group with room for it in the buffer: no check per byte.
const std::uint8_t* LzExpander::ExpandGroupFast(const std::uint8_t* in) {
  unsigned flags = *in++;
  std::uint8_t* const out = out_;
  std::size_t count = count_;
  if (flags == 0xFF) {
    Copy8(out + count, in);
    count_ = count + 8;
    return in + 8;
  }
  for (int k = 0; k < 8; ++k, flags >>= 1) {
    if (flags & 1) {
      out[count++] = *in++;
    } else {
      const std::size_t length = Length(in[1]);
      CopyReferenceFast(out, count, Distance(count, in[0], in[1]), length);
      count += length;
      in += 2;
    }
  }
  count_ = count;
  return in;
}

// A group that may be cut short or may not fit the buffer: items are expanded
// while their bytes are all there, and output stops at the capacity. Half a
// reference at the end describes nothing.
void LzExpander::ExpandGroupChecked(const std::uint8_t* in, const std::uint8_t* end) {
  if (in >= end) return;
  unsigned flags = *in++;
  for (int k = 0; k < 8 && in < end; ++k, flags >>= 1) {
    if (flags & 1) {
      if (count_ == capacity_) {
        overflowed_ = true;
        return;
      }
      out_[count_++] = *in++;
    } else {
      if (end - in < 2) return;
      if (!PutReference(Distance(count_, in[0], in[1]), Length(in[1]))) return;
      in += 2;
    }
  }
}

bool LzExpander::PutReference(std::size_t distance, std::size_t length) {
  for (std::size_t j = 0; j < length; ++j) {
    if (count_ == capacity_) {
      overflowed_ = true;
      return false;
    }
    out_[count_] = count_ >= distance ? out_[count_ - distance] : kSpace;
    ++count_;
  }
  return true;
}

std::size_t LzExpander::Settled() const {
  const std::size_t keep = kWindowMask + 1 + (count_ & kWindowMask);
  return count_ > keep ? count_ - keep : 0;
}

void LzExpander::DropSettled() {
  const std::size_t settled = Settled();
  if (settled == 0) return;
  count_ -= settled;
  std::memmove(out_, out_ + settled, count_);
}

std::uint64_t LzExpandedCount(std::span<const std::uint8_t> stream) {
  const std::uint8_t* in = stream.data();
  const std::uint8_t* const end = in + stream.size();
  std::uint64_t count = 0;
  // Whole groups. Literal or reference is a coin toss in most data, so the
  // kind of an item only selects, without a branch, what it adds and how far
  // it moves; reading the byte after a literal stays inside the group.
  while (end - in >= static_cast<std::ptrdiff_t>(kMaxGroupSize)) {
    const unsigned flags = *in++;
    for (int k = 0; k < 8; ++k) {
      const std::size_t reference = (~flags >> k) & 1;
      count += 1 + reference * ((in[1] & 0x0Fu) + 2);
      in += 1 + reference;
    }
  }
  // Fewer than 17 bytes are left: groups that may be cut after any item.
  while (in < end) {
    unsigned flags = *in++;
    for (int k = 0; k < 8 && in < end; ++k, flags >>= 1) {
      if (flags & 1) {
        ++count;
        ++in;
      } else {
        // Half a reference at the end describes nothing.
        if (end - in < 2) return count;
        count += Length(in[1]);
        in += 2;
      }
    }
  }
  return count;
}

std::size_t LzExpand(std::span<const std::uint8_t> stream, std::uint8_t* out,
                     std::size_t capacity) {
  LzExpander expander(out, capacity);
  expander.Feed(stream);
  expander.Finish();
  return expander.count();
}

void LzFileExpander::Feed(std::span<const std::uint8_t> piece) {
  if (bad_ || piece.empty()) return;
  if (headerSize_ < kLzHeaderSize) {
    const std::size_t take = std::min(kLzHeaderSize - headerSize_, piece.size());
    std::memcpy(header_ + headerSize_, piece.data(), take);
    headerSize_ += take;
    piece = piece.subspan(take);
    if (headerSize_ < kLzHeaderSize) return;
    if (!ParseLzHeader(header_, &parsed_) ||
        (sink_ == nullptr && parsed_.expandedSize > capacity_)) {
      bad_ = true;
      return;
    }
    throughSink_ = parsed_.expandedSize > capacity_;
    // Limited to the expanded size, so that a stream that yields more shows
    // as an overflow at once instead of running on to the buffer's end.
    stream_.Start(out_, throughSink_ ? capacity_ : parsed_.expandedSize);
  }
  if (throughSink_) {
    FeedThroughSink(piece);
    return;
  }
  stream_.Feed(piece);
  if (stream_.overflowed()) bad_ = true;
}

void LzFileExpander::FeedThroughSink(std::span<const std::uint8_t> piece) {
  while (!piece.empty() && !bad_) {
    const std::span<const std::uint8_t> step = piece.first(std::min(piece.size(), kLzSinkStep));
    piece = piece.subspan(step.size());
    const std::uint64_t most = LzMaxExpandedSize(stream_.pending() + step.size());
    if (capacity_ - stream_.count() < most && !PutSettled()) return;
    stream_.Feed(step);
    if (stream_.overflowed()) bad_ = true;
  }
}

// Hands the settled bytes to the sink and drops them. A stream that has
// already yielded more than its header gives fails here, before the sink
// sees the excess.
bool LzFileExpander::PutSettled() {
  const std::size_t settled = stream_.Settled();
  put_ += settled;
  if (put_ > parsed_.expandedSize || !sink_->Put(out_, settled)) {
    bad_ = true;
    return false;
  }
  stream_.DropSettled();
  return true;
}

std::size_t LzFileExpander::Finish() {
  if (bad_ || headerSize_ < kLzHeaderSize) return 0;
  stream_.Finish();
  if (stream_.overflowed() || put_ + stream_.count() != parsed_.expandedSize) return 0;
  if (sink_ != nullptr && stream_.count() > 0 && !sink_->Put(out_, stream_.count())) return 0;
  return static_cast<std::size_t>(put_) + stream_.count();
}

std::size_t LzExpandFile(std::span<const std::uint8_t> file, std::uint8_t* out,
                         std::size_t capacity) {
  LzFileExpander expander(out, capacity);
  expander.Feed(file);
  return expander.Finish();
}

}  // namespace qvx
