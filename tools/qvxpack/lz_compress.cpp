#include "tools/qvxpack/lz_compress.h"

#include <array>
#include <cstddef>

#include "payload/little_endian.h"
#include "payload/lz_expand.h"
#include "tools/qvxpack/match_finder.h"

namespace qvx::pack {
namespace {

constexpr std::uint64_t kLiteralBits = 9;
constexpr std::uint64_t kReferenceBits = 17;
constexpr std::size_t kStartPosition = 4080;
// Writes items into groups of a flag byte and up to eight items, and the
// groups to a writer in large pieces.
class StreamWriter {
 public:
  StreamWriter(ByteWriter& out, std::size_t piece) : out_(out), piece_(piece) {
    buffer_.reserve(piece + 17);
  }

  bool Literal(std::uint8_t byte) {
    BeginItem(true);
    group_[groupSize_++] = byte;
    return EndItem();
  }

  // A reference at output count, given as a distance back.
  bool Reference(std::uint64_t count, std::size_t distance, std::size_t length) {
    BeginItem(false);
    const std::size_t position = (kStartPosition + count - distance) & 0xFFF;
    group_[groupSize_++] = static_cast<std::uint8_t>(position & 0xFF);
    group_[groupSize_++] =
        static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (length - kMinMatch));
    return EndItem();
  }

  // Writes the last group, however few items it has, and what is buffered.
  bool Finish() {
    if (items_ > 0) buffer_.insert(buffer_.end(), group_, group_ + groupSize_);
    items_ = 0;
    groupSize_ = 0;
    const bool ok = buffer_.empty() || out_.Write(buffer_);
    buffer_.clear();
    return ok;
  }

 private:
  void BeginItem(bool literal) {
    if (items_ == 0) {
      group_[0] = 0;
      groupSize_ = 1;
    }
    if (literal) group_[0] |= static_cast<std::uint8_t>(1u << items_);
    ++items_;
  }

  bool EndItem() {
    if (items_ < 8) return true;
    buffer_.insert(buffer_.end(), group_, group_ + groupSize_);
    items_ = 0;
    if (buffer_.size() < piece_) return true;
    const bool ok = out_.Write(buffer_);
    buffer_.clear();
    return ok;
  }

  ByteWriter& out_;
  std::size_t piece_;
  std::vector<std::uint8_t> buffer_;
  std::uint8_t group_[17] = {};
  std::size_t groupSize_ = 0;
  unsigned items_ = 0;
};

// Reads a source sequentially through a buffer, a byte or a 16-bit value at
// a time.
class BufferedInput {
 public:
  BufferedInput(ByteReader& in, std::size_t piece) : in_(in), buffer_(piece) {}

  // Skips n bytes.
  bool Skip(std::uint64_t n) {
    while (n > 0) {
      if (at_ == size_ && !Fill()) return false;
      const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - at_));
      at_ += step;
      n -= step;
    }
    return true;
  }
  bool Byte(std::uint8_t* b) {
    if (at_ == size_ && !Fill()) return false;
    *b = buffer_[at_++];
    return true;
  }
  const std::string& error() const { return error_.empty() ? in_.error() : error_; }

 private:
  bool Fill() {
    at_ = 0;
    if (!in_.Read(buffer_.data(), buffer_.size(), &size_)) return false;
    if (size_ == 0) {
      error_ = "changed while being read";
      return false;
    }
    return true;
  }

  ByteReader& in_;
  std::vector<std::uint8_t> buffer_;
  std::size_t at_ = 0;
  std::size_t size_ = 0;
  std::string error_;
};

}  // namespace

