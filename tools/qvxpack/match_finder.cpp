#include "tools/qvxpack/match_finder.h"

#include <algorithm>
#include <limits>

namespace qvx::pack {
namespace {

constexpr std::size_t kNil = std::numeric_limits<std::size_t>::max();
// Tree nodes live in a ring twice the window, so that a position never
// shares its node with one still inside the window.
constexpr std::size_t kNodeMask = 2 * kMaxDistance - 1;
constexpr unsigned kHashBits = 16;

class BinaryTreeFinder {
 public:
  // text: the 4096 spaces and the input.
  explicit BinaryTreeFinder(std::span<const std::uint8_t> text)
      : text_(text), heads_(std::size_t{1} << kHashBits, kNil), nodes_(2 * (kNodeMask + 1), kNil) {}

  // Inserts position cur and returns the longest match that ends before it.
  Match Insert(std::size_t cur) {
    const std::size_t limit = std::min(kMaxMatch, text_.size() - cur);
    Match best;
    if (limit < kMinMatch) return best;  // too close to the end to matter
    const std::uint8_t* const here = text_.data() + cur;
    std::size_t& head = heads_[Hash(here)];
    std::size_t candidate = head;
    head = cur;

    // Links still to fill: the new node's subtree of smaller texts and of
    // greater ones, and how far each side is known to match already.
    std::size_t* smaller = &nodes_[2 * (cur & kNodeMask)];
    std::size_t* greater = smaller + 1;
    std::size_t smallerLength = 0;
    std::size_t greaterLength = 0;

    for (;;) {
      if (candidate == kNil || cur - candidate > kMaxDistance) {
        *smaller = kNil;
        *greater = kNil;
        return best;
      }
      std::size_t* const node = &nodes_[2 * (candidate & kNodeMask)];
      const std::uint8_t* const there = text_.data() + candidate;
      std::size_t length = std::min(smallerLength, greaterLength);
      while (length < limit && there[length] == here[length]) ++length;
      if (length > best.length) {
        best.length = static_cast<std::uint8_t>(length);
        best.distance = static_cast<std::uint16_t>(cur - candidate);
      }
      if (length == kMaxMatch) {
        // Equal keys: the new position takes the old one's place.
        *smaller = node[0];
        *greater = node[1];
        return best;
      }
      // A text cut by the end of the input sorts before any that goes on.
      if (length < limit && there[length] < here[length]) {
        *smaller = candidate;
        smaller = &node[1];
        candidate = *smaller;
        smallerLength = length;
      } else {
        *greater = candidate;
        greater = &node[0];
        candidate = *greater;
        greaterLength = length;
      }
    }
  }

 private:
  // One tree per hash of the first three bytes: every match of three bytes
  // or more lies in the same tree, and the trees stay shallow.
  static std::size_t Hash(const std::uint8_t* p) {
    const std::uint32_t key = p[0] | p[1] << 8 | p[2] << 16;
    return (key * 2654435761u) >> (32 - kHashBits);
  }

  std::span<const std::uint8_t> text_;
  std::vector<std::size_t> heads_;
  std::vector<std::size_t> nodes_;  // per position: smaller child, greater child
};

}  // namespace

std::vector<Match> FindLongestMatches(std::span<const std::uint8_t> input) {
  std::vector<std::uint8_t> text(kMaxDistance, 0x20);
  text.insert(text.end(), input.begin(), input.end());

  BinaryTreeFinder finder(text);
  for (std::size_t pos = 0; pos < kMaxDistance; ++pos) finder.Insert(pos);

  std::vector<Match> matches(input.size());
  for (std::size_t i = 0; i < input.size(); ++i) {
    Match m = finder.Insert(kMaxDistance + i);
    if (m.length < kMinMatch) m = Match{};
    matches[i] = m;
  }
  return matches;
}

}  // namespace qvx::pack
