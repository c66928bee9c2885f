#include "shell/product_shortcut.h"

#include "shell/product_names.h"

namespace qvx {

std::int32_t CreateProductShortcut(ShellLink& shellLink, const std::string& target,
                                   const std::string& folder) {
  if (folder.empty()) return kShortcutFolderUnknown;
  return shellLink.CreateShortcut(target, folder + kLinkFileSuffix, kProductName);
}

}  // namespace qvx
