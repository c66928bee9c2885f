#include "platform/sim/sim_system.h"

#include <gtest/gtest.h>

#include <cstdint>

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

TEST(SimSystemTest, VersionErrorModeResourcesAndBeeps) {
  SimSystem system;
  OsVersionInfo info;
  EXPECT_FALSE(system.GetVersionExA(&info));  // size not set
  info.dwOSVersionInfoSize = 148;
  system.SetVersion(1, 4, 10, 2222);
  ASSERT_TRUE(system.GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, 1u);
  EXPECT_EQ(info.dwMinorVersion, 10u);

  EXPECT_EQ(system.SetErrorMode(kSemFailCriticalErrors), 0u);
  EXPECT_EQ(system.SetErrorMode(0), kSemFailCriticalErrors);
  EXPECT_EQ(system.ErrorModeCalls().size(), 2u);

  EXPECT_TRUE(system.LockRcData(129).empty());
  system.SetResource(129, {1, 2, 3});
  EXPECT_EQ(system.LockRcData(129).size(), 3u);

  system.Beep(440, 100);
  ASSERT_EQ(system.Beeps().size(), 1u);
  EXPECT_EQ(system.Beeps()[0].first, 440u);
  EXPECT_EQ(system.GetModuleFileNameA(), "C:\\Temp\\QvxSetup.exe");
}

}  // namespace
}  // namespace qvx::sim
