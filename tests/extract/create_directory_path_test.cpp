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
};

TEST_F(CreateDirectoryPathTest, ResultsForTypedFolders) {
  fs.AddDrive('A', kDriveRemovable, false);
  const Case cases[] = {
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
  for (const Case& c : cases) {
    EXPECT_EQ(CreateDirectoryPath(system, fs, c.path), c.result) << c.what;
    if (c.createdFolder) {
      EXPECT_TRUE(fs.IsFolder(c.createdFolder)) << c.what;
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
