#include "payload/payload_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "payload/payload_check.h"
#include "payload/target_names.h"
#include "platform/sim/sim_file_system.h"
#include "platform/sim/sim_system.h"
#include "platform/win_values.h"
#include "test_payload.h"

namespace qvx {
namespace {

using testing::Bytes;
using testing::PayloadOf;
using testing::SampleFile;
using testing::StoredBody;

const std::string kFolder = "C:\\Quorvex";
const std::string kTemp = "C:\\Quorvex\\qvx.tmp";

std::string Target(std::size_t i) { return kFolder + "\\" + std::string(kTargetNames[i]); }

// Hands the expansion a temp file other than the one written, as another
// installer writing into the same folder would.
class TamperingFileSystem : public sim::SimFileSystem {
 public:
  FileHandle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                         std::uint32_t disposition, std::uint32_t flags) override {
    if (tamper && access == kGenericRead && path == kTemp) {
      Bytes bytes = *ReadBytes(path);
      tamper(bytes);
      AddFile(path, bytes);
    }
    return SimFileSystem::CreateFileA(path, access, share, disposition, flags);
  }
  std::function<void(Bytes&)> tamper;
};

class PayloadArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }

  // A fresh machine: drive C: with the target folder, and the payload.
  void Reset() {
    fsHolder = std::make_unique<TamperingFileSystem>();
    systemHolder = std::make_unique<sim::SimSystem>();
    files.clear();
    fs().AddDrive('C');
    fs().AddFolder(kFolder);
    fs().SetNow(sim::MakeFileTime(2024, 6, 1, 9));
    const std::size_t sizes[] = {3000, 90, 741, 5000, 2126, 2317};
    for (std::size_t i = 0; i < kTargetCount; ++i) files.push_back(SampleFile(sizes[i], 1 + i));
    UsePayload(PayloadOf(files));
  }

  void UsePayload(const Bytes& payload) {
    this->payload = payload;
    system().SetResource(kPayloadResourceId, payload);
  }

  // The walk as the installation run drives it: the first failure ends it,
  // and the archive is finished on every outcome.
  ExtractResult Walk(std::size_t* extracted = nullptr) {
    PayloadArchive archive(system(), fs());
    archive.Open();
    ExtractResult result = ExtractResult::Ok;
    std::size_t i = 0;
    for (; i < kTargetCount && archive.HasNextEntry(); ++i) {
      result = archive.ExtractEntry(kFolder, kTargetNames[i]);
      if (result != ExtractResult::Ok) break;
    }
    archive.Finish(kFolder);
    if (extracted) *extracted = i;
    return result;
  }

  // The bytes of entry i's stored body, as the payload holds them.
  Bytes BodyOf(std::size_t i) const { return StoredBody(files[i]); }

  std::size_t EntryOffset(std::size_t i) const {
    std::size_t offset = 0;
    for (std::size_t e = 0; e < i; ++e) offset += 4 + BodyOf(e).size();
    return offset;
  }

  void ExpectFilesBefore(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(fs().ReadBytes(Target(i)), files[i]) << i;
  }

  void ExpectNothingHeld() {
    EXPECT_EQ(fs().OpenFileHandles(), 0);
    EXPECT_EQ(system().LiveAllocations(), 0);
    EXPECT_EQ(system().BadFrees(), 0);
  }

  TamperingFileSystem& fs() { return *fsHolder; }
  sim::SimSystem& system() { return *systemHolder; }

  std::unique_ptr<TamperingFileSystem> fsHolder;
  std::unique_ptr<sim::SimSystem> systemHolder;
  std::vector<Bytes> files;
  Bytes payload;
};

TEST_F(PayloadArchiveTest, AWholeWalkInstallsEveryFileExactlyAndLeavesNoTempFile) {
  std::size_t extracted = 0;
  EXPECT_EQ(Walk(&extracted), ExtractResult::Ok);
  EXPECT_EQ(extracted, kTargetCount);
  ExpectFilesBefore(kTargetCount);
  EXPECT_FALSE(fs().Exists(kTemp));
  EXPECT_EQ(fs().List(kFolder).size(), kTargetCount);
  ExpectNothingHeld();
  ASSERT_EQ(system().AllocationFlags().size(), 1u);
  EXPECT_EQ(system().AllocationFlags()[0], kGmemZeroinit);
}

