// The whole life of an installation: install, use, remove, install again.
#include "check.h"
#include "effects.h"
#include "scenario_kit.h"
#include "scenarios.h"
#include "ui_probe.h"

// The process snapshot; after windows.h, which the headers above include.
#include <tlhelp32.h>

namespace {

constexpr char kUninstallCaption[] = "Uninstall Quorvex";
// A vendor's staging folder with the six files, never installed into.
constexpr char kStaging[] = "C:\\Staging\\Quorvex";

std::string Question(const std::string& folder) {
  return "Remove Quorvex and all of its components from\r\n" + folder + "?";
}

std::string NotFound(const std::string& folder) {
  return "No installation of Quorvex was found in\r\n" + folder + "\r\n\r\nNothing was removed.";
}

// Runs the registered uninstall command as Windows does and answers Yes to
// its question, which names `folder`. With `forgetKey`, that one of the two
// registry entries is deleted first: the other one still names the
// installation.
bool RunUninstallCommand(Process& uninstaller, const std::string& folder,
                         const char* forgetKey = nullptr) {
  std::string command;
  if (!Expect(
          ReadRegistryText(HKEY_LOCAL_MACHINE, texts::kUninstallKey, "UninstallString", command),
          "the uninstall command is registered"))
    return false;
  if (forgetKey)
    Expect(RegDeleteKeyA(HKEY_LOCAL_MACHINE, forgetKey) == ERROR_SUCCESS, "%s is deleted",
           forgetKey);
  if (!Expect(uninstaller.Start(command), "%s starts", command.c_str())) return false;
  HWND box = WaitForTopWindow(uninstaller.Id(), "#32770", kUninstallCaption);
  if (!Expect(box != nullptr, "the uninstaller asks")) return false;
  ExpectText(MessageBoxText(box), Question(folder), "its question");
  Screenshot(box, "uninstall");
  Expect(AnswerBox(box, IDYES), "Yes closes the question");
  return Expect(uninstaller.WaitForExit(kWaitMs), "the uninstaller ends");
}

// The finishing copy, which shows `box`, runs from a folder of its own in the
// temp folder, not from the temp folder itself, where any process may have
// placed a DLL beside it. Returns that folder.
std::string ExpectCopyInFolderOfItsOwn(HWND box) {
  DWORD pid = 0;
  GetWindowThreadProcessId(box, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  char image[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  bool named = process && QueryFullProcessImageNameA(process, 0, image, &size);
  if (process) CloseHandle(process);
  if (!Expect(named, "the finishing copy's file is known")) return "";
  const std::string path = image;
  const std::string folder = path.substr(0, path.rfind('\\'));
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string parent = folder.substr(0, folder.rfind('\\') + 1);
  Info("the finishing copy is %s", path.c_str());
  if (!Expect(lstrcmpiA(parent.c_str(), temp) == 0, "it runs from a folder in %s", temp)) return "";
  return folder;
}

// True while a program of that file name runs, the finishing copy included.
bool ProgramRuns(const char* fileName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  bool runs = false;
  for (BOOL more = Process32First(snapshot, &entry); more && !runs;
       more = Process32Next(snapshot, &entry))
    runs = lstrcmpiA(entry.szExeFile, fileName) == 0;
  CloseHandle(snapshot);
  return runs;
}

// The six product files in `folder`, as a vendor stages them.
bool StageProduct(const std::string& folder) {
  CreateFolderPath(folder);
  bool copied = true;
  for (const char* name : texts::kProductFiles) {
    const std::string from = Env().productFolder + "\\" + name;
    if (!CopyFileA(from.c_str(), (folder + "\\" + name).c_str(), FALSE)) copied = false;
  }
  return Expect(copied, "the product files are staged in %s", folder.c_str());
}

// The folder above `folder`, found by characters: in a double-byte code page
// its last byte may be the second half of one, 0x5C.
std::string ParentOf(const std::string& folder) {
  const char* last = nullptr;
  for (const char* c = folder.c_str(); *c; c = CharNextA(c))
    if (*c == '\\') last = c;
  return last ? folder.substr(0, last - folder.c_str()) : "";
}

void ExpectProductFilesIn(const std::string& folder) {
  for (const char* name : texts::kProductFiles)
    Expect(FileExists(folder + "\\" + name), "%s\\%s stays", folder.c_str(), name);
}

// Runs `command` with this process's inheritable handles, as the uninstaller
// starts its copy, and expects one message of the uninstaller that says
// `text`, then its end.
void ExpectUninstallerSays(const std::string& command, const std::string& text, const char* when) {
  std::string line = command;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!Expect(CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, "C:\\",
                             &startup, &info),
              "%s: %s starts", when, command.c_str()))
    return;
  HWND box = WaitForTopWindow(info.dwProcessId, "#32770", kUninstallCaption);
  if (Expect(box != nullptr, "%s: the uninstaller says something", when)) {
    ExpectText(MessageBoxText(box), text, when);
    AnswerBox(box, IDOK);
  }
  Expect(WaitForSingleObject(info.hProcess, kWaitMs) == WAIT_OBJECT_0, "%s: it ends", when);
  TerminateProcess(info.hProcess, 99);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

}  // namespace

// With a locale, into the typed folder of its code page.
void UninstallAll() {
  const bool typed = Env().names->codePage != 0;
  const std::string folder = typed ? Env().names->folder : texts::kDefaultFolder;
  if (!InstallAndClose(typed ? folder : "")) return;

  Process product;
  if (Expect(product.Start("\"" + folder + "\\QVX.exe\""), "the installed QVX.exe starts")) {
    HWND window = WaitForTopWindow(product.Id(), nullptr, "Quorvex");
    if (Expect(window != nullptr, "its window \"Quorvex\" appears"))
      PostMessageA(window, WM_CLOSE, 0, 0);
    Expect(product.WaitForExit(kWaitMs), "QVX.exe ends when its window is closed");
  }

  Process uninstaller;
  if (!RunUninstallCommand(uninstaller, folder)) return;
  // The finishing copy removes the uninstaller, the folder and the one
  // above it after the original has ended, then ends; a message of its own
  // means something was left.
  HWND complaint = nullptr;
  bool gone = WaitUntil([&] {
    complaint = FindTopWindow(0, "#32770", kUninstallCaption);
    return complaint || (!FolderExists(folder) && !ProgramRuns("QvxUninstall.exe"));
  });
  if (complaint)
    Expect(false, "the uninstaller reports \"%s\"", Visible(MessageBoxText(complaint)).c_str());
  Expect(gone && !FolderExists(folder), "the folder %s is gone", folder.c_str());
  // The vendor's folder above the proposed one goes with it; the empty
  // parent of a folder of the user's choice stays.
  const std::string parent = ParentOf(folder);
  Expect(FolderExists(parent) == typed, "the folder above it, %s, %s", parent.c_str(),
         typed ? "stays" : "is gone");
  ExpectNoShortcutsNorRegistration();

  // A new installation finds nothing of the old one and asks nothing.
  SetupRun again;
  if (!Expect(again.Start(), "QvxSetup.exe starts again")) return;
  HWND dialog = InstallInto(again, typed ? folder : "");
  if (!dialog) return;
  Expect(FindTopWindow(again.Proc().Id(), "#32770", Env().boxCaption.c_str()) == nullptr,
         "no question was asked");
  ExpectFilesInstalled(folder);
  ExpectRegistration(folder);
  PressButton(dialog, IDCANCEL);
  Expect(again.WaitForEnd(), "Close ends the installer");
}

void UninstallInUse() {
  const std::string folder = texts::kDefaultFolder;
  if (!InstallAndClose()) return;
  HANDLE held = CreateFileA((folder + "\\QVX.hlp").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!Expect(held != INVALID_HANDLE_VALUE, "QVX.hlp is held open without sharing")) return;

  Process uninstaller;
  if (!RunUninstallCommand(uninstaller, folder, texts::kAppPathKey)) {
    CloseHandle(held);
    return;
  }
  HWND report = WaitForTopWindow(0, "#32770", kUninstallCaption);
  std::string copyFolder;
  if (report) copyFolder = ExpectCopyInFolderOfItsOwn(report);
  if (Expect(report != nullptr, "the uninstaller reports what it could not remove")) {
    std::string text = MessageBoxText(report);
    Info("it says \"%s\"", Visible(text).c_str());
    Expect(text.find("QVX.hlp (in use)") != std::string::npos,
           "the report names QVX.hlp as in use");
    Expect(text.find("was kept") != std::string::npos, "the report says the folder was kept");
    AnswerBox(report, IDOK);
  }
  if (!copyFolder.empty())
    Expect(WaitUntil([&] { return !FolderExists(copyFolder); }), "the copy's folder %s is gone",
           copyFolder.c_str());
  CloseHandle(held);
  Expect(FileExists(folder + "\\QVX.hlp"), "QVX.hlp stays");
  for (const char* name : texts::kProductFiles)
    if (lstrcmpA(name, "QVX.hlp") != 0)
      Expect(!FileExists(folder + "\\" + name), "%s is gone", name);
  ExpectNoShortcutsNorRegistration();
}

// An uninstaller started in a folder that is not the installation the
// registry names removes nothing there, nor anything of the installation.
void UninstallElsewhere() {
  const std::string uninstaller = std::string("\"") + kStaging + "\\QvxUninstall.exe\"";
  if (!StageProduct(kStaging)) return;
  ExpectUninstallerSays(uninstaller, NotFound(kStaging), "with nothing installed");
  ExpectProductFilesIn(kStaging);

  if (!InstallAndClose()) return;
  ExpectUninstallerSays(uninstaller, NotFound(kStaging), "with Quorvex installed elsewhere");
  ExpectProductFilesIn(kStaging);
  ExpectFilesInstalled(texts::kDefaultFolder);
  ExpectShortcuts(texts::kDefaultFolder);
  ExpectRegistration(texts::kDefaultFolder);
}

// The finishing stage started by anyone but the first stage: with a handle
// that is no process, the handle of a process that has ended or the pseudo
// handle of the current process (~0 in 64 bits, and -1 in 32, which a 64-bit
// program sign-extends), with an operand more, or with a live process and a
// folder that is no installation. Nothing is removed, without a question.
void UninstallForgedFinish() {
  const std::string folder = texts::kDefaultFolder;
  if (!InstallAndClose() || !StageProduct(kStaging)) return;
  const std::string installed = "\"" + folder + "\\QvxUninstall.exe\" /finish ";
  auto number = [](HANDLE h) { return std::to_string(reinterpret_cast<ULONG_PTR>(h)); };
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE event = CreateEventA(&inherit, TRUE, FALSE, nullptr);
  HANDLE self = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                  SYNCHRONIZE | PROCESS_QUERY_INFORMATION, TRUE, 0);
  HANDLE ended = nullptr;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  std::string exit = "cmd.exe /c exit";
  if (Expect(CreateProcessA(nullptr, exit.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                            nullptr, "C:\\", &startup, &info),
             "%s starts", exit.c_str())) {
    Expect(WaitForSingleObject(info.hProcess, kWaitMs) == WAIT_OBJECT_0, "and ends");
    DuplicateHandle(GetCurrentProcess(), info.hProcess, GetCurrentProcess(), &ended, 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  const std::string rest = " " + number(event) + " \"" + folder + "\"";
  const std::pair<std::string, const char*> forged[] = {
      {"12345 67890 \"" + folder + "\"", "a handle that is none"},
      {number(ended) + rest, "the handle of a process that has ended"},
      {number(self) + rest + " more", "an operand more"},
      {"18446744073709551615" + rest, "the current process as ~0"},
      {"4294967295" + rest, "the current process as -1 in 32 bits"},
  };
  for (const auto& [operands, when] : forged)
    ExpectUninstallerSays(installed + operands,
                          "The uninstaller was not started by its own first stage.\r\n\r\n"
                          "Nothing was removed.",
                          when);
  ExpectUninstallerSays(installed + number(self) + " " + number(event) + " \"" + kStaging + "\"",
                        NotFound(kStaging), "a live process and a folder never installed");
  CloseHandle(ended);
  CloseHandle(self);
  CloseHandle(event);

  ExpectProductFilesIn(kStaging);
  ExpectFilesInstalled(folder);
  ExpectRegistration(folder);
}

// An installation at a drive's root, stored as "C:": the uninstaller names
// and removes it as "C:\", and keeps the root and everything else in it.
void UninstallRoot() {
  if (!InstallAndClose("C:\\")) return;
  ExpectFilesInstalled("C:");

  Process uninstaller;
  if (!RunUninstallCommand(uninstaller, "C:\\", texts::kUninstallKey)) return;
  // The copy's last step follows the removal of the files: wait for its end.
  HWND complaint = nullptr;
  bool gone = WaitUntil([&] {
    complaint = FindTopWindow(0, "#32770", kUninstallCaption);
    return complaint || !ProgramRuns("QvxUninstall.exe");
  });
  if (complaint)
    Expect(false, "the uninstaller reports \"%s\"", Visible(MessageBoxText(complaint)).c_str());
  Expect(gone, "the uninstaller has ended");
  for (const char* name : texts::kProductFiles)
    Expect(!FileExists(std::string("C:\\") + name), "C:\\%s is gone", name);
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, temp);
  Expect(FolderExists(temp), "the temp folder %s stays", temp);
  Expect(FolderExists("C:\\windows\\system32"), "the rest of C:\\ stays");
  ExpectNoShortcutsNorRegistration();

  // Without a temp folder no copy can start: the uninstaller removes the
  // rest itself and leaves its own file, never the root, to the restart.
  if (!InstallAndClose("C:\\")) return;
  SetEnvironmentVariableA("TMP", "C:\\NoTemp");
  SetEnvironmentVariableA("TEMP", "C:\\NoTemp");
  Process alone;
  Expect(alone.Start("C:\\QvxUninstall.exe"), "the uninstaller starts without a temp folder");
  HWND box = WaitForTopWindow(alone.Id(), "#32770", kUninstallCaption);
  if (Expect(box != nullptr, "it asks")) AnswerBox(box, IDYES);
  box = WaitForTopWindow(alone.Id(), "#32770", kUninstallCaption);
  if (Expect(box != nullptr, "it tells what waits for the restart")) {
    ExpectText(MessageBoxText(box),
               "Some components of Quorvex could not be removed:\r\n\r\nThe uninstaller and "
               "its folder will be removed when Windows restarts.\r\n",
               "its report");
    AnswerBox(box, IDOK);
  }
  Expect(alone.WaitForExit(kWaitMs), "it ends");
  HKEY key = nullptr;
  char pending[4096] = {};
  DWORD size = sizeof(pending) - 2;
  Expect(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                       0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS &&
             RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                              reinterpret_cast<BYTE*>(pending), &size) == ERROR_SUCCESS,
         "files wait for the restart");
  if (key) RegCloseKey(key);
  std::string names;
  for (const char* name = pending; *name || name[1]; name += lstrlenA(name) + 1)
    names += std::string(name) + "|";
  Info("waiting for the restart: %s", names.c_str());
  Expect(names.find("C:\\QvxUninstall.exe|") != std::string::npos, "the uninstaller's file");
  Expect(names.find("C:\\|") == std::string::npos, "not the root");
}
