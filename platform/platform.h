// The operation sets a backend provides, handed as one bundle from the
// composition root (the Windows entry point or a test fixture) to the logic.
#pragma once

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell_link.h"
#include "platform/system.h"
#include "platform/tree_view.h"
#include "platform/ui.h"

namespace qvx {

struct Platform {
  System& system;
  FileSystem& files;
  Registry& registry;
  ShellLink& shellLink;
  Ui& ui;
  TreeView& treeView;
};

}  // namespace qvx
