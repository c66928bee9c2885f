#include "shell/registration.h"

#include "shell/product_names.h"
#include "shell/registry_locations.h"
#include "shell/registry_path.h"

namespace qvx {

std::string UninstallCommand(const std::string& folder) {
  return "\"" + folder + "\\QvxUninstall.exe\"";
}

// Neither path creates a missing level: only the product key at its end is
// created. A value that cannot be set does not stop the next one.
void RegisterAppPath(Registry& registry, const std::string& folder) {
  RegistryPath path(registry, kAppPathsRoot, kAppPathsLevels);
  if (!path.Create(kMainExecutableName)) return;
  path.SetString(nullptr, folder + "\\" + kMainExecutableName);
  path.SetString("Path", folder);
}

void RegisterUninstall(Registry& registry, const std::string& folder) {
  RegistryPath path(registry, kUninstallRoot, kUninstallLevels);
  if (!path.Create(kProductName)) return;
  path.SetString("DisplayName", kProductName);
  path.SetString("UninstallString", UninstallCommand(folder));
}

}  // namespace qvx
