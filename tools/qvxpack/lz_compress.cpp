#include "tools/qvxpack/lz_compress.h"

#include <array>
#include <cstddef>

#include "payload/lz_expand.h"
#include "tools/qvxpack/match_finder.h"

namespace qvx::pack {
namespace {

constexpr std::uint64_t kLiteralBits = 9;
constexpr std::uint64_t kReferenceBits = 17;
constexpr std::size_t kStartPosition = 4080;

// Writes items into groups of a flag byte and up to eight items.
class StreamWriter {
 public:
  explicit StreamWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  void Literal(std::uint8_t byte) {
    BeginItem(true);
    out_.push_back(byte);
  }

  // A reference at output count, given as a distance back.
  void Reference(std::size_t count, std::size_t distance, std::size_t length) {
    BeginItem(false);
    const std::size_t position = (kStartPosition + count - distance) & 0xFFF;
    out_.push_back(static_cast<std::uint8_t>(position & 0xFF));
    out_.push_back(static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (length - kMinMatch)));
  }

 private:
  void BeginItem(bool literal) {
    if (items_ == 8) items_ = 0;
    if (items_ == 0) {
      flagAt_ = out_.size();
      out_.push_back(0);
    }
    if (literal) out_[flagAt_] |= static_cast<std::uint8_t>(1u << items_);
    ++items_;
  }

  std::vector<std::uint8_t>& out_;
  std::size_t flagAt_ = 0;
  unsigned items_ = 0;
};

}  // namespace

std::vector<std::uint8_t> LzCompressStream(std::span<const std::uint8_t> input) {
  const std::size_t n = input.size();
  std::vector<Match> matches = FindLongestMatches(input);

  // Backwards: cost[i] is the fewest bits for input[i..n). Only the next 18
  // costs are ever needed, so they live in a ring. Each position's longest
  // match is overwritten with the length chosen there (1 for a literal).
  constexpr std::size_t kRing = 32;
  std::array<std::uint64_t, kRing> cost{};
  for (std::size_t i = n; i-- > 0;) {
    std::uint64_t best = cost[(i + 1) % kRing] + kLiteralBits;
    std::uint8_t choice = 1;
    for (std::size_t length = kMinMatch; length <= matches[i].length; ++length) {
      const std::uint64_t c = cost[(i + length) % kRing] + kReferenceBits;
      if (c < best) {
        best = c;
        choice = static_cast<std::uint8_t>(length);
      }
    }
    cost[i % kRing] = best;
    matches[i].length = choice;
  }

  std::vector<std::uint8_t> out;
  out.reserve(n + n / 8 + 16);
  StreamWriter writer(out);
  for (std::size_t i = 0; i < n;) {
    const Match& m = matches[i];
    if (m.length == 1) {
      writer.Literal(input[i]);
      i += 1;
    } else {
      writer.Reference(i, m.distance, m.length);
      i += m.length;
    }
  }
  return out;
}

std::vector<std::uint8_t> LzHeaderBytes(std::uint32_t expandedSize) {
  std::vector<std::uint8_t> header(kLzSignature.begin(), kLzSignature.end());
  header.push_back(kLzModeA);
  header.push_back(0);  // no missing file-name character
  for (int shift = 0; shift < 32; shift += 8) {
    header.push_back(static_cast<std::uint8_t>(expandedSize >> shift));
  }
  return header;
}

std::vector<std::uint8_t> LzCompressFile(std::span<const std::uint8_t> input) {
  std::vector<std::uint8_t> file = LzHeaderBytes(static_cast<std::uint32_t>(input.size()));
  const std::vector<std::uint8_t> stream = LzCompressStream(input);
  file.insert(file.end(), stream.begin(), stream.end());
  return file;
}

}  // namespace qvx::pack
