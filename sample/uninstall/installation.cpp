#include "installation.h"

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
  return !value.Truncated();
}

// The last character of a text, stepping over double-byte characters.
const char* LastCharacter(const char* text) {
  const char* end = text + lstrlenA(text);
  return end == text ? end : CharPrevA(text, end);
}

bool IsDriveAlone(const char* folder) {
  return folder[0] != '\0' && folder[1] == ':' && folder[2] == '\0';
}

}  // namespace

PathText NormalFolder(const char* folder) {
  PathText normal(folder);
  if (IsDriveAlone(normal.Get())) {
    normal.Append("\\");
  } else if (!IsDriveRoot(normal.Get()) && normal.Length() > 1) {
    char* last = normal.Data() + (LastCharacter(normal.Get()) - normal.Get());
    if (*last == '\\') *last = '\0';
  }
  return normal;
}

bool IsDriveRoot(const char* folder) {
  return folder[0] != '\0' && folder[1] == ':' && folder[2] == '\\' && folder[3] == '\0';
}

bool AppPathNames(const char* folder) {
  PathText key(layout::kAppPaths);
  key.Append("\\").Append(layout::kAppPathKey);
  PathText path;
  return ReadValue(key.Get(), "Path", path) &&
         lstrcmpiA(NormalFolder(path.Get()).Get(), folder) == 0;
}

bool UninstallEntryNames(const char* folder) {
  PathText key(layout::kUninstallList);
  key.Append("\\").Append(layout::kProductName);
  PathText command;
  if (!ReadValue(key.Get(), "UninstallString", command)) return false;
  // The installer writes the command quoted, so that folders with blanks work.
  PathText program;
  if (command.Get()[0] == '"') {
    program.Append(command.Get() + 1);
    char* last = program.Data() + (LastCharacter(program.Get()) - program.Get());
    if (*last == '"') *last = '\0';
  } else {
    program.Append(command.Get());
  }
  return lstrcmpiA(program.Get(), JoinPath(folder, layout::kUninstallerName).Get()) == 0;
}

bool IsRegisteredInstallation(const char* folder) {
  return AppPathNames(folder) || UninstallEntryNames(folder);
}
