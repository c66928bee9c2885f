// The simulated registry behaves as the Windows calls do where the installer
// relies on them; the other tests here trust it.
#include "platform/sim/sim_registry.h"

#include <gtest/gtest.h>

#include "platform/win_values.h"
#include "registry_fixture.h"

namespace qvx::test {
namespace {

TEST(SimRegistry, NamesCompareWithoutCaseAndKeepTheirFirstLetters) {
  sim::SimRegistry registry;
  registry.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Kelvane");
  registry.CreateKey(kHkeyLocalMachine, "software\\KELVANE\\Sub");
  EXPECT_EQ(registry.SubKeys(kHkeyLocalMachine, ""), std::vector<std::string>{"SOFTWARE"});
  EXPECT_EQ(registry.SubKeys(kHkeyLocalMachine, "Software"), std::vector<std::string>{"Kelvane"});

  RegKey key = kNullKey;
  EXPECT_EQ(registry.RegOpenKeyA(kHkeyLocalMachine, "sOfTwArE", &key), 0);
  ASSERT_NE(key, kNullKey);
  EXPECT_EQ(registry.RegSetValueExA(key, "Value", kRegSz, "a", 2), 0);
  EXPECT_EQ(registry.RegSetValueExA(key, "VALUE", kRegSz, "bc", 3), 0);
  auto values = registry.Values(kHkeyLocalMachine, "SOFTWARE");
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "Value");
  EXPECT_EQ(registry.GetString(kHkeyLocalMachine, "SOFTWARE", "value"), "bc");
  registry.RegCloseKey(key);
}

TEST(SimRegistry, OpenGivesNullHandleOnEveryFailure) {
  sim::SimRegistry registry;
  registry.CreateKey(kHkeyCurrentUser, "Software");
  RegKey key = 0x1234;
  EXPECT_EQ(registry.RegOpenKeyA(kHkeyCurrentUser, "Missing", &key), 2);
  EXPECT_EQ(key, kNullKey);
  key = 0x1234;
  EXPECT_EQ(registry.RegOpenKeyA(0x5678, "Software", &key), 6);
  EXPECT_EQ(key, kNullKey);
  key = 0x1234;
  EXPECT_NE(registry.RegOpenKeyA(kHkeyLocalMachine, "Software", &key), 0);
  EXPECT_EQ(key, kNullKey) << "the roots are separate trees";
  EXPECT_EQ(registry.openCount(), 0);
}

TEST(SimRegistry, CreateMakesMissingKeysAndOpensExistingOnes) {
  sim::SimRegistry registry;
  registry.SetString(kHkeyLocalMachine, "A\\B", "Kept", "x");
  RegKey parent = kNullKey;
  ASSERT_EQ(registry.RegOpenKeyA(kHkeyLocalMachine, "A", &parent), 0);

  RegKey key = kNullKey;
  std::uint32_t disposition = 0;
  EXPECT_EQ(registry.RegCreateKeyExA(parent, "b", 0, kKeyAllAccess, &key, &disposition), 0);
  EXPECT_EQ(disposition, 2u);
  EXPECT_EQ(registry.GetString(kHkeyLocalMachine, "A\\B", "Kept"), "x");
  registry.RegCloseKey(key);

  EXPECT_EQ(registry.RegCreateKeyExA(parent, "C", 0, kKeyAllAccess, &key, &disposition), 0);
  EXPECT_EQ(disposition, 1u);
  EXPECT_TRUE(registry.KeyExists(kHkeyLocalMachine, "A\\C"));
  registry.RegCloseKey(key);
  registry.RegCloseKey(parent);
  EXPECT_EQ(registry.openCount(), 3);
  EXPECT_EQ(registry.closeCount(), 3);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
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
  EXPECT_EQ(type, kRegSz);
  size = 5;
  EXPECT_EQ(registry.RegQueryValueExA(key, "Text", &type, buffer, &size), 0);
  EXPECT_STREQ(buffer, "abcd");
  size = sizeof buffer;
  EXPECT_EQ(registry.RegQueryValueExA(key, "Other", &type, buffer, &size), 2);
  size = sizeof buffer;
  EXPECT_EQ(registry.RegQueryValueExA(key, nullptr, &type, buffer, &size), 2)
      << "no default value was set";
  registry.RegCloseKey(key);
  size = sizeof buffer;
  EXPECT_EQ(registry.RegQueryValueExA(key, "Text", &type, buffer, &size), 6)
      << "a closed handle is no longer valid";
}

TEST(SimRegistry, NullAndEmptyValueNamesAreTheDefaultValue) {
  sim::SimRegistry registry;
  registry.CreateKey(kHkeyLocalMachine, "K");
  RegKey key = kNullKey;
  ASSERT_EQ(registry.RegOpenKeyA(kHkeyLocalMachine, "K", &key), 0);
  EXPECT_EQ(registry.RegSetValueExA(key, nullptr, kRegSz, "d", 2), 0);
  EXPECT_EQ(registry.GetString(kHkeyLocalMachine, "K", ""), "d");
  registry.RegCloseKey(key);
}

TEST(SimRegistry, InjectedFaultsRefuseWithoutEffect) {
  sim::SimRegistry registry;
  registry.CreateKey(kHkeyLocalMachine, "A");
  registry.FailCreate(kHkeyLocalMachine, "a\\NEW");
  registry.FailSet(kHkeyLocalMachine, "A", "Refused");
  registry.FailQuery(kHkeyLocalMachine, "A", "Hidden", 5);
  registry.SetString(kHkeyLocalMachine, "A", "Hidden", "x");

  RegKey parent = kNullKey;
  ASSERT_EQ(registry.RegOpenKeyA(kHkeyLocalMachine, "A", &parent), 0);
  RegKey key = kNullKey;
  EXPECT_EQ(registry.RegCreateKeyExA(parent, "New", 0, kKeyAllAccess, &key, nullptr), 5);
  EXPECT_EQ(key, kNullKey);
  EXPECT_FALSE(registry.KeyExists(kHkeyLocalMachine, "A\\New"));
  EXPECT_EQ(registry.RegSetValueExA(parent, "Refused", kRegSz, "x", 2), 5);
  EXPECT_FALSE(registry.GetValue(kHkeyLocalMachine, "A", "Refused"));
  char buffer[4] = {};
  std::uint32_t size = sizeof buffer;
  EXPECT_EQ(registry.RegQueryValueExA(parent, "Hidden", nullptr, buffer, &size), 5);
  registry.RegCloseKey(parent);
}

TEST(SimRegistry, DeletedKeysLeaveStaleHandles) {
  sim::SimRegistry registry;
  registry.CreateKey(kHkeyLocalMachine, "A\\B");
  RegKey key = kNullKey;
  ASSERT_EQ(registry.RegOpenKeyA(kHkeyLocalMachine, "A\\B", &key), 0);
  registry.DeleteKey(kHkeyLocalMachine, "A");
  EXPECT_FALSE(registry.KeyExists(kHkeyLocalMachine, "A"));
  EXPECT_EQ(registry.RegSetValueExA(key, "V", kRegSz, "x", 2), 6);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace qvx::test
