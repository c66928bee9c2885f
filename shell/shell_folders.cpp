#include "shell/shell_folders.h"

#include "shell/registry_locations.h"
#include "shell/registry_path.h"

namespace qvx {

namespace {
// 259 characters and the terminating zero.
constexpr std::uint32_t kFolderBufferSize = 260;
}  // namespace

ShellFolders ReadShellFolders(Registry& registry) {
  ShellFolders folders;
  RegistryPath path(registry, kShellFoldersRoot, kShellFoldersLevels);
  if (path.IsOpen()) {
    // One buffer serves both reads; each query passes its full size again.
    char buffer[kFolderBufferSize] = {};
    path.QueryString("Desktop", buffer, kFolderBufferSize, &folders.desktop);
    path.QueryString("Programs", buffer, kFolderBufferSize, &folders.programs);
  }
  return folders;
}

}  // namespace qvx
