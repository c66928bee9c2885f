#include "platform/win32/dll_search.h"

#include <windows.h>

namespace qvx {

namespace {

// Newer than the headers of the oldest Windows this program is built for.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD directoryFlags);
using SetDllDirectoryACall = BOOL(WINAPI*)(LPCSTR pathName);

// A kernel32 export, or nullptr where this Windows lacks it.
template <typename Call>
Call Kernel32Export(const char* name) {
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  if (kernel32 == nullptr) return nullptr;
  return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
  if (auto setDefaultDllDirectories =
          Kernel32Export<SetDefaultDllDirectoriesCall>("SetDefaultDllDirectories"))
    setDefaultDllDirectories(kLoadLibrarySearchSystem32);
  if (auto setDllDirectoryA = Kernel32Export<SetDllDirectoryACall>("SetDllDirectoryA"))
    setDllDirectoryA("");
}

}  // namespace qvx