TEST_F(PayloadArchiveTest, EachEntryGoesThroughATempFileOfSignatureAndStoredBody) {
  PayloadArchive archive(system(), fs());
  archive.Open();
  EXPECT_EQ(system().LiveBytes(), 2'000'000u);
  fs().ClearCalls();
  ASSERT_EQ(archive.ExtractEntry(kFolder, kTargetNames[0]), ExtractResult::Ok);
  ASSERT_EQ(archive.ExtractEntry(kFolder, kTargetNames[1]), ExtractResult::Ok);
  ASSERT_EQ(archive.ExtractEntry(kFolder, kTargetNames[2]), ExtractResult::Ok);
  EXPECT_EQ(archive.readPosition(), EntryOffset(3));

  Bytes expected = {'S', 'Z', 'D', 'D'};
  const Bytes body = BodyOf(2);
  expected.insert(expected.end(), body.begin(), body.end());
  EXPECT_EQ(fs().ReadBytes(kTemp), expected);  // the last entry's, created anew

  // Temp: two writes (signature, body); target: one write of the whole file.
  std::vector<std::uint32_t> tempWrites, targetWrites;
  for (const auto& call : fs().Calls("WriteFile")) {
    (call.path == kTemp ? tempWrites : targetWrites).push_back(call.size);
  }
  EXPECT_EQ(tempWrites, (std::vector<std::uint32_t>{4, static_cast<std::uint32_t>(BodyOf(0).size()),
                                                    4, static_cast<std::uint32_t>(BodyOf(1).size()),
                                                    4, static_cast<std::uint32_t>(body.size())}));
  EXPECT_EQ(targetWrites, (std::vector<std::uint32_t>{3000, 90, 741}));

  for (const auto& call : fs().Calls("CreateFileA")) {
    const bool writing = call.desiredAccess == kGenericWrite;
    if (!writing) continue;  // the expansion's read and the time step's reopen
    EXPECT_EQ(call.shareMode, 0u) << call.path;
    EXPECT_EQ(call.creationDisposition, kCreateAlways) << call.path;
    EXPECT_EQ(call.flagsAndAttributes, kFileAttributeNormal) << call.path;
  }
  archive.Finish(kFolder);
  EXPECT_FALSE(fs().Exists(kTemp));
  ExpectNothingHeld();
}

TEST_F(PayloadArchiveTest, InstalledFilesCarryTheFixedLocalTimeStamp) {
  fs().SetTimeZoneBias(-120);  // local time is UTC+2
  ASSERT_EQ(Walk(), ExtractResult::Ok);
  for (std::size_t i = 0; i < kTargetCount; ++i) {
    const auto times = fs().Times(Target(i));
    ASSERT_TRUE(times);
    EXPECT_EQ(times->creation, sim::MakeFileTime(2004, 9, 10, 14)) << i;
    EXPECT_EQ(times->lastWrite, sim::MakeFileTime(2004, 9, 10, 14)) << i;
    EXPECT_EQ(times->lastAccess, sim::MakeFileTime(2024, 6, 1, 9)) << i;
  }
  // The reopen for the time step asks for read and write, sharing reads.
  const auto creates = fs().Calls("CreateFileA");
  const auto reopen = std::find_if(creates.begin(), creates.end(), [](const auto& call) {
    return call.desiredAccess == (kGenericRead | kGenericWrite);
  });
  ASSERT_NE(reopen, creates.end());
  EXPECT_EQ(reopen->shareMode, kFileShareRead);
  EXPECT_EQ(reopen->creationDisposition, kOpenExisting);
}

