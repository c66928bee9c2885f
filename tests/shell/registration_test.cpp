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
const std::string kCommand = "\"" + kFolder + "\\QvxUninstall.exe\"";

// A REG_SZ value holding the text and its terminating zero: the size written
// was the text's length plus one.
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
  EXPECT_EQ(registry.Values(kHkeyLocalMachine, kAppPathKey).size(), 2u);
  EXPECT_EQ(registry.Values(kHkeyLocalMachine, kUninstallKey).size(), 2u);
  ExpectString(registry, kAppPathKey, "", kFolder + "\\QVX.EXE");
  ExpectString(registry, kAppPathKey, "Path", kFolder);
  ExpectString(registry, kUninstallKey, "DisplayName", "Quorvex");
  // Quoted: unquoted, the blank would let Windows start C:\Program.exe.
  ExpectString(registry, kUninstallKey, "UninstallString", kCommand);
}

TEST_F(RegistrationTest, OpensEachLevelByItsOwnNameAndClosesInnermostFirst) {
  const struct {
    void (*run)(Registry&, const std::string&);
    const char* list;
    const char* product;
  } cases[] = {{RegisterAppPath, "App Paths", "QVX.EXE"},
               {RegisterUninstall, "Uninstall", "Quorvex"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.product);
    registry.ClearEvents();
    c.run(registry, kFolder);
    EXPECT_EQ(OpenedNames(registry),
              (std::vector<std::string>{"SOFTWARE", "Microsoft", "Windows", "CurrentVersion",
                                        c.list, c.product}));
    auto creates = EventsOf(registry, EventKind::Create);
    ASSERT_EQ(creates.size(), 1u);
    EXPECT_EQ(creates[0].options, 0u);
    EXPECT_EQ(creates[0].access, 0xF003Fu);
    ExpectClosedInnermostFirst(registry);
  }
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
      << "opened, not made anew";
  ExpectString(registry, kAppPathKey, "", kFolder + "\\QVX.EXE");
  ExpectString(registry, kAppPathKey, "Path", kFolder);
  ExpectString(registry, kAppPathKey, "UseURL", "1");
  ExpectString(registry, kUninstallKey, "DisplayName", "Quorvex");
  ExpectString(registry, kUninstallKey, "UninstallString", kCommand);
  ExpectString(registry, kUninstallKey, "Publisher", "Kelvane");
  EXPECT_EQ(registry.Values(kHkeyLocalMachine, kAppPathKey).size(), 3u);
  EXPECT_EQ(registry.Values(kHkeyLocalMachine, kUninstallKey).size(), 3u);
}

TEST_F(RegistrationTest, AMissingLevelOrARefusedCreateWritesNothingAnywhere) {
  const struct {
    void (*run)(Registry&, const std::string&);
    const char* missing;  // a level to delete, or null
    const char* refused;  // a key whose creation is refused, or null
  } cases[] = {
      {RegisterAppPath, kAppPaths, nullptr},
      {RegisterUninstall, kUninstall, nullptr},
      {RegisterAppPath, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", nullptr},
      {RegisterUninstall, "SOFTWARE", nullptr},
      {RegisterAppPath, nullptr, kAppPathKey},
      {RegisterUninstall, nullptr, kUninstallKey},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.missing ? c.missing : c.refused);
    sim::SimRegistry fresh;
    fresh.SeedStandardKeys();
    if (c.missing) fresh.DeleteKey(kHkeyLocalMachine, c.missing);
    if (c.refused) fresh.FailCreate(kHkeyLocalMachine, c.refused, 5);
    const std::vector<std::string> before = fresh.Dump();
    c.run(fresh, kFolder);
    EXPECT_EQ(fresh.Dump(), before);
    EXPECT_TRUE(EventsOf(fresh, EventKind::Set).empty());
    ExpectClosedInnermostFirst(fresh);
  }
}

TEST_F(RegistrationTest, ARefusedValueDoesNotStopTheNextOne) {
  registry.FailSet(kHkeyLocalMachine, kAppPathKey, "", 5);
  registry.FailSet(kHkeyLocalMachine, kUninstallKey, "DisplayName", 5);
  RegisterAppPath(registry, kFolder);
  RegisterUninstall(registry, kFolder);
  EXPECT_FALSE(registry.GetValue(kHkeyLocalMachine, kAppPathKey, ""));
  ExpectString(registry, kAppPathKey, "Path", kFolder);
  EXPECT_FALSE(registry.GetValue(kHkeyLocalMachine, kUninstallKey, "DisplayName"));
  ExpectString(registry, kUninstallKey, "UninstallString", kCommand);
  ExpectClosedInnermostFirst(registry);
}

TEST_F(RegistrationTest, TheNextLookUpFindsExactlyTheRegisteredFolder) {
  for (const std::string& folder :
       {std::string("D:\\Tools\\Quorvex"), kFolder, std::string("C:"), std::string(255, 'x')}) {
    RegisterAppPath(registry, folder);
    EXPECT_EQ(FindPreviousInstall(registry), folder);
  }
}

}  // namespace
}  // namespace qvx::test
