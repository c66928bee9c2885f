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

}  // namespace
}  // namespace qvx::sim