TEST_F(PayloadArchiveTest, AFailingTimeStepChangesNothingElse) {
  const char* steps[] = {"GetFileTime", "SystemTimeToFileTime", "LocalFileTimeToFileTime",
                         "SetFileTime"};
  for (const char* step : steps) {
    SCOPED_TRACE(step);
    fs().FailAlways(step, kErrorAccessDenied);
    EXPECT_EQ(Walk(), ExtractResult::Ok);
    ExpectFilesBefore(kTargetCount);
    EXPECT_EQ(fs().Times(Target(0))->lastWrite, sim::MakeFileTime(2024, 6, 1, 9));
    EXPECT_FALSE(fs().Exists(kTemp));
    ExpectNothingHeld();
    fs().ClearFaults();
  }
  // The reopen of the target: the second CreateFileA of each target path.
  fs().InjectFault({"CreateFileA", kErrorSharingViolation, "QVX.exe", 1});
  EXPECT_EQ(Walk(), ExtractResult::Ok);
  EXPECT_EQ(fs().Times(Target(0))->creation, sim::MakeFileTime(2024, 6, 1, 9));
  EXPECT_EQ(fs().Times(Target(1))->creation, sim::MakeFileTime(2004, 9, 10, 16));
  ExpectNothingHeld();
}

// How a failure shows on disk, beyond the result itself.
enum class Left { Nothing, Empty };

struct FaultCase {
  const char* what;
  sim::SimFault fault;
  ExtractResult result;
  bool tempBeforeFinish;  // the temp file is still there when the walk ends
  Left target;            // what is left of the failing entry's target
  bool positionAdvanced;  // the read position has moved past the entry
};

TEST_F(PayloadArchiveTest, EachFailureGivesItsKindAndLeavesWhatItShould) {
  // Every fault hits entry 2; entries 0 and 1 must be whole afterwards. Each
  // entry creates the temp file and opens it again for the expansion, writes
  // it twice and reads it twice (the second read finds its end). A temp file
  // that fails to be created leaves the previous entry's in place.
  using R = ExtractResult;
  // clang-format off
  const FaultCase cases[] = {
      {"temp create, 112",      {"CreateFileA", kErrorDiskFull, "qvx.tmp", 4},       R::TempCreateDiskFull, true,  Left::Nothing, false},
      {"temp create, 161",      {"CreateFileA", kErrorBadPathname, "qvx.tmp", 4},    R::TempCreateBadPath,  true,  Left::Nothing, false},
      {"temp create, other",    {"CreateFileA", kErrorAccessDenied, "qvx.tmp", 4},   R::TempCreateFailed,   true,  Left::Nothing, false},
      {"temp signature, 112",   {"WriteFile", kErrorDiskFull, "qvx.tmp", 4},         R::WriteDiskFull,      false, Left::Nothing, false},
      {"temp body, 39",         {"WriteFile", kErrorHandleDiskFull, "qvx.tmp", 5},   R::WriteDiskFull,      false, Left::Nothing, false},
      {"temp body, other",      {"WriteFile", kErrorAccessDenied, "qvx.tmp", 5},     R::WriteFailed,        false, Left::Nothing, false},
      {"expansion cannot read", {"ReadFile", kErrorAccessDenied, "qvx.tmp", 4},      R::ExpandFailed,       true,  Left::Nothing, true},
      {"target create, 112",    {"CreateFileA", kErrorDiskFull, "QVX.cnt"},          R::TargetCreateFailed, true,  Left::Nothing, true},
      {"target create, 161",    {"CreateFileA", kErrorBadPathname, "QVX.cnt"},       R::TargetCreateFailed, true,  Left::Nothing, true},
      {"target write, 112",     {"WriteFile", kErrorDiskFull, "QVX.cnt"},            R::WriteDiskFull,      false, Left::Empty,   true},
      {"target write, other",   {"WriteFile", 1117 /* I/O error */, "QVX.cnt"},      R::WriteFailed,        false, Left::Empty,   true},
  };
  // clang-format on
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    fs().InjectFault(c.fault);
    {
      PayloadArchive archive(system(), fs());
      archive.Open();
      for (std::size_t i = 0; i < 2; ++i) {
        ASSERT_EQ(archive.ExtractEntry(kFolder, kTargetNames[i]), ExtractResult::Ok);
      }
      ASSERT_TRUE(archive.HasNextEntry());
      EXPECT_EQ(archive.ExtractEntry(kFolder, kTargetNames[2]), c.result);
      EXPECT_EQ(fs().Exists(kTemp), c.tempBeforeFinish);
      EXPECT_EQ(archive.readPosition(), EntryOffset(c.positionAdvanced ? 3 : 2));
      EXPECT_EQ(fs().OpenFileHandles(), 0);
      archive.Finish(kFolder);
    }
    ExpectFilesBefore(2);
    EXPECT_FALSE(fs().Exists(kTemp));
    switch (c.target) {
      case Left::Nothing:
        EXPECT_FALSE(fs().Exists(Target(2)));
        break;
      case Left::Empty:
        EXPECT_EQ(fs().ReadBytes(Target(2)), Bytes{});
        break;
    }
    ExpectNothingHeld();
  }
}

