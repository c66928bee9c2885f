// Shared set-up of the registry tests: the standard levels seeded, and checks
// on the event log that every key a call opened was closed, innermost first.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_registry.h"

namespace qvx::test {

inline constexpr char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
inline constexpr char kAppPathKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QVX.EXE";
inline constexpr char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvex";
inline constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

using Event = sim::SimRegistry::Event;
using EventKind = sim::SimRegistry::EventKind;

inline std::vector<Event> EventsOf(const sim::SimRegistry& registry, EventKind kind) {
  std::vector<Event> found;
  for (const Event& event : registry.events()) {
    if (event.kind == kind) found.push_back(event);
  }
  return found;
}

// The sub-key names passed to successful opens and creates, in order.
inline std::vector<std::string> OpenedNames(const sim::SimRegistry& registry) {
  std::vector<std::string> names;
  for (const Event& event : registry.events()) {
    if ((event.kind == EventKind::Open || event.kind == EventKind::Create) && event.status == 0) {
      names.push_back(event.name);
    }
  }
  return names;
}

// Every handle opened or created was closed, each close taking the most
// recently opened key still open (innermost first), and none is left open.
inline void ExpectClosedInnermostFirst(const sim::SimRegistry& registry) {
  std::vector<RegKey> open;
  for (const Event& event : registry.events()) {
    bool acquired = event.kind == EventKind::Open || event.kind == EventKind::Create;
    if (acquired && event.status == 0) open.push_back(event.key);
    if (event.kind == EventKind::Close) {
      EXPECT_EQ(event.status, 0) << "closing " << event.path;
      if (open.empty()) {
        ADD_FAILURE() << "closed " << event.path << " with nothing open";
        continue;
      }
      EXPECT_EQ(event.key, open.back()) << "closed " << event.path << " out of order";
      open.pop_back();
    }
  }
  EXPECT_TRUE(open.empty()) << open.size() << " keys left open";
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { registry.SeedStandardKeys(); }
  sim::SimRegistry registry;
};

}  // namespace qvx::test
