#include "payload/payload_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "payload/payload_check.h"
#include "payload/target_names.h"
#include "tools/qvxpack/payload_builder.h"

namespace qvx {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FileOfSize(std::size_t size, std::uint8_t seed) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7 / 3);
  return b;
}

Bytes Payload(const std::vector<Bytes>& files) {
  Bytes payload;
  std::string error;
  EXPECT_TRUE(pack::BuildPayload(files, &payload, &error)) << error;
  return payload;
}

void PutLength(Bytes* b, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) b->push_back(std::uint8_t(value >> shift));
}

// A stored body of L bytes: the header's ten bytes, then filler.
Bytes Body(std::uint32_t length, std::uint32_t expandedSize) {
  Bytes body = {0x88, 0xF0, 0x27, 0x33, 0x41, 0x00};
  for (int shift = 0; shift < 32; shift += 8) body.push_back(std::uint8_t(expandedSize >> shift));
  body.resize(length, 0xFF);
  return body;
}

struct Visit {
  std::size_t index;
  EntryKind kind;
  std::size_t offset;
};

std::vector<Visit> Walk(const Bytes& payload) {
  std::vector<Visit> visits;
  for (PayloadWalk walk(payload); walk.HasNextEntry(); walk.Advance()) {
    const PayloadEntry& e = walk.Entry();
    if (e.kind == EntryKind::Entry) {
      // The body lies inside the payload, right after its length field.
      EXPECT_EQ(e.body.data(), payload.data() + e.offset + kEntryLengthSize);
      EXPECT_EQ(e.body.size(), e.length);
    } else {
      EXPECT_TRUE(e.body.empty());
    }
    visits.push_back({walk.Index(), e.kind, e.offset});
  }
  return visits;
}

TEST(PayloadWalk, VisitsEveryEntryAtItsOffsetWithUnalignedLengths) {
  std::vector<Bytes> files;
  for (std::size_t size : {1363u, 90u, 741u, 1228u, 2126u, 2317u}) {
    files.push_back(FileOfSize(size, static_cast<std::uint8_t>(size)));
  }
  const Bytes payload = Payload(files);
  std::size_t expectedOffset = 0;
  bool sawUnaligned = false;
  PayloadWalk walk(payload);
  for (std::size_t i = 0; i < files.size(); ++i, walk.Advance()) {
    ASSERT_TRUE(walk.HasNextEntry());
    const PayloadEntry& e = walk.Entry();
    EXPECT_EQ(walk.Index(), i);
    EXPECT_EQ(e.kind, EntryKind::Entry);
    EXPECT_EQ(e.offset, expectedOffset);
    EXPECT_EQ(e.expandedSize(), files[i].size());
    sawUnaligned |= e.offset % 4 != 0;
    Bytes expanded;
    ASSERT_TRUE(pack::ExpandEntry(e, &expanded));
    EXPECT_EQ(expanded, files[i]) << kTargetNames[i];
    expectedOffset = e.next();
  }
  EXPECT_FALSE(walk.HasNextEntry());
  EXPECT_TRUE(sawUnaligned) << "the test wants a length field off a 4-byte boundary";
  EXPECT_EQ(expectedOffset + kEntryLengthSize + kCheckTrailerSize, payload.size())
      << "only the check value follows the terminator";
}

TEST(PayloadWalk, EndsNormallyAtTheTerminatorOrAfterTheSixthName) {
  struct Case {
    const char* name;
    std::size_t entries;
    std::size_t visited;
    Bytes file = {'a', 'b', 'c'};
  };
  for (const Case& c : {Case{"terminator first", 0, 0}, Case{"fewer entries than names", 3, 3},
                        Case{"six", 6, 6}, Case{"more entries than names", 8, 6},
                        Case{"empty files: bodies of just the ten header bytes", 2, 2, {}}}) {
    std::vector<Bytes> files(c.entries, c.file);
    const std::vector<Visit> visits = Walk(Payload(files));
    ASSERT_EQ(visits.size(), c.visited) << c.name;
    for (const Visit& v : visits) EXPECT_EQ(v.kind, EntryKind::Entry) << c.name;
  }
}

TEST(PayloadWalk, NeverReadsTheLengthAfterTheSixthEntry) {
  Bytes payload = Payload(std::vector<Bytes>(6, Bytes{'x'}));
  payload.resize(payload.size() - 4 - kCheckTrailerSize);
  PutLength(&payload, 0xFFFFFFF0u);  // would run far past the end
  const std::vector<Visit> visits = Walk(payload);
  ASSERT_EQ(visits.size(), 6u);
  EXPECT_EQ(visits.back().kind, EntryKind::Entry);
}

