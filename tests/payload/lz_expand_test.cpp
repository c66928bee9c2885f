#include "payload/lz_expand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/payload/reference_expand.h"

namespace qvx {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Expands into a buffer of exactly capacity bytes, so that the sanitizers
// see any write past it.
Bytes Expand(const Bytes& stream, std::size_t capacity) {
  Bytes buffer(capacity);
  const std::size_t count = LzExpand(stream, buffer.data(), capacity);
  EXPECT_LE(count, capacity);
  buffer.resize(count);
  return buffer;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes FileOf(std::uint32_t expandedSize, const Bytes& stream) {
  Bytes file(kLzSignature.begin(), kLzSignature.end());
  file.push_back(kLzModeA);
  file.push_back(0);
  for (int shift = 0; shift < 32; shift += 8) file.push_back(std::uint8_t(expandedSize >> shift));
  file.insert(file.end(), stream.begin(), stream.end());
  return file;
}

// Sixteen literals A..P fill window positions 4080..4095; the write position
// is then 0.
Bytes SixteenLiterals() {
  Bytes s = {0xFF, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'};
  const Bytes more = {0xFF, 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P'};
  s.insert(s.end(), more.begin(), more.end());
  return s;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Sixteen literals A..P, then references 16 back of 18 bytes each (the last
// one shorter) up to total bytes: A..P over and over. A group of eight such
// references writes the most the fast path ever writes past its start.
Bytes RepeatingStream(std::size_t total) {
  Bytes s = SixteenLiterals();
  for (std::size_t count = 16; count < total;) {
    if ((count - 16) % (8 * 18) == 0) s.push_back(0x00);
    const std::size_t length = std::min<std::size_t>(18, total - count);
    const std::size_t position = (4080 + count - 16) & 4095;
    s.push_back(static_cast<std::uint8_t>(position));
    s.push_back(static_cast<std::uint8_t>((position >> 4 & 0xF0) | (length - 3)));
    count += length;
  }
  return s;
}

Bytes Repeating(std::size_t total) {
  Bytes b(total);
  for (std::size_t i = 0; i < total; ++i) b[i] = static_cast<std::uint8_t>('A' + i % 16);
  return b;
}

TEST(LzExpand, WorkedExampleFromTheStartOfAProgram) {
  const Bytes stream = {0xFF, 0x4D, 0x5A, 0x90, 0x00, 0x03, 0x00, 0x00, 0x00, 0x7D,
                        0x04, 0xF5, 0xF0, 0xFF, 0xFF, 0x00, 0x00, 0xB8, 0xF5, 0xF0};
  const Bytes expected = {0x4D, 0x5A, 0x90, 0x00, 0x03, 0x00, 0x00, 0x00, 0x04, 0x00,
                          0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xB8, 0x00, 0x00, 0x00};
  EXPECT_EQ(Expand(stream, 2000000), expected);
}

struct EdgeCase {
  const char* name;
  Bytes stream;
  std::size_t capacity;
  Bytes expected;
};

void PrintTo(const EdgeCase& c, std::ostream* os) { *os << c.name; }

class LzExpandEdge : public testing::TestWithParam<EdgeCase> {};

TEST_P(LzExpandEdge, YieldsExactlyTheExpectedBytes) {
  const EdgeCase& c = GetParam();
  EXPECT_EQ(Expand(c.stream, c.capacity), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LzExpandEdge,
    testing::Values(
        // Literal 'A' at 4080, then a reference to 4080 (one behind the write
        // position) of length 18: the byte repeats.
        EdgeCase{"OverlapAtDistanceOneLength18", {0x01, 'A', 0xF0, 0xFF}, 100, Bytes(19, 'A')},
        // Distance two repeats a pair.
        EdgeCase{"OverlapAtDistanceTwo", {0x03, 'a', 'b', 0xF0, 0xF3}, 100, Text("abababab")},
        // From 4094 for 4: 4094, 4095, then 0 and 1, which the copy itself
        // has just written.
        EdgeCase{"SourcePassesTheEndOfTheWindow", Concat(SixteenLiterals(), {0x00, 0xFE, 0xF1}),
                 100, Text("ABCDEFGHIJKLMNOPOPOP")},
        EdgeCase{"NeverWrittenPositionsAreSpaces", {0x00, 0x00, 0x00}, 100, Text("   ")},
        // Position 4080 before anything is written is the oldest byte: a space.
        EdgeCase{"PositionUnderTheWritePositionAtStart", {0x00, 0xF0, 0xF0}, 100, Text("   ")},
        EdgeCase{"Length17", {0x00, 0x10, 0x0E}, 100, Bytes(17, ' ')},
        EdgeCase{"Length18", {0x00, 0x10, 0x0F}, 100, Bytes(18, ' ')},
        EdgeCase{"EndsRightAfterAFlagByte",
                 {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0xFF},
                 100,
                 Text("abcdefgh")},
        EdgeCase{"EndsInsideAGroup", {0xFF, 'a', 'b', 'c'}, 100, Text("abc")},
        // The flag's remaining bits are 0 but describe nothing.
        EdgeCase{"UnusedFlagBitsAreNotReferences", {0x01, 'x'}, 100, Text("x")},
        EdgeCase{"HalfAReferenceAtTheEnd", {0x01, 'x', 0x10}, 100, Text("x")},
        EdgeCase{"EmptyStream", {}, 100, {}},
        EdgeCase{"LiteralsOnly",
                 {0xFF, '0', '1', '2', '3', '4', '5', '6', '7', 0x07, '8', '9', 'A'},
                 100,
                 Text("0123456789A")},
        EdgeCase{"CapacityStopsLiterals",
                 {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'},
                 5,
                 Text("abcde")},
        EdgeCase{"CapacityStopsInsideAReference", {0x01, 'A', 0xF0, 0xFF}, 7, Bytes(7, 'A')},
        EdgeCase{"CapacityZero", {0xFF, 'a'}, 0, {}},
        // Buffers that end where the references do: the group of references
        // has exactly the fast path's room, or a few bytes less.
        EdgeCase{"FastPathRoomUpToTheLastByte", RepeatingStream(166), 166, Repeating(166)},
        EdgeCase{"JustUnderTheFastPathRoom", RepeatingStream(160), 160, Repeating(160)}),
    [](const testing::TestParamInfo<EdgeCase>& info) { return std::string(info.param.name); });

// Random streams are mostly references to random positions, so they cover
// overlaps, wrap-around, the initial spaces and every capacity boundary. The
// fast expander must agree with the plain one byte for byte.
TEST(LzExpand, AgreesWithThePlainExpansionOnRandomStreams) {
  std::mt19937 rng(20040910);
  for (int round = 0; round < 3000; ++round) {
    Bytes stream(rng() % 2500);
    const int literalBias = static_cast<int>(rng() % 4);  // 0: any flags; more: more literals
    for (std::uint8_t& b : stream) b = static_cast<std::uint8_t>(rng());
    for (std::size_t i = 0; i < stream.size(); i += 9) {
      for (int k = 0; k < literalBias; ++k) stream[i] |= static_cast<std::uint8_t>(rng());
    }
    const std::size_t capacity = round % 3 == 0 ? rng() % 3000 : 100000;
    const Bytes expected = test::ReferenceExpand(stream, capacity);
    ASSERT_EQ(Expand(stream, capacity), expected) << "round " << round;
    ASSERT_LE(expected.size(), LzMaxExpandedSize(stream.size())) << "round " << round;
    if (capacity == 100000) {
      ASSERT_EQ(LzExpandedCount(stream), expected.size()) << "round " << round;
    }
  }
}

// The most a stream of n bytes can yield: whole groups of eight 18-byte
// references, then a last group cut after as many references as fit and a
// literal in an odd byte left over. The bound is reached, and no stream of
// its length yields more (the random streams above).
TEST(LzMaxExpandedSize, IsWhatTheRichestStreamOfEachLengthYields) {
  for (std::size_t n = 0; n <= 60; ++n) {
    Bytes stream;
    while (stream.size() < n) {
      const std::size_t itemBytes = std::min<std::size_t>(16, n - stream.size() - 1);
      const std::size_t references = itemBytes / 2;
      stream.push_back(itemBytes % 2 ? static_cast<std::uint8_t>(1u << references) : 0x00);
      for (std::size_t k = 0; k < references; ++k) stream.insert(stream.end(), {0x00, 0x0F});
      if (itemBytes % 2) stream.push_back('x');
    }
    ASSERT_EQ(stream.size(), n);
    EXPECT_EQ(Expand(stream, 100000).size(), LzMaxExpandedSize(n)) << n << " stream bytes";
  }
  EXPECT_EQ(LzMaxExpandedSize(17), 144u);
  EXPECT_EQ(LzMaxExpandedSize(0xFFFFFFFFu), 0xFFFFFFFFull / 17 * 144);
}

TEST(LzExpand, PiecesSplitAnywhereGiveTheSameBytes) {
  std::mt19937 rng(7);
  Bytes stream(4000);
  for (std::uint8_t& b : stream) b = static_cast<std::uint8_t>(rng());
  const Bytes whole = test::ReferenceExpand(stream, 1 << 20);
  for (std::size_t piece : {1, 2, 3, 7, 16, 17, 18, 100, 999}) {
    Bytes out(1 << 20);
    LzExpander expander(out.data(), out.size());
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      expander.Feed(std::span(stream).subspan(at, std::min(piece, stream.size() - at)));
    }
    expander.Finish();
    out.resize(expander.count());
    EXPECT_EQ(out, whole) << "pieces of " << piece;
  }
}

TEST(LzExpandFile, SoundFileYieldsItsExpandedSize) {
  const Bytes file = FileOf(3, {0x07, 'a', 'b', 'c'});
  Bytes out(10);
  EXPECT_EQ(LzExpandFile(file, out.data(), out.size()), 3u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), Text("abc"));
}

TEST(LzExpandFile, UnsoundFilesFail) {
  const Bytes stream = {0x07, 'a', 'b', 'c'};
  struct Case {
    const char* name;
    Bytes file;
    std::size_t capacity;
  };
  std::vector<Case> cases = {
      {"header alone", FileOf(0, {}), 10},
      {"header alone claiming bytes", FileOf(3, {}), 10},
      {"shorter than a header", Bytes(kLzSignature.begin(), kLzSignature.end()), 10},
      {"empty", {}, 10},
      {"stream shorter than the header says (truncated)", FileOf(4, stream), 10},
      {"stream longer than the header says", FileOf(2, stream), 10},
      {"expanded size above the capacity", FileOf(3, stream), 2},
  };
  Bytes modeB = FileOf(3, stream);
  modeB[8] = 'B';
  cases.push_back({"mode B", modeB, 10});
  for (std::size_t i = 0; i < kLzSignature.size(); ++i) {
    Bytes bad = FileOf(3, stream);
    bad[i] ^= 0x01;
    cases.push_back({"signature byte changed", bad, 10});
  }
  for (const Case& c : cases) {
    Bytes out(c.capacity);
    EXPECT_EQ(LzExpandFile(c.file, out.data(), out.size()), 0u) << c.name;
  }
}

// A file larger than the buffer goes out through a sink. The stream's
// references reach back across every hand-over, so a window that moved wrong
// shows in the bytes; a header that claims more or less must fail without
// the sink ever seeing more bytes than it claims.
TEST(LzExpandFile, ThroughASinkAFileOfAnySizeYieldsTheSameBytes) {
  struct Collect final : ExpandedSink {
    bool Put(const std::uint8_t* bytes, std::size_t size) override {
      sizes.push_back(size);
      if (sizes.size() == refuseAt) return false;
      got.insert(got.end(), bytes, bytes + size);
      return true;
    }
    Bytes got;
    std::vector<std::size_t> sizes;
    std::size_t refuseAt = 0;
  };
  std::mt19937 rng(2004);
  Bytes stream(300000);
  for (std::uint8_t& b : stream) b = static_cast<std::uint8_t>(rng());
  const Bytes expected = test::ReferenceExpand(stream, 1 << 24);
  ASSERT_GT(expected.size(), 4 * kLzSinkCapacity);

  for (const std::size_t capacity : {kLzSinkCapacity, kLzSinkCapacity + 4095, std::size_t{2000000}}) {
    const std::ptrdiff_t half = -static_cast<std::ptrdiff_t>(expected.size() / 2);
    for (const std::ptrdiff_t claim : {std::ptrdiff_t{0}, std::ptrdiff_t{-1}, std::ptrdiff_t{1}, half}) {
      SCOPED_TRACE(testing::Message() << "capacity " << capacity << ", claim " << claim);
      const std::size_t claimed = expected.size() + static_cast<std::size_t>(claim);
      const Bytes file = FileOf(static_cast<std::uint32_t>(claimed), stream);
      Collect sink;
      Bytes out(capacity);
      LzFileExpander expander(out.data(), capacity, &sink);
      for (std::size_t at = 0; at < file.size(); at += 7001) {
        expander.Feed(std::span(file).subspan(at, std::min<std::size_t>(7001, file.size() - at)));
      }
      const std::size_t count = expander.Finish();
      EXPECT_LE(sink.got.size(), claimed);
      if (claim != 0) {
        EXPECT_EQ(count, 0u);
        continue;
      }
      EXPECT_EQ(count, expected.size());
      EXPECT_TRUE(sink.got == expected);
      EXPECT_GE(sink.sizes.size(), capacity == 2000000 ? 1u : 4u);
      for (std::size_t size : sink.sizes) EXPECT_LE(size, capacity);
    }
  }
  // A piece the sink refuses ends the expansion as a failure.
  Collect refusing;
  refusing.refuseAt = 2;
  Bytes out(kLzSinkCapacity);
  LzFileExpander expander(out.data(), out.size(), &refusing);
  expander.Feed(FileOf(static_cast<std::uint32_t>(expected.size()), stream));
  EXPECT_EQ(expander.Finish(), 0u);
  EXPECT_EQ(refusing.sizes.size(), 2u);

  // Spaces from groups of eight 18-byte references, the most a stream yields
  // per byte, several MB in odd-sized pieces through the smallest buffer: the
  // room made before a step must also hold what the group cut at the end of
  // the piece before yields.
  Bytes spaces;
  while (spaces.size() < 17 * 30000) {
    spaces.push_back(0x00);
    for (int k = 0; k < 8; ++k) spaces.insert(spaces.end(), {0x00, 0x0F});
  }
  const Bytes file = FileOf(30000 * 144, spaces);
  for (const std::size_t piece : {3, 19, 1027}) {
    Collect sink;
    LzFileExpander through(out.data(), out.size(), &sink);
    for (std::size_t at = 0; at < file.size(); at += piece) {
      through.Feed(std::span(file).subspan(at, std::min(piece, file.size() - at)));
    }
    EXPECT_EQ(through.Finish(), 30000u * 144) << "pieces of " << piece;
    EXPECT_TRUE(sink.got == Bytes(30000 * 144, ' ')) << "pieces of " << piece;
  }
}

TEST(LzExpandFile, HeaderSplitAcrossPiecesIsRead) {
  const Bytes file = FileOf(3, {0x07, 'x', 'y', 'z'});
  Bytes out(3);
  LzFileExpander expander(out.data(), out.size());
  for (std::uint8_t byte : file) expander.Feed(std::span(&byte, 1));
  EXPECT_EQ(expander.Finish(), 3u);
  EXPECT_EQ(out, Text("xyz"));
}

}  // namespace
}  // namespace qvx
