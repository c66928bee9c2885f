#include "payload/expand_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/sim/sim_file_system.h"
#include "platform/win_values.h"
#include "tests/payload/corpus.h"
#include "tools/qvxpack/lz_compress.h"

namespace qvx {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kPath = "C:\\Target\\qvx.tmp";

class ExpandFileTest : public testing::Test {
 protected:
  ExpandFileTest() { files_.AddDrive('C'); }

  std::int32_t Run(std::uint32_t capacity) {
    buffer_.assign(capacity, 0);
    return ExpandFile(files_, kPath, buffer_.data(), capacity);
  }

  sim::SimFileSystem files_;
  Bytes buffer_;
};

TEST_F(ExpandFileTest, ExpandsAFileReadInManyPieces) {
  // Larger than one read, so groups are cut between reads.
  const Bytes original = test::RandomBytes(100000, 9).bytes;
  ASSERT_TRUE(files_.AddFile(kPath, pack::LzCompressFile(original)));
  ASSERT_EQ(Run(2000000), 100000);
  EXPECT_EQ(Bytes(buffer_.begin(), buffer_.begin() + 100000), original);

  const std::vector<sim::SimFileCall> opens = files_.Calls("CreateFileA");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].desiredAccess, kGenericRead);
  EXPECT_EQ(opens[0].shareMode, kFileShareRead);
  EXPECT_EQ(opens[0].creationDisposition, kOpenExisting);
  EXPECT_EQ(opens[0].flagsAndAttributes, kFileAttributeNormal);
  EXPECT_GT(files_.Calls("ReadFile").size(), 2u);
  EXPECT_EQ(files_.OpenFileHandles(), 0);
}

TEST(ExpandFile, FailuresGiveZeroAndCloseTheFile) {
  const Bytes good = pack::LzCompressFile(test::RandomBytes(60000, 1).bytes);
  const Bytes small = pack::LzCompressFile(test::RandomBytes(3000, 2).bytes);  // one read
  Bytes truncated(good.begin(), good.end() - 1);
  Bytes badMode = good;
  badMode[8] = 'B';
  struct Case {
    const char* name;
    Bytes file;
    const char* failing;  // operation to fail, or null
    std::uint32_t capacity;
    int skip = 0;  // calls of it let through first
  };
  const Case cases[] = {
      {"missing file", {}, nullptr, 2000000},
      {"open fails", good, "CreateFileA", 2000000},
      {"first read fails", good, "ReadFile", 2000000},
      {"a later read fails: no partial success", good, "ReadFile", 2000000, 2},
      // All bytes are in, but the read that would have found the end fails.
      {"the read after the last byte fails", small, "ReadFile", 2000000, 1},
      {"truncated data", truncated, nullptr, 2000000},
      {"mode B", badMode, nullptr, 2000000},
      {"header alone", Bytes(good.begin(), good.begin() + 14), nullptr, 2000000},
      {"larger than the buffer", good, nullptr, 59999},
  };
  for (const Case& c : cases) {
    sim::SimFileSystem files;
    files.AddDrive('C');
    if (!c.file.empty()) {
      ASSERT_TRUE(files.AddFile(kPath, c.file));
    }
    if (c.failing != nullptr) files.InjectFault({c.failing, kErrorAccessDenied, {}, c.skip});
    Bytes buffer(c.capacity);
    EXPECT_EQ(ExpandFile(files, kPath, buffer.data(), c.capacity), 0) << c.name;
    EXPECT_EQ(files.OpenFileHandles(), 0) << c.name;
  }
}

}  // namespace
}  // namespace qvx
