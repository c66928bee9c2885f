#include "shell/registration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win_values.h"
#include "registry_fixture.h"
#include "shell/previous_install.h"

namespace qvx::test {
namespace {

using RegistrationTest = RegistryTest;

const std::string kFolder = "C:\\Program Files\\Kelvane\\Quorvex";

// A REG_SZ value holding text and its terminating zero, nothing else.
void ExpectString(const sim::SimRegistry& registry, const std::string& key, const std::string& name,
                  const std::string& text) {
  SCOPED_TRACE(key + " : " + name);
  auto value = registry.GetValue(kHkeyLocalMachine, key, name);
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, kRegSz);
  std::vector<std::uint8_t> expected(text.begin(), text.end());
  expected.push_back(0);
  EXPECT_EQ(value->data, expected);
}

TEST_F(RegistrationTest, WritesFourStringValuesInTwoNewKeys) {
  RegisterAppPath(registry, kFolder);
  RegisterUninstall(registry, kFolder);

  EXPECT_EQ(registry.SubKeys(kHkeyLocalMachine, kAppPaths), std::vector<std::string>{"QVX.EXE"});
  EXPECT_EQ(registry.SubKeys(kHkeyLocalMachine, kUninstall), std::vector<std::string>{"Quorvex"});
  ASSERT_EQ(registry.Values(kHkeyLocalMachine, kAppPathKey).size(), 2u);
  ASSERT_EQ(registry.Values(kHkeyLocalMachine, kUninstallKey).size(), 2u);
  ExpectString(registry, kAppPathKey, "", kFolder + "\\QVX.EXE");
  ExpectString(registry, kAppPathKey, "Path", kFolder);
  ExpectString(registry, kUninstallKey, "DisplayName", "Quorvex");
  ExpectString(registry, kUninstallKey, "UninstallString", "\"" + kFolder + "\\QvxUninstall.exe\"");
}

TEST_F(RegistrationTest, OpensEachLevelByItsOwnNameAndClosesInnermostFirst) {
  RegisterAppPath(registry, kFolder);
  EXPECT_EQ(OpenedNames(registry),
            (std::vector<std::string>{"SOFTWARE", "Microsoft", "Windows", "CurrentVersion",
                                      "App Paths", "QVX.EXE"}));
  ExpectClosedInnermostFirst(registry);
  registry.ClearEvents();

  RegisterUninstall(registry, kFolder);
  EXPECT_EQ(OpenedNames(registry),
            (std::vector<std::string>{"SOFTWARE", "Microsoft", "Windows", "CurrentVersion",
                                      "Uninstall", "Quorvex"}));
  ExpectClosedInnermostFirst(registry);

  auto creates = EventsOf(registry, EventKind::Create);
  ASSERT_EQ(creates.size(), 1u);
  EXPECT_EQ(creates[0].options, 0u);
  EXPECT_EQ(creates[0].access, 0xF003Fu);
  for (const Event& set : EventsOf(registry, EventKind::Set)) {
    EXPECT_EQ(set.type, kRegSz);
  }
}

TEST_F(RegistrationTest, TheDefaultValueIsWrittenThroughANullName) {
  RegisterAppPath(registry, kFolder);
  auto sets = EventsOf(registry, EventKind::Set);
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].name, "");
  EXPECT_EQ(sets[0].size, kFolder.size() + sizeof "\\QVX.EXE");
  EXPECT_EQ(sets[1].name, "Path");
  EXPECT_EQ(sets[1].size, kFolder.size() + 1);
}

TEST_F(RegistrationTest, AnEarlierEntryIsOpenedItsTwoValuesReplacedTheRestKept) {
  const std::string appKey = std::string(kAppPaths) + "\\qvx.exe";
  registry.SetString(kHkeyLocalMachine, appKey, "", "D:\\Old\\QVX.EXE");
  registry.SetString(kHkeyLocalMachine, appKey, "PATH", "D:\\Old");
  registry.SetString(kHkeyLocalMachine, appKey, "UseURL", "1");
  registry.SetString(kHkeyLocalMachine, kUninstallKey, "DisplayName", "Quorvex 0.9");
  registry.SetString(kHkeyLocalMachine, kUninstallKey, "UninstallString", "D:\\Old\\x.exe");
  registry.SetString(kHkeyLocalMachine, kUninstallKey, "Publisher", "Kelvane");

  RegisterAppPath(registry, kFolder);
  RegisterUninstall(registry, kFolder);

  EXPECT_EQ(registry.SubKeys(kHkeyLocalMachine, kAppPaths), std::vector<std::string>{"qvx.exe"})
      << "the key keeps its letters: it was opened, not made anew";
  ExpectString(registry, kAppPathKey, "", kFolder + "\\QVX.EXE");
  ExpectString(registry, kAppPathKey, "Path", kFolder);
  ExpectString(registry, kAppPathKey, "UseURL", "1");
  ExpectString(registry, kUninstallKey, "DisplayName", "Quorvex");
  ExpectString(registry, kUninstallKey, "UninstallString", "\"" + kFolder + "\\QvxUninstall.exe\"");
  ExpectString(registry, kUninstallKey, "Publisher", "Kelvane");
  EXPECT_EQ(registry.Values(kHkeyLocalMachine, kAppPathKey).size(), 3u);
  EXPECT_EQ(registry.Values(kHkeyLocalMachine, kUninstallKey).size(), 3u);
}

