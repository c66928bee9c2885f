// Longest-match search for the encoder, exact within the format's limits.
//
// The decoder's window is the last 4096 bytes output, with spaces before the
// first. So the text the encoder matches against is 4096 spaces followed by
// the input, and a reference is a distance back from 1 to 4096 with a length
// from 3 to 18; the source may overlap the bytes being produced.
//
// The finder keeps, for every hash of a three-byte prefix, a binary search
// tree of the window's positions ordered by the 18 bytes that follow them (a text that
// ends sooner sorts first). Each new position becomes the root of its tree
// and the old tree is split around it; the search path passes the nearest
// neighbours in that order, and so the longest match. Newer positions sit
// above older ones, so positions that leave the window drop off the bottom.
//
// The input is read in pieces: the finder holds only the last 4096 bytes
// and the next 18 of the text, in a buffer that slides along it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tools/qvxpack/byte_stream.h"

namespace qvx::pack {

inline constexpr std::size_t kMinMatch = 3;
inline constexpr std::size_t kMaxMatch = 18;
inline constexpr std::size_t kMaxDistance = 4096;

struct Match {
  std::uint8_t length = 0;     // 0 when no match of kMinMatch or more exists
  std::uint16_t distance = 0;  // 1 to kMaxDistance
};

class BinaryTreeFinder;

// The longest match at each position of an input of a known size, one
// position after the other.
class StreamMatchFinder {
 public:
  // The input is read in pieces of up to `piece` bytes.
  StreamMatchFinder(ByteReader& input, std::uint64_t inputSize, std::size_t piece = 1 << 20);
  ~StreamMatchFinder();

  // The longest match at the next input position (length 0 when there is
  // none of kMinMatch bytes). False when the input cannot be read or ends
  // before its size; error() says why.
  bool Next(Match* match);
  const std::string& error() const { return error_; }

 private:
  bool Have(std::uint64_t end);
  Match Insert(std::uint64_t pos);

  ByteReader& input_;
  std::uint64_t textSize_;    // the 4096 spaces and the input
  std::uint64_t unread_;      // input bytes not yet read
  std::uint64_t next_;        // text position of the next Next()
  std::vector<std::uint8_t> buffer_;
  std::uint64_t base_ = 0;    // text position of buffer_[0]
  std::size_t filled_ = 0;
  std::unique_ptr<BinaryTreeFinder> tree_;
  std::string error_;
};

// The longest match at every position of input.
std::vector<Match> FindLongestMatches(std::span<const std::uint8_t> input);

}  // namespace qvx::pack
