// The simulated registry behaves as the Windows calls do where the installer
// relies on them; the other tests here trust it.
#include "platform/sim/sim_registry.h"

#include <gtest/gtest.h>

#include "platform/win_values.h"

namespace qvx::test {
namespace {

TEST(SimRegistry, NamesCompareWithoutCaseAndKeepTheirFirstLetters) {
  sim::SimRegistry registry;
  registry.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Kelvane");
  registry.SetString(kHkeyLocalMachine, "software\\KELVANE", "Value", "a");
  registry.SetString(kHkeyLocalMachine, "Software\\kelvane", "VALUE", "bc");
  EXPECT_EQ(registry.SubKeys(kHkeyLocalMachine, ""), std::vector<std::string>{"SOFTWARE"});
  EXPECT_EQ(registry.SubKeys(kHkeyLocalMachine, "Software"), std::vector<std::string>{"Kelvane"});
  auto values = registry.Values(kHkeyLocalMachine, "SOFTWARE\\Kelvane");
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "Value");
  EXPECT_EQ(registry.GetString(kHkeyLocalMachine, "SOFTWARE\\Kelvane", "value"), "bc");
}

TEST(SimRegistry, OpenGivesNullHandleOnEveryFailure) {
  sim::SimRegistry registry;
  registry.CreateKey(kHkeyCurrentUser, "Software");
  const struct {
    RegKey parent;
    const char* name;
    std::int32_t status;
  } cases[] = {{kHkeyCurrentUser, "Missing", 2},
               {0x5678, "Software", 6},
               {kHkeyLocalMachine, "Software", 2}};
  for (const auto& c : cases) {
    RegKey key = 0x1234;
    EXPECT_EQ(registry.RegOpenKeyA(c.parent, c.name, &key), c.status) << c.name;
    EXPECT_EQ(key, kNullKey) << c.name;
  }
  EXPECT_EQ(registry.openCount(), 0);
}

TEST(SimRegistry, QueryReportsSizeAndFailsForMissingOrLargerValues) {
  sim::SimRegistry registry;
  registry.SetString(kHkeyCurrentUser, "K", "Text", "abcd");
  RegKey key = kNullKey;
  ASSERT_EQ(registry.RegOpenKeyA(kHkeyCurrentUser, "K", &key), 0);
  char buffer[8] = {};
  std::uint32_t type = 0;
  std::uint32_t size = 4;
  EXPECT_EQ(registry.RegQueryValueExA(key, "Text", &type, buffer, &size), 234);
  EXPECT_EQ(size, 5u);
  size = 5;
  EXPECT_EQ(registry.RegQueryValueExA(key, "Text", &type, buffer, &size), 0);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(type, kRegSz);
  size = sizeof buffer;
  EXPECT_EQ(registry.RegQueryValueExA(key, nullptr, &type, buffer, &size), 2);
  EXPECT_EQ(registry.RegCloseKey(key), 0);
  EXPECT_EQ(registry.RegQueryValueExA(key, "Text", &type, buffer, &size), 6);
}

}  // namespace
}  // namespace qvx::test
