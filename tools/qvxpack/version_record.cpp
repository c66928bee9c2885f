#include "tools/qvxpack/version_record.h"

#include <cstddef>

#include "tools/qvxpack/byte_fields.h"

namespace qvx::pack {
namespace {

constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedInfoSize = 52;
constexpr std::size_t kBlockHeaderSize = 6;
constexpr int kMaxDepth = 8;  // the record has three levels; deeper is damage

struct Block {
  std::vector<std::uint8_t> key;  // UTF-16 units, without the terminating zero
  std::uint16_t valueLength = 0;  // as stored
  std::uint16_t type = 0;
  std::vector<std::uint8_t> value;  // its bytes, without padding
  std::vector<Block> children;
};

std::vector<std::uint8_t> Utf16(const std::string& ascii) {
  std::vector<std::uint8_t> units;
  for (char c : ascii) units.insert(units.end(), {static_cast<std::uint8_t>(c), 0});
  return units;
}

std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

// Reads the block at `at`, which ends at or before `end`.
bool ReadBlock(std::span<const std::uint8_t> r, std::size_t at, std::size_t end, int depth,
               Block* block) {
  std::uint32_t length = 0, valueLength = 0, type = 0;
  if (depth > kMaxDepth || !ReadField(r, at, 2, &length) ||
      !ReadField(r, at + 2, 2, &valueLength) || !ReadField(r, at + 4, 2, &type) ||
      length < kBlockHeaderSize || at + length > end || type > 1) {
    return false;
  }
  const std::size_t blockEnd = at + length;
  std::size_t p = at + kBlockHeaderSize;
  for (;; p += 2) {
    if (p + 2 > blockEnd) return false;
    if (r[p] == 0 && r[p + 1] == 0) break;
    block->key.insert(block->key.end(), {r[p], r[p + 1]});
  }
  p = Align4(p + 2);
  block->valueLength = static_cast<std::uint16_t>(valueLength);
  block->type = static_cast<std::uint16_t>(type);
  const std::size_t valueBytes = type == 1 ? 2 * std::size_t{valueLength} : valueLength;
  if (valueBytes > 0) {
    if (p + valueBytes > blockEnd) return false;
    block->value.assign(r.begin() + p, r.begin() + p + valueBytes);
    p += valueBytes;
  }
  for (p = Align4(p); p < blockEnd; p = Align4(p)) {
    Block child;
    std::uint32_t childLength = 0;
    if (!ReadField(r, p, 2, &childLength) || !ReadBlock(r, p, blockEnd, depth + 1, &child)) {
      return false;
    }
    block->children.push_back(std::move(child));
    p += childLength;
  }
  return true;
}

void Pad4(std::vector<std::uint8_t>* out) { out->resize(Align4(out->size()), 0); }

// Appends the block at a multiple of 4; false when it outgrows its 16-bit
// length.
bool WriteBlock(const Block& block, std::vector<std::uint8_t>* out) {
  Pad4(out);
  const std::size_t start = out->size();
  out->resize(start + kBlockHeaderSize);
  WriteField(*out, start + 2, 2, block.valueLength);
  WriteField(*out, start + 4, 2, block.type);
  out->insert(out->end(), block.key.begin(), block.key.end());
  out->insert(out->end(), {0, 0});
  Pad4(out);
  out->insert(out->end(), block.value.begin(), block.value.end());
  for (const Block& child : block.children) {
    if (!WriteBlock(child, out)) return false;
  }
  if (out->size() - start > 0xFFFF) return false;
  WriteField(*out, start, 2, static_cast<std::uint32_t>(out->size() - start));
  return true;
}

void SetTexts(Block* block, const std::string& text, int depth) {
  if (depth > kMaxDepth) return;
  if (block->type == 1 &&
      (block->key == Utf16("FileVersion") || block->key == Utf16("ProductVersion"))) {
    block->value = Utf16(text);
    block->value.insert(block->value.end(), {0, 0});
    block->valueLength = static_cast<std::uint16_t>(text.size() + 1);
  }
  for (Block& child : block->children) SetTexts(&child, text, depth + 1);
}

}  // namespace

bool ParseVersionNumber(const std::string& text, VersionNumber* version) {
  std::size_t part = 0, digits = 0;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      if (digits == 0 || part > 3) return false;
      (*version)[part++] = static_cast<std::uint16_t>(value);
      value = 0;
      digits = 0;
    } else if (text[i] >= '0' && text[i] <= '9' && digits < 5) {
      value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
      ++digits;
      if (value > 0xFFFF) return false;
    } else {
      return false;
    }
  }
  return part == 4;
}

bool SetRecordVersion(std::span<const std::uint8_t> record, const VersionNumber& version,
                      std::vector<std::uint8_t>* out, std::string* error) {
  Block root;
  std::uint32_t signature = 0;
  if (!ReadBlock(record, 0, record.size(), 0, &root)) {
    *error = "its version record is malformed";
    return false;
  }
  if (root.value.size() < kFixedInfoSize || !ReadField(root.value, 0, 4, &signature) ||
      signature != kFixedInfoSignature) {
    *error = "its version record has no fixed file information";
    return false;
  }
  const std::uint32_t most = std::uint32_t{version[0]} << 16 | version[1];
  const std::uint32_t least = std::uint32_t{version[2]} << 16 | version[3];
  for (std::size_t field : {8, 16}) {  // file version, product version
    WriteField(root.value, field, 4, most);
    WriteField(root.value, field + 4, 4, least);
  }
  SetTexts(&root,
           std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
               std::to_string(version[2]) + "." + std::to_string(version[3]),
           0);
  out->clear();
  if (!WriteBlock(root, out)) {
    *error = "its version record would grow past 64 KiB";
    return false;
  }
  return true;
}

}  // namespace qvx::pack
