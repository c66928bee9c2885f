// Windows: the installer lies beside qvxpack.exe, as the zip holds them.
#include <windows.h>

#include "tools/qvxpack/file_io.h"
#include "tools/qvxpack/installed_stub.h"

namespace qvx::pack {

bool InstalledStubPath(std::string* path, std::string* error) {
  char self[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n == 0 || n >= sizeof self) {
    *error = "cannot tell where qvxpack.exe runs from (GetModuleFileNameA failed)";
    return false;
  }
  // FolderOf steps over double-byte characters, whose second byte may be
  // that of a backslash; it keeps the backslash of a drive's root only, so
  // only so short a folder can end in one.
  const std::string folder = FolderOf(std::string(self, n));
  const bool root = folder.size() <= 3 && folder.back() == '\\';
  *path = folder + (root ? "" : "\\") + "QvxSetup.exe";
  return true;
}

}  // namespace qvx::pack
