#include "shell/previous_install.h"

#include "shell/product_names.h"
#include "shell/registry_locations.h"
#include "shell/registry_path.h"

namespace qvx {

namespace {
// 260 characters and the terminating zero.
constexpr std::uint32_t kPathBufferSize = 261;
}  // namespace

std::string FindPreviousInstall(Registry& registry) {
  std::string folder;
  RegistryPath path(registry, kAppPathsRoot, kAppPathsLevels);
  if (path.Open(kMainExecutableName)) {
    char buffer[kPathBufferSize] = {};
    path.QueryString("Path", buffer, kPathBufferSize, &folder);
  }
  return folder;
}

}  // namespace qvx
