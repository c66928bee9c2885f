#include "shell/shell_folders.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win_values.h"
#include "registry_fixture.h"

namespace qvx::test {
namespace {

using ShellFoldersTest = RegistryTest;

TEST_F(ShellFoldersTest, ReadsBothFoldersThroughSixLevelsWithTheFullSizeEachTime) {
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
  EXPECT_EQ(queries[1].size, 260u);
  ExpectClosedInnermostFirst(registry);
}

TEST_F(ShellFoldersTest, AMissingLevelLeavesBothEmpty) {
  for (const char* level : {kShellFolders, "Software\\Microsoft\\Windows", "Software"}) {
    SCOPED_TRACE(level);
    sim::SimRegistry fresh;
    fresh.SeedStandardKeys();
    fresh.DeleteKey(kHkeyCurrentUser, level);
    ShellFolders folders = ReadShellFolders(fresh);
    EXPECT_EQ(folders.desktop, "");
    EXPECT_EQ(folders.programs, "");
    ExpectClosedInnermostFirst(fresh);
  }
}

TEST_F(ShellFoldersTest, EachValueIsReadIndependently) {
  using Text = std::optional<std::string>;  // nullopt: no value
  const std::string k259(259, 'd');
  const std::string k260(260, 'd');
  const struct {
    Text desktop;
    Text programs;
    std::string expectedDesktop;
    std::string expectedPrograms;
  } cases[] = {
      {std::nullopt, "C:\\P", "", "C:\\P"},
      {"C:\\D", std::nullopt, "C:\\D", ""},
      {k259, "C:\\P", k259, "C:\\P"},
      {k260, "C:\\P", "", "C:\\P"},
      {"C:\\D", k260, "C:\\D", ""},
      {"%USERPROFILE%\\Desktop", "C:\\P", "%USERPROFILE%\\Desktop", "C:\\P"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.desktop.value_or("(none)") + " / " + c.programs.value_or("(none)"));
    sim::SimRegistry fresh;
    fresh.CreateKey(kHkeyCurrentUser, kShellFolders);
    if (c.desktop) fresh.SetString(kHkeyCurrentUser, kShellFolders, "Desktop", *c.desktop);
    if (c.programs) fresh.SetString(kHkeyCurrentUser, kShellFolders, "Programs", *c.programs);
    ShellFolders folders = ReadShellFolders(fresh);
    EXPECT_EQ(folders.desktop, c.expectedDesktop);
    EXPECT_EQ(folders.programs, c.expectedPrograms);
  }
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
