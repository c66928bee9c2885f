#include "shell/previous_install.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "platform/win_values.h"
#include "registry_fixture.h"

namespace qvx::test {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

using PreviousInstallTest = RegistryTest;

TEST_F(PreviousInstallTest, ReadsTheRecordedFolderThroughSixLevels) {
  registry.SetString(kHkeyLocalMachine, kAppPathKey, "Path", "D:\\Tools\\Quorvex");
  EXPECT_EQ(FindPreviousInstall(registry), "D:\\Tools\\Quorvex");

  EXPECT_EQ(OpenedNames(registry),
            (std::vector<std::string>{"SOFTWARE", "Microsoft", "Windows", "CurrentVersion",
                                      "App Paths", "QVX.EXE"}));
  EXPECT_TRUE(EventsOf(registry, EventKind::Create).empty()) << "a read creates nothing";
  auto queries = EventsOf(registry, EventKind::Query);
  ASSERT_EQ(queries.size(), 1u);
  EXPECT_EQ(queries[0].name, "Path");
  EXPECT_EQ(queries[0].size, 261u);
  ExpectClosedInnermostFirst(registry);
}

struct PathValueCase {
  const char* what;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  std::string expected;
};

class PathValueTest : public RegistryTest, public ::testing::WithParamInterface<PathValueCase> {};

TEST_P(PathValueTest, GivesTheTextUpToItsFirstZeroOrNothing) {
  const PathValueCase& c = GetParam();
  registry.SetValue(kHkeyLocalMachine, kAppPathKey, "Path", c.type, c.data);
  EXPECT_EQ(FindPreviousInstall(registry), c.expected);
  ExpectClosedInnermostFirst(registry);
}

std::vector<std::uint8_t> Terminated(const std::string& text) {
  std::vector<std::uint8_t> data = Bytes(text);
  data.push_back(0);
  return data;
}

const std::string k260(260, 'p');
const std::string k261(261, 'p');

INSTANTIATE_TEST_SUITE_P(
    Values, PathValueTest,
    ::testing::Values(
        PathValueCase{"empty text counts as no installation", kRegSz, Terminated(""), ""},
        PathValueCase{"260 characters and the zero fit", kRegSz, Terminated(k260), k260},
        PathValueCase{"261 characters do not fit", kRegSz, Terminated(k261), ""},
        PathValueCase{"another type is still text", kRegExpandSz, Terminated("%X%\\Q"), "%X%\\Q"},
        PathValueCase{"binary stops at its first zero", kRegBinary,
                      Bytes(std::string("C:\\Q\0xy", 7)), "C:\\Q"},
        PathValueCase{"no zero ends at the bytes read", kRegBinary, Bytes("C:\\Q"), "C:\\Q"},
        PathValueCase{"261 bytes with no zero still fit", kRegBinary, Bytes(k261), k261}),
    [](const auto& info) {
      std::string name;
      for (char ch : std::string(info.param.what)) {
        if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
      }
      return name;
    });

TEST_F(PreviousInstallTest, MissingLevelsOrValuesGiveEmptyText) {
  struct Case {
    const char* what;
    void (*arrange)(sim::SimRegistry&);
  };
  const Case cases[] = {
      {"no product key", [](sim::SimRegistry&) {}},
      {"a default value but no Path",
       [](sim::SimRegistry& r) {
         r.SetString(kHkeyLocalMachine, kAppPathKey, "", "C:\\Q\\QVX.EXE");
       }},
      {"no App Paths level",
       [](sim::SimRegistry& r) { r.DeleteKey(kHkeyLocalMachine, kAppPaths); }},
      {"no SOFTWARE level",
       [](sim::SimRegistry& r) { r.DeleteKey(kHkeyLocalMachine, "SOFTWARE"); }},
      {"the read refused",
       [](sim::SimRegistry& r) {
         r.SetString(kHkeyLocalMachine, kAppPathKey, "Path", "C:\\Q");
         r.FailQuery(kHkeyLocalMachine, kAppPathKey, "Path", 5);
       }},
      {"the entry is another product's",
       [](sim::SimRegistry& r) {
         r.SetString(kHkeyLocalMachine, std::string(kAppPaths) + "\\OTHER.EXE", "Path", "C:\\O");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimRegistry fresh;
    fresh.SeedStandardKeys();
    c.arrange(fresh);
    EXPECT_EQ(FindPreviousInstall(fresh), "");
    ExpectClosedInnermostFirst(fresh);
  }
}

TEST_F(PreviousInstallTest, ProductKeyMatchesWhateverCaseItWasWrittenIn) {
  registry.SetString(kHkeyLocalMachine, std::string(kAppPaths) + "\\qvx.exe", "PATH", "C:\\Q");
  EXPECT_EQ(FindPreviousInstall(registry), "C:\\Q");
}

}  // namespace
}  // namespace qvx::test