TEST_F(PayloadArchiveTest, ADiskThatFillsGivesWriteDiskFullWithTheRightLeftovers) {
  // Bytes one entry costs: the temp file (4 + L) and the target.
  auto cost = [&](std::size_t i) { return 4 + BodyOf(i).size() + files[i].size(); };

  // Full while the temp file of entry 1 is written: a short body write.
  fs().FillDiskAfter('C', cost(0) + 4 + 100);
  std::size_t extracted = 0;
  EXPECT_EQ(Walk(&extracted), ExtractResult::WriteDiskFull);
  EXPECT_EQ(extracted, 1u);
  ExpectFilesBefore(1);
  EXPECT_FALSE(fs().Exists(kTemp));
  EXPECT_FALSE(fs().Exists(Target(1)));
  ExpectNothingHeld();

  // Full while the target of entry 0 is written: the partial target stays.
  Reset();
  fs().FillDiskAfter('C', 4 + BodyOf(0).size() + 1000);
  EXPECT_EQ(Walk(), ExtractResult::WriteDiskFull);
  EXPECT_FALSE(fs().Exists(kTemp));
  const Bytes partial(files[0].begin(), files[0].begin() + 1000);
  EXPECT_EQ(fs().ReadBytes(Target(0)), partial);
  ExpectNothingHeld();
}

TEST_F(PayloadArchiveTest, ASecondWalkReplacesExistingFiles) {
  ASSERT_TRUE(fs().AddFile(Target(0), std::string(9000, 'o')));
  ASSERT_TRUE(fs().AddFile(Target(4), "stale"));
  ASSERT_EQ(Walk(), ExtractResult::Ok);
  files[0] = SampleFile(100, 77);
  UsePayload(PayloadOf(files));
  ASSERT_EQ(Walk(), ExtractResult::Ok);
  ExpectFilesBefore(kTargetCount);
  EXPECT_EQ(system().TotalAllocations(), 2);  // one buffer per walk
  ExpectNothingHeld();
}

TEST_F(PayloadArchiveTest, ATargetThatCannotBeOpenedForWritingFails) {
  // Read-only.
  ASSERT_TRUE(fs().AddFile(Target(3), "old", kFileAttributeReadonly));
  std::size_t extracted = 0;
  EXPECT_EQ(Walk(&extracted), ExtractResult::TargetCreateFailed);
  EXPECT_EQ(extracted, 3u);
  ExpectFilesBefore(3);
  EXPECT_EQ(fs().ReadText(Target(3)), "old");
  EXPECT_FALSE(fs().Exists(kTemp));

  // In use by someone who shares nothing.
  ASSERT_TRUE(fs().SetAttributes(Target(3), 0));
  const FileHandle held =
      fs().CreateFileA(Target(1), kGenericRead, 0, kOpenExisting, kFileAttributeNormal);
  ASSERT_NE(held, kInvalidFileHandle);
  EXPECT_EQ(Walk(&extracted), ExtractResult::TargetCreateFailed);
  EXPECT_EQ(extracted, 1u);
  EXPECT_EQ(fs().ReadBytes(Target(0)), files[0]);
  EXPECT_EQ(fs().ReadBytes(Target(1)), files[1]);  // the earlier run's file, untouched
  fs().CloseHandle(held);
  ExpectNothingHeld();
}

TEST_F(PayloadArchiveTest, ABufferOrPayloadThatIsNotThereFailsTheFirstEntry) {
  system().FailAllocation();
  std::size_t extracted = 0;
  EXPECT_EQ(Walk(&extracted), ExtractResult::ExpandFailed);
  EXPECT_EQ(extracted, 0u);
  EXPECT_TRUE(fs().List(kFolder).empty());
  ExpectNothingHeld();

  system().RemoveResource(kPayloadResourceId);
  EXPECT_EQ(Walk(), ExtractResult::ExpandFailed);
  EXPECT_TRUE(fs().List(kFolder).empty());
  ExpectNothingHeld();
}

