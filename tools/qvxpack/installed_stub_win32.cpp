// Windows: the installer lies beside qvxpack.exe, as the zip holds them.
#include <windows.h>

#include <iterator>

#include "tools/qvxpack/file_io.h"
#include "tools/qvxpack/installed_stub.h"
#include "tools/qvxpack/wide_text.h"

namespace qvx::pack {

bool InstalledStubPath(std::string* path, std::string* error) {
  wchar_t self[32768];
  const DWORD n = GetModuleFileNameW(nullptr, self, std::size(self));
  if (n == 0 || n >= std::size(self)) {
    *error = "cannot tell where qvxpack.exe runs from (GetModuleFileNameW failed)";
    return false;
  }
  // In UTF-8 no byte of a character is that of a backslash. FolderOf keeps
  // the backslash of a drive's root only, so only so short a folder ends in
  // one.
  const std::string folder = FolderOf(Narrow(self));
  const bool root = folder.size() <= 3 && folder.back() == '\\';
  *path = folder + (root ? "" : "\\") + "QvxSetup.exe";
  return true;
}

}  // namespace qvx::pack