bool LzEncoder::Plan(ByteReader& input, std::uint64_t inputSize, ScratchSpace& scratch,
                     std::string* error) {
  choice_.assign(static_cast<std::size_t>(inputSize), 0);
  const std::size_t n = choice_.size();
  if (!input.Rewind() || !scratch.Rewind()) {
    *error = !input.error().empty() ? input.error() : scratch.error();
    return false;
  }

  // Forward: the longest match at each position; its length stays here, its
  // distance goes aside, two bytes little-endian per position.
  StreamMatchFinder finder(input, inputSize, piece_);
  std::vector<std::uint8_t> distances;
  distances.reserve(piece_);
  for (std::size_t i = 0; i < n; ++i) {
    Match m;
    if (!finder.Next(&m)) {
      *error = finder.error();
      return false;
    }
    choice_[i] = m.length;
    distances.push_back(static_cast<std::uint8_t>(m.distance));
    distances.push_back(static_cast<std::uint8_t>(m.distance >> 8));
    if (distances.size() >= piece_ || i + 1 == n) {
      if (!scratch.Write(distances)) {
        *error = scratch.error();
        return false;
      }
      distances.clear();
    }
  }

  // Backwards: cost[i] is the fewest bits for input[i..n). Only the next 18
  // costs are ever needed, so they live in a ring. Each position's longest
  // match is overwritten with the length chosen there (1 for a literal).
  constexpr std::size_t kRing = 32;
  std::array<std::uint64_t, kRing> cost{};
  for (std::size_t i = n; i-- > 0;) {
    std::uint64_t best = cost[(i + 1) % kRing] + kLiteralBits;
    std::uint8_t choice = 1;
    for (std::size_t length = kMinMatch; length <= choice_[i]; ++length) {
      const std::uint64_t c = cost[(i + length) % kRing] + kReferenceBits;
      if (c < best) {
        best = c;
        choice = static_cast<std::uint8_t>(length);
      }
    }
    cost[i % kRing] = best;
    choice_[i] = choice;
  }

  // The stream's size: a byte per literal, two per reference, and a flag
  // byte per eight items or fewer at the end.
  std::uint64_t items = 0, bytes = 0;
  for (std::size_t i = 0; i < n; i += choice_[i]) {
    ++items;
    bytes += choice_[i] == 1 ? 1 : 2;
  }
  streamSize_ = bytes + (items + 7) / 8;
  return true;
}

bool LzEncoder::Write(ByteReader& input, ScratchSpace& scratch, ByteWriter& out,
                      std::string* error) {
  if (!input.Rewind() || !scratch.Rewind()) {
    *error = !input.error().empty() ? input.error() : scratch.error();
    return false;
  }
  BufferedInput bytes(input, piece_);
  BufferedInput distances(scratch, piece_);
  StreamWriter writer(out, piece_);
  const std::size_t n = choice_.size();
  bool ok = true;
  for (std::size_t i = 0; ok && i < n;) {
    const std::size_t length = choice_[i];
    if (length == 1) {
      std::uint8_t b = 0;
      ok = bytes.Byte(&b) && distances.Skip(2) && writer.Literal(b);
    } else {
      std::uint8_t low = 0, high = 0;
      ok = bytes.Skip(length) && distances.Byte(&low) && distances.Byte(&high) &&
           distances.Skip(2 * (length - 1)) &&
           writer.Reference(i, static_cast<std::size_t>(low | high << 8), length);
    }
    i += length;
  }
  if (ok && writer.Finish()) return true;
  // Whichever stopped the pass has the reason.
  for (const std::string* reason : {&bytes.error(), &distances.error(), &out.error()}) {
    if (!reason->empty()) {
      *error = *reason;
      break;
    }
  }
  return false;
}

std::vector<std::uint8_t> LzCompressStream(std::span<const std::uint8_t> input) {
  LzEncoder encoder;
  MemoryScratch scratch;
  std::string error;
  MemoryReader reader(input);
  // Memory neither fails nor ends early.
  encoder.Plan(reader, input.size(), scratch, &error);
  std::vector<std::uint8_t> out;
  out.reserve(encoder.streamSize());
  VectorWriter writer(&out);
  encoder.Write(reader, scratch, writer, &error);
  return out;
}

std::vector<std::uint8_t> LzHeaderBytes(std::uint32_t expandedSize) {
  std::vector<std::uint8_t> header(kLzSignature.begin(), kLzSignature.end());
  header.push_back(kLzModeA);
  header.push_back(0);  // no missing file-name character
  AppendLittleEndian32(&header, expandedSize);
  return header;
}

std::vector<std::uint8_t> LzCompressFile(std::span<const std::uint8_t> input) {
  std::vector<std::uint8_t> file = LzHeaderBytes(static_cast<std::uint32_t>(input.size()));
  const std::vector<std::uint8_t> stream = LzCompressStream(input);
  file.insert(file.end(), stream.begin(), stream.end());
  return file;
}

}  // namespace qvx::pack