struct ShapeCase {
  const char* what;
  Bytes payload;
  ExtractResult result;
  std::size_t installed;  // entries written whole before the walk ended
  bool passesStartUp;     // unchecked: whole walks pass, cut-off payloads do not
};

TEST_F(PayloadArchiveTest, PayloadShapesEndTheWalkOrFailSafely) {
  const Bytes a = SampleFile(500, 9), b = SampleFile(40, 10);
  Bytes cut = PayloadOf({a, b});
  cut.resize(cut.size() - 10);  // the second body runs past the end
  Bytes unterminated = PayloadOf({a});
  unterminated.resize(unterminated.size() - 4);
  Bytes halfLength = PayloadOf({a});
  halfLength.resize(halfLength.size() - 2);
  const Bytes emptyStream = testing::PayloadOfBodies({StoredBody(a), StoredBody({}, 0)});
  const Bytes shortBody = testing::PayloadOfBodies({StoredBody(a), Bytes(9, 0x88)});
  const Bytes lyingSize = testing::PayloadOfBodies({StoredBody(a), StoredBody(b, 41)});
  const Bytes past2GiB = testing::PayloadOfBodies({StoredBody(a), StoredBody(b, 0x80000000u)});
  std::vector<Bytes> seven(7, b);
  Bytes zeroPadded = PayloadOf({a, b});
  zeroPadded.resize(zeroPadded.size() + 4, 0);

  const ShapeCase cases[] = {
      {"terminator only", Bytes(4, 0), ExtractResult::Ok, 0, true},
      {"fewer entries than names", PayloadOf({a, b}), ExtractResult::Ok, 2, true},
      {"more entries than names", PayloadOf(seven), ExtractResult::Ok, 6, true},
      {"body past the end", cut, ExtractResult::ExpandFailed, 1, false},
      {"no terminator", unterminated, ExtractResult::ExpandFailed, 1, false},
      {"length field cut", halfLength, ExtractResult::ExpandFailed, 1, false},
      {"body under ten bytes", shortBody, ExtractResult::ExpandFailed, 1, false},
      {"expands to nothing", emptyStream, ExtractResult::ExpandFailed, 1, true},
      {"header claims another size", lyingSize, ExtractResult::ExpandFailed, 1, true},
      {"a file past the signed 32-bit count: nothing written", past2GiB,
       ExtractResult::ExpandFailed, 0, true},
      {"empty resource", Bytes{}, ExtractResult::ExpandFailed, 0, false},
      {"zeros past the terminator", zeroPadded, ExtractResult::Ok, 2, true},
  };
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(PayloadIntact(c.payload), c.passesStartUp);
    Reset();
    UsePayload(c.payload);
    EXPECT_EQ(Walk(), c.result);
    std::size_t present = 0;
    for (std::size_t i = 0; i < kTargetCount; ++i) present += fs().Exists(Target(i)) ? 1 : 0;
    EXPECT_EQ(present, c.installed);
    EXPECT_FALSE(fs().Exists(kTemp));
    ExpectNothingHeld();
  }
}

