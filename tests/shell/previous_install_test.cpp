#include "shell/previous_install.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win_values.h"
#include "registry_fixture.h"

namespace qvx::test {
namespace {

using PreviousInstallTest = RegistryTest;

std::vector<std::uint8_t> Bytes(const std::string& text, bool terminated) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  if (terminated) data.push_back(0);
  return data;
}

TEST_F(PreviousInstallTest, ReadsPathThroughSixLevelsCreatingNothing) {
  registry.SetString(kHkeyLocalMachine, std::string(kAppPaths) + "\\qvx.exe", "PATH", "D:\\Q");
  EXPECT_EQ(FindPreviousInstall(registry), "D:\\Q");
  EXPECT_EQ(OpenedNames(registry),
            (std::vector<std::string>{"SOFTWARE", "Microsoft", "Windows", "CurrentVersion",
                                      "App Paths", "QVX.EXE"}));
  EXPECT_TRUE(EventsOf(registry, EventKind::Create).empty());
  auto queries = EventsOf(registry, EventKind::Query);
  ASSERT_EQ(queries.size(), 1u);
  EXPECT_EQ(queries[0].name, "Path");
  EXPECT_EQ(queries[0].size, 261u);
  ExpectClosedInnermostFirst(registry);
}

TEST_F(PreviousInstallTest, TakesTheValueUpToItsFirstZeroWithinTheBytesRead) {
  const std::string k260(260, 'p');
  const std::string k261(261, 'p');
  const struct {
    const char* what;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    std::string expected;
  } cases[] = {
      {"empty text is no installation", kRegSz, Bytes("", true), ""},
      {"260 characters and the zero fit", kRegSz, Bytes(k260, true), k260},
      {"261 characters do not fit", kRegSz, Bytes(k261, true), ""},
      {"another type is still text", kRegExpandSz, Bytes("%X%\\Q", true), "%X%\\Q"},
      {"binary stops at a zero", kRegBinary, Bytes(std::string("C:\\Q\0xy", 7), false), "C:\\Q"},
      // Without a zero the text ends with the value, never past the buffer.
      {"no zero at all", kRegBinary, Bytes("C:\\Q", false), "C:\\Q"},
      {"261 bytes without a zero", kRegBinary, Bytes(k261, false), k261},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    registry.SetValue(kHkeyLocalMachine, kAppPathKey, "Path", c.type, c.data);
    EXPECT_EQ(FindPreviousInstall(registry), c.expected);
  }
  ExpectClosedInnermostFirst(registry);
}

TEST_F(PreviousInstallTest, MissingLevelsOrValuesGiveEmptyText) {
  const struct {
    const char* what;
    void (*arrange)(sim::SimRegistry&);
  } cases[] = {
      {"no product key", [](sim::SimRegistry&) {}},
      {"a default value but no Path",
       [](sim::SimRegistry& r) {
         r.SetString(kHkeyLocalMachine, kAppPathKey, "", "C:\\Q\\QVX.EXE");
       }},
      {"no App Paths", [](sim::SimRegistry& r) { r.DeleteKey(kHkeyLocalMachine, kAppPaths); }},
      {"no SOFTWARE", [](sim::SimRegistry& r) { r.DeleteKey(kHkeyLocalMachine, "SOFTWARE"); }},
      {"the read refused",
       [](sim::SimRegistry& r) {
         r.SetString(kHkeyLocalMachine, kAppPathKey, "Path", "C:\\Q");
         r.FailQuery(kHkeyLocalMachine, kAppPathKey, "Path", 5);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimRegistry fresh;
    fresh.SeedStandardKeys();
    c.arrange(fresh);
    EXPECT_EQ(FindPreviousInstall(fresh), "");
    ExpectClosedInnermostFirst(fresh);
  }
}

}  // namespace
}  // namespace qvx::test
