#include "uninstall.h"

#include "product_layout.h"
#include "removal.h"

namespace {

// After a program ends, Windows may hold its file for a moment longer.
void RemoveFileOnceReleased(const char* path, RemovalReport& report) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (DeleteFileA(path)) return;
    DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
    Sleep(100);
  }
  RemoveOneFile(path, report);
}

void ScheduleForRestart(const char* path, RemovalReport& report) {
  if (!MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) report.Failed(path, GetLastError());
}

}  // namespace

int UninstallFolder(const char* folder, bool selfRunning) {
  RemovalReport report;
  if (SUCCEEDED(CoInitialize(nullptr))) {
    RemoveShortcuts(folder, report);
    CoUninitialize();
  } else {
    report.Note("The shortcuts to Quorvex could not be checked.");
  }
  RemoveRegistration(folder, report);
  RemoveProductFiles(folder, report);

  PathText uninstaller = JoinPath(folder, layout::kUninstallerName);
  if (selfRunning) {
    ScheduleForRestart(uninstaller.Get(), report);
    ScheduleForRestart(folder, report);
    report.Note("The uninstaller and its folder will be removed when Windows restarts.");
  } else {
    RemoveFileOnceReleased(uninstaller.Get(), report);
    RemoveFolderIfEmpty(folder, report);
  }

  if (report.Clean()) return 0;
  TextBuffer<4608> message("Some components of Quorvex could not be removed:\r\n\r\n");
  message.Append(report.Lines());
  MessageBoxA(nullptr, message.Get(), "Uninstall Quorvex", MB_OK | MB_ICONEXCLAMATION);
  return 2;
}

bool HandOverToCopy(const char* selfPath, const char* folder) {
  char temp[MAX_PATH + 1];
  DWORD tempLength = GetTempPathA(MAX_PATH, temp);
  if (tempLength == 0 || tempLength > MAX_PATH) return false;
  char copyName[64];
  wsprintfA(copyName, "QvxUninstall-%lu.exe", GetCurrentProcessId());
  PathText copy(temp);
  copy.Append(copyName);
  if (copy.Truncated() || !CopyFileA(selfPath, copy.Get(), FALSE)) return false;

  HANDLE self = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                       SYNCHRONIZE, TRUE, 0)) {
    DeleteFileA(copy.Get());
    return false;
  }
  char handleText[32];
  wsprintfA(handleText, "%lu", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(self)));
  TextBuffer<3 * MAX_PATH> command("\"");
  command.Append(copy.Get())
      .Append("\" /finish ")
      .Append(handleText)
      .Append(" \"")
      .Append(folder)
      .Append("\"");

  // The copy runs in the temp folder: a process's current folder cannot be
  // removed.
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  bool started =
      !command.Truncated() && CreateProcessA(copy.Get(), command.Data(), nullptr, nullptr, TRUE, 0,
                                             nullptr, temp, &startup, &process);
  CloseHandle(self);
  if (!started) {
    DeleteFileA(copy.Get());
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

int FinishAsCopy(const char* originalProcess, const char* folder) {
  ULONG_PTR value = 0;
  for (const char* digit = originalProcess; *digit >= '0' && *digit <= '9'; ++digit)
    value = value * 10 + static_cast<ULONG_PTR>(*digit - '0');
  HANDLE original = reinterpret_cast<HANDLE>(value);
  // Bounded: if the original never ends, its file stays and is reported.
  WaitForSingleObject(original, 30000);
  CloseHandle(original);

  int result = UninstallFolder(folder, false);

  // This copy in the temp folder cannot delete itself while it runs.
  char self[MAX_PATH + 1] = {};
  if (GetModuleFileNameA(nullptr, self, MAX_PATH) > 0)
    MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return result;
}