TEST_F(RegistrationTest, AMissingLevelCreatesNothingAnywhere) {
  struct Case {
    void (*registerFolder)(Registry&, const std::string&);
    const char* missing;
  };
  const Case cases[] = {
      {RegisterAppPath, kAppPaths},
      {RegisterUninstall, kUninstall},
      {RegisterAppPath, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"},
      {RegisterUninstall, "SOFTWARE\\Microsoft\\Windows"},
      {RegisterUninstall, "SOFTWARE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.missing);
    sim::SimRegistry fresh;
    fresh.SeedStandardKeys();
    fresh.DeleteKey(kHkeyLocalMachine, c.missing);
    const std::vector<std::string> before = fresh.Dump();
    c.registerFolder(fresh, kFolder);
    EXPECT_EQ(fresh.Dump(), before);
    EXPECT_TRUE(EventsOf(fresh, EventKind::Create).empty());
    EXPECT_TRUE(EventsOf(fresh, EventKind::Set).empty());
    ExpectClosedInnermostFirst(fresh);
  }
}

TEST_F(RegistrationTest, OneEntryMissingItsListStillLetsTheOtherIn) {
  registry.DeleteKey(kHkeyLocalMachine, kUninstall);
  RegisterAppPath(registry, kFolder);
  RegisterUninstall(registry, kFolder);
  ExpectString(registry, kAppPathKey, "Path", kFolder);
  EXPECT_FALSE(registry.KeyExists(kHkeyLocalMachine, kUninstall));
  ExpectClosedInnermostFirst(registry);
}

TEST_F(RegistrationTest, ARefusedCreateWritesNothingAndClosesThePath) {
  registry.FailCreate(kHkeyLocalMachine, kAppPathKey, 5);
  registry.FailCreate(kHkeyLocalMachine, kUninstallKey, 5);
  const std::vector<std::string> before = registry.Dump();
  RegisterAppPath(registry, kFolder);
  RegisterUninstall(registry, kFolder);
  EXPECT_EQ(registry.Dump(), before);
  EXPECT_TRUE(EventsOf(registry, EventKind::Set).empty());
  ExpectClosedInnermostFirst(registry);
}

TEST_F(RegistrationTest, ARefusedValueDoesNotStopTheNextOne) {
  registry.FailSet(kHkeyLocalMachine, kAppPathKey, "", 5);
  registry.FailSet(kHkeyLocalMachine, kUninstallKey, "DisplayName", 5);
  RegisterAppPath(registry, kFolder);
  RegisterUninstall(registry, kFolder);
  EXPECT_FALSE(registry.GetValue(kHkeyLocalMachine, kAppPathKey, ""));
  ExpectString(registry, kAppPathKey, "Path", kFolder);
  EXPECT_FALSE(registry.GetValue(kHkeyLocalMachine, kUninstallKey, "DisplayName"));
  ExpectString(registry, kUninstallKey, "UninstallString", "\"" + kFolder + "\\QvxUninstall.exe\"");
  ExpectClosedInnermostFirst(registry);
}

TEST_F(RegistrationTest, TheNextLookUpFindsExactlyTheRegisteredFolder) {
  const std::string folders[] = {
      "D:\\Tools\\Quorvex",  kFolder, "C:", "E:\\a b\\c  d", std::string(255, 'x'),
      "\\\\server\\share\\Q"};
  for (const std::string& folder : folders) {
    SCOPED_TRACE(folder);
    RegisterAppPath(registry, folder);
    EXPECT_EQ(FindPreviousInstall(registry), folder);
  }
}

TEST(UninstallCommand, IsQuotedSoBlanksCannotSplitIt) {
  EXPECT_EQ(UninstallCommand("C:\\Program Files\\Kelvane\\Quorvex"),
            "\"C:\\Program Files\\Kelvane\\Quorvex\\QvxUninstall.exe\"");
  EXPECT_EQ(UninstallCommand("D:\\Q"), "\"D:\\Q\\QvxUninstall.exe\"");
}

}  // namespace
}  // namespace qvx::test