// An entry the payload cannot hold is handed out as broken (so that it fails
// as an entry), and the walk ends after it. Nothing is read outside.
TEST(PayloadWalk, EntriesRunningPastTheEndAreBroken) {
  const Bytes good = Payload({Bytes{'g', 'o', 'o', 'd'}});
  const Bytes goodEntry(good.begin(), good.end() - 4 - kCheckTrailerSize);  // entry only
  struct Case {
    const char* name;
    Bytes tail;  // after one sound entry
  };
  std::vector<Case> cases;
  {
    Bytes t;
    PutLength(&t, 50);
    const Bytes body = Body(50, 3);
    t.insert(t.end(), body.begin(), body.begin() + 49);
    cases.push_back({"body one byte short", t});
  }
  {
    Bytes t;
    PutLength(&t, 0xFFFFFFFFu);
    t.resize(40, 0);
    cases.push_back({"length near 4 GiB", t});
  }
  for (std::uint32_t shortLength : {1u, 9u}) {
    Bytes t;
    PutLength(&t, shortLength);
    const Bytes body = Body(10, 3);
    t.insert(t.end(), body.begin(), body.begin() + shortLength);
    PutLength(&t, 0);
    cases.push_back({"body shorter than its header", t});
  }
  cases.push_back({"no terminator", {}});
  cases.push_back({"cut inside the terminator", {0x00, 0x00}});
  for (const Case& c : cases) {
    Bytes payload = goodEntry;
    payload.insert(payload.end(), c.tail.begin(), c.tail.end());
    const std::vector<Visit> visits = Walk(payload);
    ASSERT_EQ(visits.size(), 2u) << c.name;
    EXPECT_EQ(visits[0].kind, EntryKind::Entry) << c.name;
    EXPECT_EQ(visits[1].kind, EntryKind::Broken) << c.name;
    EXPECT_EQ(visits[1].offset, goodEntry.size()) << c.name;
  }
}

TEST(PayloadWalk, EmptyPayloadIsBrokenNotFinished) {
  const std::vector<Visit> visits = Walk({});
  ASSERT_EQ(visits.size(), 1u);
  EXPECT_EQ(visits[0].kind, EntryKind::Broken);
}

TEST(Crc32, IsTheCommonCrcOverPiecesOfAnySize) {
  const Bytes digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  for (std::size_t split = 0; split <= digits.size(); ++split) {
    Crc32 crc;
    crc.Update(std::span(digits).first(split));
    crc.Update(std::span(digits).subspan(split));
    EXPECT_EQ(crc.Value(), 0xCBF43926u) << split;
  }
}

// Every one-bit change of a small payload is refused, its trailer included,
// and so is every cut but the one that leaves it whole, without its trailer.
TEST(PayloadCheck, EveryFlippedBitAndEveryCutIsRefused) {
  const Bytes payload = Payload({FileOfSize(1363, 1), FileOfSize(741, 2), FileOfSize(2126, 3)});
  ASSERT_TRUE(PayloadIntact(payload));
  for (std::size_t bit = 0; bit < payload.size() * 8; ++bit) {
    Bytes damaged = payload;
    damaged[bit / 8] ^= static_cast<std::uint8_t>(1u << bit % 8);
    ASSERT_FALSE(PayloadIntact(damaged)) << "byte " << bit / 8 << " bit " << bit % 8;
  }
  for (std::size_t size = 0; size < payload.size(); ++size) {
    ASSERT_EQ(PayloadIntact(std::span(payload).first(size)),
              size == payload.size() - kCheckTrailerSize)
        << size;
  }
  // Zeros from any entry's length field on, as a download cut short into a
  // file allocated in advance leaves them, are no padding.
  for (PayloadWalk walk(payload); walk.HasNextEntry(); walk.Advance()) {
    Bytes zeroed = payload;
    std::fill(zeroed.begin() + static_cast<std::ptrdiff_t>(walk.Entry().offset), zeroed.end(), 0);
    EXPECT_FALSE(PayloadIntact(zeroed)) << walk.Index();
  }
  // Without a check value, up to seven zero bytes of padding are taken; eight
  // may be a wiped check value, here over a flipped bit of entry 0's data.
  Bytes unchecked(payload.begin(), payload.end() - kCheckTrailerSize);
  for (std::size_t padding = 1; padding <= kMaxPadding; ++padding) {
    unchecked.push_back(0);
    EXPECT_TRUE(PayloadIntact(unchecked)) << padding;
  }
  unchecked.push_back(0);
  unchecked[40] ^= 0x04;
  EXPECT_FALSE(PayloadIntact(unchecked));
}