// A file larger than the buffer is written a bufferful at a time; its stream
// is checked first, so a bad one fails before its target is touched, and a
// disk that fills part-way leaves the part written, as for any target.
TEST_F(PayloadArchiveTest, AFileLargerThanTheBufferIsWrittenInPiecesAfterItsStreamIsChecked) {
  // A file of the buffer's size still goes in one write.
  for (std::size_t fileSize : {2'000'000, 5'000'000}) {
    Reset();
    files[1] = SampleFile(fileSize, 5);
    UsePayload(PayloadOf(files));
    fs().ClearCalls();
    ASSERT_EQ(Walk(), ExtractResult::Ok);
    ExpectFilesBefore(kTargetCount);
    EXPECT_EQ(system().TotalAllocations(), 1);
    std::vector<std::uint32_t> pieces;
    for (const auto& call : fs().Calls("WriteFile")) {
      if (call.path == Target(1)) pieces.push_back(call.size);
    }
    EXPECT_EQ(pieces.size() == 1, fileSize <= 2'000'000) << fileSize;
    for (std::uint32_t size : pieces) EXPECT_LE(size, 2'000'000u);
    ExpectNothingHeld();
  }

  // The header claims one byte more than the stream yields: the earlier
  // installation's file stays as it was.
  Reset();
  files[1] = SampleFile(5'000'000, 5);
  ASSERT_TRUE(fs().AddFile(Target(1), "earlier"));
  UsePayload(testing::PayloadOfBodies({StoredBody(files[0]), StoredBody(files[1], 5'000'001)}));
  std::size_t extracted = 0;
  EXPECT_EQ(Walk(&extracted), ExtractResult::ExpandFailed);
  EXPECT_EQ(extracted, 1u);
  EXPECT_EQ(fs().ReadText(Target(1)), "earlier");
  ExpectNothingHeld();

  // The temp file cannot be read back once the target was begun: no success.
  Reset();
  files[0] = SampleFile(5'000'000, 5);
  UsePayload(PayloadOf(files));
  fs().InjectFault({"ReadFile", kErrorAccessDenied, "qvx.tmp", 200});
  EXPECT_EQ(Walk(), ExtractResult::ExpandFailed);
  EXPECT_LT(fs().ReadBytes(Target(0))->size(), files[0].size());
  ExpectNothingHeld();

  // Full in the second bufferful of the target.
  Reset();
  files[0] = SampleFile(5'000'000, 5);
  UsePayload(PayloadOf(files));
  fs().FillDiskAfter('C', 4 + BodyOf(0).size() + 2'500'000);
  EXPECT_EQ(Walk(), ExtractResult::WriteDiskFull);
  EXPECT_FALSE(fs().Exists(kTemp));
  EXPECT_EQ(fs().ReadBytes(Target(0)), Bytes(files[0].begin(), files[0].begin() + 2'500'000));
  ExpectNothingHeld();
}

// A temp file that does not read back as written is no success. The target
// is created only once expanded bytes are in hand, so an earlier
// installation's file stays unless a large file's first bufferful was out.
TEST_F(PayloadArchiveTest, ATempFileThatDoesNotReadBackAsWrittenFails) {
  struct Case {
    const char* what;
    std::size_t size;
    std::function<void(Bytes&)> tamper;
    sim::SimFault fault;
    bool earlierKept;
  };
  const auto cut = [](Bytes& b) { b.pop_back(); };
  const auto longer = [](Bytes& b) { b.push_back(0); };   // a flag byte of no items
  const auto changed = [](Bytes& b) { b[100] ^= 0x01; };  // a literal
  const Case cases[] = {
      {"short", 3000, cut, {}, true},
      {"long", 3000, longer, {}, true},
      {"changed", 3000, changed, {}, true},
      {"large, changed at the start", 5'000'000, changed, {}, true},
      {"large, cannot be opened again", 5'000'000, {}, {"CreateFileA", 32, "qvx.tmp", 1}, true},
      {"large, short", 5'000'000, cut, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    files[0] = SampleFile(c.size, 3);
    UsePayload(PayloadOf(files));
    ASSERT_TRUE(fs().AddFile(Target(0), "earlier"));
    fs().tamper = c.tamper;
    if (!c.fault.operation.empty()) fs().InjectFault(c.fault);
    EXPECT_EQ(Walk(), ExtractResult::ExpandFailed);
    EXPECT_EQ(fs().ReadText(Target(0)) == "earlier", c.earlierKept);
    EXPECT_FALSE(fs().Exists(kTemp));
    ExpectNothingHeld();
  }
}

TEST_F(PayloadArchiveTest, AnArchiveDroppedWithoutFinishStillFreesItsBuffer) {
  {
    PayloadArchive archive(system(), fs());
    archive.Open();
    EXPECT_EQ(system().LiveAllocations(), 1);
    archive.Open();  // a second Open does not leak the first buffer
    EXPECT_EQ(system().LiveAllocations(), 1);
  }
  EXPECT_EQ(system().LiveAllocations(), 0);
}

}  // namespace
}  // namespace qvx
