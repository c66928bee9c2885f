#include "app/create_directory_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_file_system.h"
#include "platform/sim/sim_system.h"
#include "platform/win_values.h"

namespace qvx {
namespace {

class CreateDirectoryPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDrive('C');
    fs.AddFolder("C:\\Base");
    fs.AddFile("C:\\Base\\file.txt", "x");
    fs.ClearCalls();
  }

  std::vector<std::string> Attempts() const {
    std::vector<std::string> paths;
    for (const auto& call : fs.Calls("CreateDirectoryA")) paths.push_back(call.path);
    return paths;
  }

  sim::SimSystem system;
  sim::SimFileSystem fs;
};

TEST_F(CreateDirectoryPathTest, LengthLimitIsCheckedAfterTrimming) {
  const std::string folder239 = "C:\\Base\\" + std::string(239 - 8, 'a');
  const std::string folder240 = "C:\\Base\\" + std::string(240 - 8, 'b');
  ASSERT_EQ(folder239.size(), 239u);
  EXPECT_EQ(CreateDirectoryPath(system, fs, folder239), 0);
  EXPECT_TRUE(fs.IsFolder(folder239));

  fs.ClearCalls();
  EXPECT_EQ(CreateDirectoryPath(system, fs, folder240), kPathTooLongResult);
  EXPECT_TRUE(Attempts().empty());
  EXPECT_EQ(CreateDirectoryPath(system, fs, "  " + folder239 + "\t\r\n"), 0);  // blanks do not count
}

TEST_F(CreateDirectoryPathTest, MissingLevelsAreCreatedParentsFirst) {
  EXPECT_EQ(CreateDirectoryPath(system, fs, "C:\\Base\\One\\Two\\Three"), 0);
  EXPECT_TRUE(fs.IsFolder("C:\\Base\\One\\Two\\Three"));
  EXPECT_EQ(Attempts(), (std::vector<std::string>{"C:\\Base\\One\\Two\\Three", "C:\\Base\\One\\Two",
                                                  "C:\\Base\\One", "C:\\Base\\One\\Two",
                                                  "C:\\Base\\One\\Two\\Three"}));
}

TEST_F(CreateDirectoryPathTest, BlanksAroundEveryLevelAreTrimmed) {
  std::string typed = " \t C:\\Base\\New\\Deeper \v\f";
  EXPECT_EQ(CreateDirectoryPath(system, fs, typed), 0);
  EXPECT_EQ(typed, " \t C:\\Base\\New\\Deeper \v\f");  // the caller's text stays
  EXPECT_TRUE(fs.IsFolder("C:\\Base\\New\\Deeper"));
  for (const std::string& path : Attempts()) {
    EXPECT_NE(path.front(), ' ') << path;
    EXPECT_NE(path.back(), ' ') << path;
  }
}

struct Case {
  const char* what;
  const char* path;
  std::int32_t result;
  const char* createdFolder;  // checked when not null
  std::uint32_t codePage = 0;  // 0: the row runs in every code page
};

