#include "product_layout.h"
#include "removal.h"

namespace {

bool ReadValue(const char* keyPath, const char* valueName, PathText& value) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return false;
  char data[MAX_PATH + 64] = {};
  DWORD size = sizeof(data) - 1;
  LONG status =
      RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return false;
  value.Clear();
  value.Append(data);
  return true;
}

// A command line names its program with or without quotation marks.
bool NamesProgram(const char* command, const char* program) {
  PathText unquoted;
  if (command[0] == '"') {
    unquoted.Append(command + 1);
    int length = unquoted.Length();
    if (length > 0 && unquoted.Data()[length - 1] == '"') unquoted.Data()[length - 1] = '\0';
  } else {
    unquoted.Append(command);
  }
  return lstrcmpiA(unquoted.Get(), program) == 0;
}

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
  PathText uninstallKey(layout::kUninstallList);
  uninstallKey.Append("\\").Append(layout::kProductName);
  PathText command;
  if (ReadValue(uninstallKey.Get(), "UninstallString", command) &&
      NamesProgram(command.Get(), JoinPath(folder, layout::kUninstallerName).Get()))
    DeleteKey(layout::kUninstallList, layout::kProductName, report);

  PathText appPathKey(layout::kAppPaths);
  appPathKey.Append("\\").Append(layout::kAppPathKey);
  PathText installedFolder;
  if (ReadValue(appPathKey.Get(), "Path", installedFolder) &&
      lstrcmpiA(installedFolder.Get(), folder) == 0)
    DeleteKey(layout::kAppPaths, layout::kAppPathKey, report);
}
