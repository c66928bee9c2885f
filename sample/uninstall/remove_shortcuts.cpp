#include <objidl.h>
#include <shlobj.h>

#include "product_layout.h"
#include "removal.h"

namespace {

bool ReadShellFolder(const char* valueName, PathText& folder) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, layout::kShellFolders, 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS)
    return false;
  DWORD size = MAX_PATH;
  char value[MAX_PATH + 1] = {};
  LONG status =
      RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || value[0] == '\0') return false;
  folder.Clear();
  folder.Append(value);
  return true;
}

// The target of the shell link at `linkPath`, or false when it cannot be read.
bool ReadLinkTarget(const char* linkPath, PathText& target) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return false;
  bool read = false;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    WCHAR widePath[MAX_PATH + 64];
    if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, MAX_PATH + 64) > 0 &&
        SUCCEEDED(file->Load(widePath, STGM_READ))) {
      char path[MAX_PATH + 1] = {};
      if (link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH) == S_OK) {
        target.Clear();
        target.Append(path);
        read = true;
      }
    }
    file->Release();
  }
  link->Release();
  return read;
}

}  // namespace

void RemoveShortcuts(const char* folder, RemovalReport& report) {
  PathText program = JoinPath(folder, layout::kProgramName);
  for (const char* valueName : layout::kLinkFolders) {
    PathText linkFolder;
    if (!ReadShellFolder(valueName, linkFolder)) continue;
    PathText linkPath = JoinPath(linkFolder.Get(), layout::kLinkName);
    if (GetFileAttributesA(linkPath.Get()) == INVALID_FILE_ATTRIBUTES) continue;
    PathText target;
    if (!ReadLinkTarget(linkPath.Get(), target)) {
      PathText line(linkPath.Get());
      line.Append(" could not be read and was kept.");
      report.Note(line.Get());
      continue;
    }
    // A later installation elsewhere saved its own shortcut here: keep it.
    if (lstrcmpiA(target.Get(), program.Get()) != 0) continue;
    RemoveOneFile(linkPath.Get(), report);
  }
}
