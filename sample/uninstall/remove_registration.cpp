#include "installation.h"
#include "product_layout.h"
#include "removal.h"

namespace {

void DeleteKey(const char* parentPath, const char* name, RemovalReport& report) {
  HKEY parent;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, parentPath, 0, KEY_ALL_ACCESS, &parent);
  if (status == ERROR_SUCCESS) {
    status = RegDeleteKeyA(parent, name);
    RegCloseKey(parent);
  }
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return;
  PathText what("HKEY_LOCAL_MACHINE\\");
  what.Append(parentPath).Append("\\").Append(name);
  report.Failed(what.Get(), static_cast<DWORD>(status));
}

}  // namespace

void RemoveRegistration(const char* folder, RemovalReport& report) {
  // Each entry goes only while it still describes this installation; after
  // an installation elsewhere it belongs to that one.
  if (UninstallEntryNames(folder)) DeleteKey(layout::kUninstallList, layout::kProductName, report);
  if (AppPathNames(folder)) DeleteKey(layout::kAppPaths, layout::kAppPathKey, report);
}
