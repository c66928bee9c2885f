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

}  // namespace

// Text positions are those of the 4096 spaces followed by the input; the
// caller holds the text from 4096 bytes before a position to 18 after it.
class BinaryTreeFinder {
 public:
  BinaryTreeFinder() : heads_(std::size_t{1} << kHashBits, kNil), nodes_(2 * (kNodeMask + 1), kNil) {}

  // Inserts position cur, whose text lies at window + (cur - base) and has
  // `left` bytes from cur to its end, and returns the longest match that
  // ends before it.
  Match Insert(std::size_t cur, const std::uint8_t* window, std::size_t base, std::size_t left) {
    const std::size_t limit = std::min(kMaxMatch, left);
    Match best;
    if (limit < kMinMatch) return best;  // too close to the end to matter
    const std::uint8_t* const here = window + (cur - base);
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
      const std::uint8_t* const there = window + (candidate - base);
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

  std::vector<std::size_t> heads_;
  std::vector<std::size_t> nodes_;  // per position: smaller child, greater child
};

StreamMatchFinder::StreamMatchFinder(ByteReader& input, std::uint64_t inputSize,
                                     std::size_t piece)
    : input_(input),
      textSize_(kMaxDistance + inputSize),
      unread_(inputSize),
      next_(0),
      buffer_(kMaxDistance + kMaxMatch + std::max<std::size_t>(piece, kMaxDistance)),
      tree_(std::make_unique<BinaryTreeFinder>()) {
  std::fill_n(buffer_.begin(), kMaxDistance, 0x20);
  filled_ = kMaxDistance;
}

StreamMatchFinder::~StreamMatchFinder() = default;

// Makes sure the buffer holds the text up to `end` (or to its end), and still
// the 4096 bytes before the next position. False when the input fails or
// ends early.
bool StreamMatchFinder::Have(std::uint64_t end) {
  end = std::min(end, textSize_);
  if (end <= base_ + filled_) return true;
  const std::uint64_t keep = next_ > kMaxDistance ? next_ - kMaxDistance : 0;
  const std::size_t drop = static_cast<std::size_t>(keep - base_);
  std::copy(buffer_.begin() + drop, buffer_.begin() + filled_, buffer_.begin());
  filled_ -= drop;
  base_ = keep;
  while (base_ + filled_ < end) {
    const std::size_t room = static_cast<std::size_t>(
        std::min<std::uint64_t>(buffer_.size() - filled_, unread_));
    std::size_t got = 0;
    if (!input_.Read(buffer_.data() + filled_, room, &got)) {
      error_ = input_.error();
      return false;
    }
    if (got == 0) {
      error_ = "changed while being read";
      return false;
    }
    filled_ += got;
    unread_ -= got;
  }
  return true;
}

Match StreamMatchFinder::Insert(std::uint64_t pos) {
  return tree_->Insert(static_cast<std::size_t>(pos), buffer_.data(), static_cast<std::size_t>(base_),
                       static_cast<std::size_t>(textSize_ - pos));
}

bool StreamMatchFinder::Next(Match* match) {
  if (!error_.empty()) return false;
  // The spaces go into the trees first: a match may reach back into them.
  for (; next_ < kMaxDistance; ++next_) {
    if (!Have(next_ + kMaxMatch)) return false;
    Insert(next_);
  }
  if (!Have(next_ + kMaxMatch)) return false;
  Match m = Insert(next_++);
  if (m.length < kMinMatch) m = Match{};
  *match = m;
  return true;
}

std::vector<Match> FindLongestMatches(std::span<const std::uint8_t> input) {
  MemoryReader reader(input);
  StreamMatchFinder finder(reader, input.size());
  std::vector<Match> matches(input.size());
  for (Match& m : matches) finder.Next(&m);
  return matches;
}

}  // namespace qvx::pack