// The second byte of a double-byte character may be 0x5C: such a byte at the
// end of a level, or of the parent, is no backslash.
TEST_F(CreateDirectoryPathTest, ResultsForTypedFolders) {
  fs.AddDrive('A', kDriveRemovable, false);
  const Case cases[] = {
      {"932, 0x5C ending each missing level", "C:\\Base\\\x83\x5c\\\x95\x5c", 0,
       "C:\\Base\\\x83\x5c\\\x95\x5c", 932},
      {"932, parent ending in 0x5C", "C:\\Base\\a\x94\x5c\\Sub", 0, "C:\\Base\\a\x94\x5c\\Sub", 932},
      {"936, 0x5C at start, middle, end", "C:\\Base\\\x81\x5c\\b\xd5\x5c\\\xb1\x5c", 0,
       "C:\\Base\\\x81\x5c\\b\xd5\x5c\\\xb1\x5c", 936},
      {"950, 0x5C at start, middle, end", "C:\\Base\\\xa5\x5c\\b\xa7\x5c\\\xbb\x5c", 0,
       "C:\\Base\\\xa5\x5c\\b\xa7\x5c\\\xbb\x5c", 950},
      {"1252, 0xA5 stands alone", "C:\\Base\\\xa5\\x", 0, "C:\\Base\\\xa5\\x", 1252},
      {"1252, accented letter", "C:\\Programme\\\xdc" "bersicht", 0, "C:\\Programme\\\xdc" "bersicht",
       1252},
      {"existing folder", "C:\\Base", 0, "C:\\Base"},
      {"existing, other case", "c:\\BASE", 0, nullptr},
      {"drive root", "C:\\", 0, nullptr},
      {"missing drive", "Q:\\Quorvex\\Sub", kErrorPathNotFound, nullptr},
      {"drive without medium", "A:\\Quorvex", kErrorNotReady, nullptr},
      {"empty text", "", kErrorPathNotFound, nullptr},
      {"blanks only", " \t\r\n", kErrorPathNotFound, nullptr},
      {"forward slashes, parent exists", "C:/Base/Fwd", 0, "C:\\Base\\Fwd"},
      {"forward slashes, parent missing", "C:/Base/Gone/Fwd", kErrorPathNotFound, nullptr},
      {"two trailing backslashes, parent exists", "C:\\Base\\Two\\\\", 0, "C:\\Base\\Two"},
      {"two trailing backslashes, parent missing", "C:\\Base\\No\\Two\\\\", kErrorPathNotFound,
       nullptr},
      {"one trailing backslash, parent missing", "C:\\Base\\No\\One\\", kErrorPathNotFound,
       nullptr},
      {"doubled backslash inside", "C:\\Base\\No\\\\Dbl", kErrorPathNotFound, nullptr},
      {"rooted on the current drive", "\\Rooted\\Sub", 0, "C:\\Rooted\\Sub"},
      {"no backslash at all", "Missing/Sub", kErrorPathNotFound, nullptr},
      {"invalid character", "C:\\Base\\a|b", kErrorInvalidName, nullptr},
      {"through a file", "C:\\Base\\file.txt\\Sub", kErrorPathNotFound, nullptr},
      {"through a file, two levels", "C:\\Base\\file.txt\\Sub\\Deeper", kErrorPathNotFound,
       nullptr},
  };
  for (std::uint32_t codePage : {1252u, 932u, 936u, 949u, 950u}) {
    ASSERT_TRUE(system.SetCodePage(codePage) && fs.SetCodePage(codePage));
    for (const Case& c : cases) {
      if (c.codePage != 0 && c.codePage != codePage) continue;
      EXPECT_EQ(CreateDirectoryPath(system, fs, c.path), c.result) << codePage << ": " << c.what;
      if (c.createdFolder) {
        EXPECT_TRUE(fs.IsFolder(c.createdFolder)) << codePage << ": " << c.what;
      }
    }
  }
  EXPECT_FALSE(fs.Exists("C:\\Base\\No"));
  EXPECT_FALSE(fs.Exists("C:\\Base\\Gone"));
}

TEST_F(CreateDirectoryPathTest, AFailingLevelStopsTheClimbAndKeepsWhatWasCreated) {
  fs.InjectFault(
      {"CreateDirectoryA", kErrorAccessDenied, "\\Two", 1});  // the creation, not the probe
  EXPECT_EQ(CreateDirectoryPath(system, fs, "C:\\Base\\One\\Two\\Three"), kErrorAccessDenied);
  EXPECT_TRUE(fs.IsFolder("C:\\Base\\One"));
  EXPECT_FALSE(fs.Exists("C:\\Base\\One\\Two"));

  fs.FailNext("CreateDirectoryA", kErrorDiskFull);
  EXPECT_EQ(CreateDirectoryPath(system, fs, "C:\\Base\\Full"), static_cast<std::int32_t>(kErrorDiskFull));
}

TEST_F(CreateDirectoryPathTest, ANameWindowsReadsDifferentlyInsideAPathEndsWithError3) {
  // "Dot." is created as "Dot", yet "Dot.\\Sub" looks for "Dot." itself; the
  // parent keeps reporting that it exists while the child keeps failing.
  EXPECT_EQ(CreateDirectoryPath(system, fs, "C:\\Base\\Dot.\\Sub"), kErrorPathNotFound);
  EXPECT_TRUE(fs.IsFolder("C:\\Base\\Dot"));
  EXPECT_LE(Attempts().size(), 4u);
}

}  // namespace
}  // namespace qvx
