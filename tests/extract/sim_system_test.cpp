#include "platform/sim/sim_system.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/win_values.h"

namespace qvx::sim {
namespace {

TEST(SimSystemTest, GlobalMemoryIsTrackedZeroedOnRequestAndCanFail) {
  SimSystem system;
  auto* zeroed = static_cast<std::uint8_t*>(system.GlobalAlloc(kGmemZeroinit, 64));
  auto* raw = static_cast<std::uint8_t*>(system.GlobalAlloc(0, 64));
  ASSERT_NE(zeroed, nullptr);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(zeroed[0], 0);
  EXPECT_EQ(zeroed[63], 0);
  EXPECT_NE(raw[10], 0);
  EXPECT_EQ(system.LiveAllocations(), 2);
  EXPECT_EQ(system.AllocationSize(zeroed), 64u);
  system.GlobalFree(raw);
  system.GlobalFree(raw);
  EXPECT_EQ(system.BadFrees(), 1);
  system.FailAllocation(1);
  void* next = system.GlobalAlloc(0, 8);
  EXPECT_NE(next, nullptr);
  EXPECT_EQ(system.GlobalAlloc(0, 8), nullptr);
  EXPECT_NE(system.GlobalAlloc(0, 8), nullptr);
  EXPECT_EQ(system.LiveAllocations(), 3);
  EXPECT_EQ(system.AllocationFlags().front(), kGmemZeroinit);
}

// Every system takes a record of 148 bytes; only NT 5 and later take 156 too.
TEST(SimSystemTest, VersionRecordSizeIsCheckedAsTheSystemDoes) {
  struct Case {
    std::uint32_t platform, major, size;
    bool taken;
  } cases[] = {{1, 4, 148, true},  {2, 4, 148, true},  {2, 5, 156, true}, {1, 4, 156, false},
               {2, 4, 156, false}, {2, 5, 147, false}, {2, 5, 0, false}};
  for (const Case& c : cases) {
    SimSystem system;
    system.SetVersion(c.platform, c.major, 0);
    OsVersionInfo info;
    info.dwOSVersionInfoSize = c.size;
    EXPECT_EQ(system.GetVersionExA(&info), c.taken) << c.size;
    EXPECT_EQ(info.dwPlatformId, c.taken ? c.platform : 0u);
    EXPECT_EQ(system.VersionError(), c.taken ? 0u : kErrorInsufficientBuffer);
    EXPECT_EQ(system.VersionInfoSizes(), std::vector<std::uint32_t>{c.size});
  }
}

}  // namespace
}  // namespace qvx::sim
