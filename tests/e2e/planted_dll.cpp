// A DLL that stands for one planted by an attacker: loaded into a process,
// it leaves the marker C:\qvx-planted-dll-loaded naming that process's exe.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char exe[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, exe, MAX_PATH);
  HANDLE marker = CreateFileA("C:\\qvx-planted-dll-loaded", FILE_APPEND_DATA, FILE_SHARE_READ,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) {
    DWORD written;
    WriteFile(marker, exe, length, &written, nullptr);
    WriteFile(marker, "\r\n", 2, &written, nullptr);
    CloseHandle(marker);
  }
  return TRUE;
}
