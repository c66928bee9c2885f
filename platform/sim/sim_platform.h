// The simulated platform as one object: one of each sim backend, wired
// together, handed to the logic as a Platform.
#pragma once

#include "platform/platform.h"
#include "platform/sim/sim_file_system.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_shell_link.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_tree_view.h"
#include "platform/sim/sim_ui.h"

namespace qvx::sim {

struct SimPlatform {
  SimSystem system;
  SimFileSystem files;
  SimRegistry registry;
  SimShellLink shellLink{files};
  SimUi ui;
  SimTreeView treeView{ui};

  Platform platform() { return Platform{system, files, registry, shellLink, ui, treeView}; }

  // The machine's ANSI code page, for the lead-byte test and for the paths
  // of the file system alike.
  bool SetCodePage(std::uint32_t codePage) {
    return system.SetCodePage(codePage) && files.SetCodePage(codePage);
  }
};

}  // namespace qvx::sim
