#include "payload/payload_check.h"

#include "payload/little_endian.h"
#include "payload/payload_reader.h"

namespace qvx {
namespace {

bool IsTag(const std::uint8_t* bytes) {
  for (std::size_t i = 0; i < kCheckTag.size(); ++i) {
    if (bytes[i] != kCheckTag[i]) return false;
  }
  return true;
}

}  // namespace

Crc32::Crc32() {
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table_[0][n] = c;
  }
  for (int k = 1; k < 8; ++k) {
    for (std::uint32_t n = 0; n < 256; ++n) {
      const std::uint32_t c = table_[k - 1][n];
      table_[k][n] = table_[0][c & 0xFF] ^ (c >> 8);
    }
  }
}

void Crc32::Update(std::span<const std::uint8_t> bytes) {
  std::uint32_t c = state_;
  const std::uint8_t* p = bytes.data();
  std::size_t left = bytes.size();
  for (; left >= 8; p += 8, left -= 8) {
    const std::uint32_t low = c ^ ReadLittleEndian32(p);
    const std::uint32_t high = ReadLittleEndian32(p + 4);
    c = table_[7][low & 0xFF] ^ table_[6][(low >> 8) & 0xFF] ^ table_[5][(low >> 16) & 0xFF] ^
        table_[4][low >> 24] ^ table_[3][high & 0xFF] ^ table_[2][(high >> 8) & 0xFF] ^
        table_[1][(high >> 16) & 0xFF] ^ table_[0][high >> 24];
  }
  for (; left > 0; ++p, --left) c = table_[0][(c ^ *p) & 0xFF] ^ (c >> 8);
  state_ = c;
}

std::array<std::uint8_t, kCheckTrailerSize> CheckTrailer(std::uint32_t value) {
  std::array<std::uint8_t, kCheckTrailerSize> trailer{};
  WriteLittleEndian(trailer.data(), 4, value);
  for (std::size_t i = 0; i < kCheckTag.size(); ++i) trailer[4 + i] = kCheckTag[i];
  return trailer;
}

PayloadCheck CheckPayload(std::span<const std::uint8_t> payload) {
  PayloadCheck check;
  PayloadEntry entry = EntryAt(payload, 0);
  for (; entry.kind == EntryKind::Entry; entry = EntryAt(payload, entry.next())) ++check.entries;
  check.chainEnd = entry.offset;
  check.terminated = entry.kind == EntryKind::End;

  const std::size_t size = payload.size();
  if (size >= kCheckTrailerSize && IsTag(&payload[size - kCheckTag.size()])) {
    const std::size_t covered = size - kCheckTrailerSize;
    Crc32 crc;
    crc.Update(payload.first(covered));
    check.stored = ReadLittleEndian32(&payload[covered]);
    check.computed = crc.Value();
    check.state = check.stored == check.computed ? CheckState::Holds : CheckState::Fails;
  } else if (check.terminated && size - entry.offset <= kEntryLengthSize + kMaxPadding) {
    check.state = CheckState::Absent;
    for (std::size_t i = entry.offset; i < size; ++i) {
      if (payload[i] != 0) check.state = CheckState::Unreadable;
    }
  }
  return check;
}

bool PayloadIntact(std::span<const std::uint8_t> payload) {
  const PayloadCheck check = CheckPayload(payload);
  return check.terminated &&
         (check.state == CheckState::Holds || check.state == CheckState::Absent);
}

}  // namespace qvx
