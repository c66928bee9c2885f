#include "shell/shell_folders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win_values.h"
#include "registry_fixture.h"

namespace qvx::test {
namespace {

using ShellFoldersTest = RegistryTest;

TEST_F(ShellFoldersTest, ReadsBothFoldersThroughSixLevelsWithOneBuffer) {
  ShellFolders folders = ReadShellFolders(registry);
  EXPECT_EQ(folders.desktop, sim::SimRegistry::kDefaultDesktop);
  EXPECT_EQ(folders.programs, sim::SimRegistry::kDefaultPrograms);

  EXPECT_EQ(OpenedNames(registry),
            (std::vector<std::string>{"Software", "Microsoft", "Windows", "CurrentVersion",
                                      "Explorer", "Shell folders"}));
  auto queries = EventsOf(registry, EventKind::Query);
  ASSERT_EQ(queries.size(), 2u);
  EXPECT_EQ(queries[0].name, "Desktop");
  EXPECT_EQ(queries[1].name, "Programs");
  EXPECT_EQ(queries[0].size, 260u);
  EXPECT_EQ(queries[1].size, 260u) << "the size is set again before the second read";
  ExpectClosedInnermostFirst(registry);
}

TEST_F(ShellFoldersTest, AMissingLevelLeavesBothEmpty) {
  const char* const levels[] = {kShellFolders, "Software\\Microsoft\\Windows\\CurrentVersion",
                                "Software"};
  for (const char* level : levels) {
    SCOPED_TRACE(level);
    sim::SimRegistry fresh;
    fresh.SeedStandardKeys();
    fresh.DeleteKey(kHkeyCurrentUser, level);
    ShellFolders folders = ReadShellFolders(fresh);
    EXPECT_EQ(folders.desktop, "");
    EXPECT_EQ(folders.programs, "");
    EXPECT_TRUE(EventsOf(fresh, EventKind::Query).empty());
    ExpectClosedInnermostFirst(fresh);
  }
}

TEST_F(ShellFoldersTest, EachValueIsReadIndependently) {
  struct Case {
    const char* what;
    std::string desktop;  // "-" for no value
    std::string programs;
    std::string expectedDesktop;
    std::string expectedPrograms;
  };
  const std::string k259(259, 'd');
  const std::string k260(260, 'd');
  const Case cases[] = {
      {"no Desktop", "-", "C:\\P", "", "C:\\P"},
      {"no Programs", "C:\\D", "-", "C:\\D", ""},
      {"neither", "-", "-", "", ""},
      {"259 characters fit", k259, "C:\\P", k259, "C:\\P"},
      {"260 characters do not", k260, "C:\\P", "", "C:\\P"},
      {"a long Desktop leaves nothing in Programs", k259, "C:\\P", k259, "C:\\P"},
      {"environment references stay as written", "%USERPROFILE%\\Desktop", "C:\\P",
       "%USERPROFILE%\\Desktop", "C:\\P"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimRegistry fresh;
    fresh.CreateKey(kHkeyCurrentUser, kShellFolders);
    if (c.desktop != "-") fresh.SetString(kHkeyCurrentUser, kShellFolders, "Desktop", c.desktop);
    if (c.programs != "-") {
      fresh.SetString(kHkeyCurrentUser, kShellFolders, "Programs", c.programs);
    }
    ShellFolders folders = ReadShellFolders(fresh);
    EXPECT_EQ(folders.desktop, c.expectedDesktop);
    EXPECT_EQ(folders.programs, c.expectedPrograms);
    ExpectClosedInnermostFirst(fresh);
  }
}

TEST_F(ShellFoldersTest, ARefusedReadLeavesOnlyThatFolderEmpty) {
  registry.FailQuery(kHkeyCurrentUser, kShellFolders, "Desktop", 5);
  ShellFolders folders = ReadShellFolders(registry);
  EXPECT_EQ(folders.desktop, "");
  EXPECT_EQ(folders.programs, sim::SimRegistry::kDefaultPrograms);
}

TEST_F(ShellFoldersTest, TheSharedBufferNeverLeaksTheFirstValueIntoTheSecond) {
  // Programs is stored without its terminating zero and is shorter than the
  // Desktop text that filled the buffer before it.
  registry.SetString(kHkeyCurrentUser, kShellFolders, "Desktop", std::string(200, 'd'));
  registry.SetValue(kHkeyCurrentUser, kShellFolders, "Programs", kRegSz, {'C', ':', '\\', 'P'});
  ShellFolders folders = ReadShellFolders(registry);
  EXPECT_EQ(folders.desktop, std::string(200, 'd'));
  EXPECT_EQ(folders.programs, "C:\\P");
}

}  // namespace
}  // namespace qvx::test
