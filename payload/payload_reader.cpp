#include "payload/payload_reader.h"

#include <algorithm>

#include "payload/target_names.h"

namespace qvx {
namespace {

// Where the expanded size lies in a stored body (offset 10 of the full file).
constexpr std::size_t kExpandedSizeOffset = 6;

}  // namespace

std::uint32_t PayloadEntry::expandedSize() const {
  return body.size() >= kStoredHeaderSize ? ReadLittleEndian32(&body[kExpandedSizeOffset]) : 0;
}

bool PayloadEntry::Sound() const {
  std::uint8_t header[kLzHeaderSize];
  std::copy(kLeftOutSignature.begin(), kLeftOutSignature.end(), header);
  std::copy_n(body.begin(), kStoredHeaderSize, header + kLeftOutSignature.size());
  LzHeader parsed;
  return ParseLzHeader(header, &parsed) &&
         LzExpandedCount(body.subspan(kStoredHeaderSize)) == parsed.expandedSize;
}

PayloadEntry EntryAt(std::span<const std::uint8_t> payload, std::size_t offset) {
  PayloadEntry entry;
  entry.offset = offset;
  // A payload cut before its terminator is broken, not finished: the files
  // it lacks must not go missing quietly.
  if (offset > payload.size() || payload.size() - offset < kEntryLengthSize) {
    entry.kind = EntryKind::Broken;
    return entry;
  }
  entry.length = ReadLittleEndian32(&payload[offset]);
  if (entry.length == 0) {
    entry.kind = EntryKind::End;
    return entry;
  }
  const std::size_t bodyOffset = offset + kEntryLengthSize;
  if (entry.length < kStoredHeaderSize || payload.size() - bodyOffset < entry.length) {
    entry.kind = EntryKind::Broken;
    return entry;
  }
  entry.kind = EntryKind::Entry;
  entry.body = payload.subspan(bodyOffset, entry.length);
  return entry;
}

PayloadWalk::PayloadWalk(std::span<const std::uint8_t> payload) : payload_(payload) {
  entry_ = EntryAt(payload_, 0);
}

bool PayloadWalk::HasNextEntry() const {
  return index_ < kTargetCount && entry_.kind != EntryKind::End;
}

void PayloadWalk::Advance() {
  if (!HasNextEntry()) return;
  ++index_;
  // Nothing after a broken entry can be located, and nothing after the sixth
  // is ever read.
  if (entry_.kind == EntryKind::Broken || index_ == kTargetCount) {
    entry_ = PayloadEntry{};
    return;
  }
  entry_ = EntryAt(payload_, entry_.next());
}

bool EntriesWithinExpandableSize(std::span<const std::uint8_t> payload) {
  for (PayloadWalk walk(payload); walk.HasNextEntry(); walk.Advance()) {
    const PayloadEntry& entry = walk.Entry();
    if (entry.kind == EntryKind::Entry && entry.expandedSize() > kMaxExpandedEntrySize) {
      return false;
    }
  }
  return true;
}

std::uint64_t ExpandedProductSize(std::span<const std::uint8_t> payload) {
  std::uint64_t total = 0;
  for (PayloadWalk walk(payload); walk.HasNextEntry(); walk.Advance()) {
    if (walk.Entry().kind == EntryKind::Entry) total += walk.Entry().expandedSize();
  }
  return total;
}

}  // namespace qvx