// Only a claim the installer's signed count cannot carry leaves no buffer,
// so that nothing of such a product is installed. A broken entry's header is
// not trusted, nor is an entry never installed.
TEST(EntriesWithinExpandableSize, OnlyWhileNoInstalledFileIsPastTheSignedCount) {
  auto payloadOf = [](std::vector<std::uint32_t> sizes, bool brokenLast) {
    Bytes p;
    for (std::uint32_t size : sizes) {
      PutLength(&p, 27);
      const Bytes body = Body(27, size);
      p.insert(p.end(), body.begin(), body.end());
    }
    if (brokenLast) {
      PutLength(&p, 12);
      const Bytes body = Body(12, 0x80000000u);
      p.insert(p.end(), body.begin(), body.begin() + 11);  // cut short
    } else {
      PutLength(&p, 0);
    }
    return p;
  };
  EXPECT_EQ(EntriesWithinExpandableSize(payloadOf({}, false)), true);
  EXPECT_EQ(EntriesWithinExpandableSize(payloadOf({1363968, 741, 0x7FFFFFFFu}, false)), true);
  EXPECT_EQ(EntriesWithinExpandableSize(payloadOf({741, 0x80000000u}, false)), false);
  EXPECT_EQ(EntriesWithinExpandableSize(payloadOf({0xFFFFFFFFu}, false)), false);
  EXPECT_EQ(EntriesWithinExpandableSize(payloadOf({741}, true)), true);
  EXPECT_EQ(EntriesWithinExpandableSize(payloadOf({1, 2, 3, 4, 5, 6, 0x80000000u}, false)), true);
}

// An entry is sound when its stream yields exactly what its header claims:
// any byte of the header or the end of the stream changed is found without
// expanding.
TEST(PayloadEntry, IsSoundOnlyWhenItsStreamYieldsItsClaim) {
  const Bytes payload = Payload({FileOfSize(100000, 3)});
  const Bytes body(payload.begin() + 4, payload.end() - 4 - kCheckTrailerSize);
  auto sound = [](const Bytes& b) {
    PayloadEntry entry;
    entry.kind = EntryKind::Entry;
    entry.body = b;
    return entry.Sound();
  };
  EXPECT_TRUE(sound(body));
  for (std::size_t i = 0; i < kStoredHeaderSize; ++i) {
    if (i == 5) continue;  // the missing file-name character is not read
    Bytes changed = body;
    changed[i] ^= 0x01;
    EXPECT_FALSE(sound(changed)) << "header byte " << i;
  }
  for (std::size_t cut : {1, 2, 17}) {
    EXPECT_FALSE(sound(Bytes(body.begin(), body.end() - static_cast<std::ptrdiff_t>(cut)))) << cut;
  }
}

// A file rewritten while it is read: `later` from the second pass on.
struct ChangingReader : pack::MemoryReader {
  ChangingReader(const Bytes& first, const Bytes& later) : MemoryReader(first), later(later) {}
  bool Rewind() override {
    if (++passes == 2) static_cast<pack::MemoryReader&>(*this) = pack::MemoryReader(later);
    return MemoryReader::Rewind();
  }
  const Bytes& later;
  int passes = 0;
};

TEST(WritePayload, FailsWhenAFileOrItsScratchReadsBackChanged) {
  const Bytes file = FileOfSize(5000, 1);
  Bytes changed = file, longer = file, shorter = file;
  changed[4000] ^= 0x01;
  longer.push_back('x');
  shorter.pop_back();
  // Rewritten between the passes, grown before the first ends, grown or cut
  // between them.
  const std::pair<Bytes, Bytes> cases[] = {
      {file, changed}, {longer, longer}, {file, longer}, {file, shorter}};
  for (const auto& [first, later] : cases) {
    pack::MemoryReader steady(file);
    ChangingReader changing(first, later);
    const pack::PayloadSource sources[] = {{&steady, file.size()}, {&changing, 5000, "in1"}};
    pack::MemoryScratch scratch;
    Bytes payload;
    pack::VectorWriter out(&payload);
    std::string error;
    EXPECT_FALSE(pack::WritePayload(sources, scratch, out, &error)) << later.size();
    EXPECT_EQ(error, "in1 (given as QVX.hlp) changed while it was read; build again");
  }
  // The encoder's notes of where matches lie read back changed: the stream
  // written from them is not the file's.
  struct FlippingScratch : pack::MemoryScratch {
    bool Read(std::uint8_t* data, std::size_t size, std::size_t* got) override {
      if (!MemoryScratch::Read(data, size, got)) return false;
      for (std::size_t i = 0; i < *got; ++i) data[i] ^= 0x01;
      return true;
    }
  } flipping;
  pack::MemoryReader steady(file);
  const pack::PayloadSource source[] = {{&steady, file.size()}};
  Bytes payload;
  pack::VectorWriter out(&payload);
  std::string error;
  EXPECT_FALSE(pack::WritePayload(source, flipping, out, &error));
  EXPECT_EQ(error, "QVX.exe: its compressed bytes do not expand back to the bytes read "
                   "(a fault in qvxpack, or its scratch file read back wrong)");
}

}  // namespace
}  // namespace qvx
