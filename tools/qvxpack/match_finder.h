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
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qvx::pack {

inline constexpr std::size_t kMinMatch = 3;
inline constexpr std::size_t kMaxMatch = 18;
inline constexpr std::size_t kMaxDistance = 4096;

struct Match {
  std::uint8_t length = 0;     // 0 when no match of kMinMatch or more exists
  std::uint16_t distance = 0;  // 1 to kMaxDistance
};

// The longest match at every position of input.
std::vector<Match> FindLongestMatches(std::span<const std::uint8_t> input);

}  // namespace qvx::pack
