#include "uninstall.h"

#include "installation.h"
#include "private_folder.h"
#include "product_layout.h"
#include "removal.h"

namespace {

// How long the first stage waits for the copy to take over, and the copy for
// the first stage to end.
constexpr DWORD kHandOverWaitMs = 30000;

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

// A handle as the first stage writes it: decimal digits, nothing else.
bool ParseHandle(const char* text, HANDLE& handle) {
  ULONG_PTR value = 0;
  const char* digit = text;
  for (; *digit >= '0' && *digit <= '9'; ++digit) {
    ULONG_PTR add = static_cast<ULONG_PTR>(*digit - '0');
    if (value > (~ULONG_PTR{0} - add) / 10) return false;
    value = value * 10 + add;
  }
  if (digit == text || *digit != '\0' || value == 0) return false;
  handle = reinterpret_cast<HANDLE>(value);
  // The pseudo handles of this process and thread are no one else's.
  return handle != GetCurrentProcess() && handle != GetCurrentThread();
}

// A process handle whose process still runs: the first stage waits until
// the copy has said that it took over.
bool IsLiveProcess(HANDLE process) {
  DWORD exitCode = 0;
  return GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
}

void Refuse(const char* why) {
  TextBuffer<2 * MAX_PATH> message(why);
  message.Append("\r\n\r\nNothing was removed.");
  MessageBoxA(nullptr, message.Get(), "Uninstall Quorvex", MB_OK | MB_ICONEXCLAMATION);
}

// Cuts `path` after its last backslash; false when it has none.
bool CutAfterLastBackslash(PathText& path) {
  char* lastSlash = nullptr;
  for (char* c = path.Data(); *c; c = CharNextA(c))
    if (*c == '\\') lastSlash = c;
  if (!lastSlash) return false;
  lastSlash[1] = '\0';
  return true;
}

// The copy cannot delete its own running file, but it can move it: out of
// its private folder, which then goes at once; the file goes at the next
// restart. Where moving a running program fails, both wait for the restart.
// Only a copy in a folder of its own in the temp folder does this.
void LeaveTempFolder(const char* self) {
  char temp[MAX_PATH + 1];
  DWORD tempLength = GetTempPathA(MAX_PATH, temp);
  PathText folder(self);
  PathText parent;
  if (tempLength == 0 || tempLength > MAX_PATH || !CutAfterLastBackslash(folder)) return;
  folder.Data()[folder.Length() - 1] = '\0';
  parent.Append(folder.Get());
  if (!CutAfterLastBackslash(parent) || lstrcmpiA(parent.Get(), temp) != 0) return;
  PathText parked(folder.Get());
  parked.Append(".tmp");
  if (!parked.Truncated() && MoveFileA(self, parked.Get())) {
    MoveFileExA(parked.Get(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    RemoveDirectoryA(folder.Get());
    return;
  }
  MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExA(folder.Get(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
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
  PathText vendor;
  const bool underVendor = VendorFolderOf(folder, vendor);
  if (selfRunning) {
    ScheduleForRestart(uninstaller.Get(), report);
    if (!IsDriveRoot(folder)) ScheduleForRestart(folder, report);
    // At the restart, after the folder; a folder that is not empty then stays.
    if (underVendor) MoveFileExA(vendor.Get(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    report.Note("The uninstaller and its folder will be removed when Windows restarts.");
  } else {
    RemoveFileOnceReleased(uninstaller.Get(), report);
    RemoveFolderIfEmpty(folder, report);
    if (underVendor) RemoveDirectoryA(vendor.Get());
  }

  if (report.Clean()) return 0;
  TextBuffer<4608> message("Some components of Quorvex could not be removed:\r\n\r\n");
  message.Append(report.Lines());
  MessageBoxA(nullptr, message.Get(), "Uninstall Quorvex", MB_OK | MB_ICONEXCLAMATION);
  return 2;
}

HandOver HandOverToCopy(const char* selfPath, const char* folder) {
  PathText privateFolder;
  if (!CreatePrivateTempFolder(privateFolder)) return HandOver::NotStarted;
  PathText copy = JoinPath(privateFolder.Get(), layout::kUninstallerName);
  if (copy.Truncated() || !CopyFileA(selfPath, copy.Get(), TRUE)) {
    RemoveDirectoryA(privateFolder.Get());
    return HandOver::NotStarted;
  }

  // The copy receives, inherited, a handle to this process to wait on and an
  // event to set once it has checked what it was given; until then this
  // process stays, so that the copy finds it running.
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE self = nullptr;
  HANDLE ready = CreateEventA(&inherit, TRUE, FALSE, nullptr);
  if (!ready || !DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                                 &self, SYNCHRONIZE | PROCESS_QUERY_INFORMATION, TRUE, 0)) {
    if (ready) CloseHandle(ready);
    DeleteFileA(copy.Get());
    RemoveDirectoryA(privateFolder.Get());
    return HandOver::NotStarted;
  }
  char handles[48];
  wsprintfA(handles, "%lu %lu", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(self)),
            static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(ready)));
  // The folder is the last operand and its quotation runs to the end of the
  // line, unclosed: a closing quotation mark right after a byte 0x5C (the
  // backslash of a root such as C:\, or the second byte of a double-byte
  // character at the end of a name) would read as an escaped quotation mark
  // to a parser that does not know the code page, and doubling that byte
  // would break a parser that does.
  TextBuffer<3 * MAX_PATH> command("\"");
  command.Append(copy.Get()).Append("\" /finish ").Append(handles).Append(" \"").Append(folder);

  // The copy's current folder is the temp folder, not its own one, which it
  // removes at its end.
  char temp[MAX_PATH + 1];
  DWORD tempLength = GetTempPathA(MAX_PATH, temp);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  bool started = !command.Truncated() && tempLength > 0 && tempLength <= MAX_PATH &&
                 CreateProcessA(copy.Get(), command.Data(), nullptr, nullptr, TRUE, 0, nullptr,
                                temp, &startup, &process);
  CloseHandle(self);
  if (!started) {
    CloseHandle(ready);
    DeleteFileA(copy.Get());
    RemoveDirectoryA(privateFolder.Get());
    return HandOver::NotStarted;
  }
  CloseHandle(process.hThread);
  HANDLE either[2] = {ready, process.hProcess};
  DWORD woke = WaitForMultipleObjects(2, either, FALSE, kHandOverWaitMs);
  CloseHandle(process.hProcess);
  CloseHandle(ready);
  // A copy that ended without taking over has said why.
  return woke == WAIT_OBJECT_0 + 1 ? HandOver::Refused : HandOver::TakenOver;
}

int FinishAsCopy(const char* originalProcess, const char* readyEvent, const char* folder) {
  HANDLE original = nullptr;
  HANDLE ready = nullptr;
  if (!ParseHandle(originalProcess, original) || !ParseHandle(readyEvent, ready) ||
      !IsLiveProcess(original)) {
    Refuse("The uninstaller was not started by its own first stage.");
    return 2;
  }
  // Only the folder the first stage confirmed: the one the registry names
  // as the installation, in the form the first stage gives it.
  PathText confirmed = NormalFolder(folder);
  if (lstrcmpA(confirmed.Get(), folder) != 0 || !IsRegisteredInstallation(folder)) {
    PathText why("No installation of Quorvex was found in\r\n");
    why.Append(folder);
    Refuse(why.Get());
    return 2;
  }
  SetEvent(ready);
  CloseHandle(ready);
  // Bounded: if the original never ends, its file stays and is reported.
  WaitForSingleObject(original, kHandOverWaitMs);
  CloseHandle(original);

  int result = UninstallFolder(folder, false);

  char self[MAX_PATH + 1] = {};
  if (GetModuleFileNameA(nullptr, self, MAX_PATH) > 0) LeaveTempFolder(self);
  return result;
}
