// Installation runs: where the files go, what they look like, what is
// registered, and how failures leave the dialog.
#include "check.h"
#include "effects.h"
#include "scenario_kit.h"
#include "scenarios.h"
#include "ui_probe.h"

namespace {

void PrintInstallation(const std::string& folder) {
  Info("installed into %s:", folder.c_str());
  for (const char* name : texts::kProductFiles) {
    std::string content, written, created;
    ReadWholeFile(folder + "\\" + name, content);
    LocalFileTimes(folder + "\\" + name, written, created);
    Info("  %-18s %8zu bytes  %s", name, content.size(), written.c_str());
  }
  for (const char* place : {"Desktop", "Programs"}) {
    std::string target, description;
    std::string link = ShellFolder(place) + "\\QVX.lnk";
    if (ReadShellLink(link, target, description))
      Info("shortcut %s -> %s (\"%s\")", link.c_str(), target.c_str(), description.c_str());
  }
  std::string value;
  if (ReadRegistryText(HKEY_LOCAL_MACHINE, texts::kUninstallKey, "UninstallString", value))
    Info("HKLM\\%s UninstallString = %s", texts::kUninstallKey, value.c_str());
  if (ReadRegistryText(HKEY_LOCAL_MACHINE, texts::kAppPathKey, "Path", value))
    Info("HKLM\\%s Path = %s", texts::kAppPathKey, value.c_str());
}

// Presses OK, expects a message box with `message`, answers it, and expects
// the dialog back in its asking state.
void ExpectFailure(SetupRun& run, HWND dialog, const std::string& message, const char* screenshot) {
  PressButton(dialog, IDOK);
  HWND box = run.WaitForBox();
  if (!Expect(box != nullptr, "a message box appears")) return;
  ExpectText(MessageBoxText(box), message, "the message");
  Expect(GetDlgItem(box, IDOK) && !GetDlgItem(box, IDNO), "it has a single OK button");
  if (screenshot) Screenshot(box, screenshot);
  Expect(AnswerBox(box, IDOK), "OK closes the message");
  ExpectAsking(dialog, "after the failure");
}

}  // namespace

void InstallDefault() {
  SetupRun run;
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return;
  Screenshot(run.WaitForDialog(), "asking");
  HWND dialog = InstallInto(run, "");
  if (!dialog) return;
  ExpectInstalledState(dialog);
  Screenshot(dialog, "installed");
  ExpectFilesInstalled(texts::kDefaultFolder);
  ExpectShortcuts(texts::kDefaultFolder);
  ExpectRegistration(texts::kDefaultFolder);
  PrintInstallation(texts::kDefaultFolder);
  PressButton(dialog, IDCANCEL);
  Expect(run.WaitForEnd(), "Close ends the installer");

  SetupRun second;
  if (!Expect(second.Start(), "QvxSetup.exe starts again")) return;
  HWND box = second.WaitForBox();
  if (!Expect(box != nullptr, "the second start asks about the previous installation")) return;
  ExpectText(MessageBoxText(box), texts::kQuestion, "the question");
  Screenshot(box, "question");
  AnswerBox(box, IDYES);
  dialog = second.WaitForDialog();
  if (!Expect(dialog != nullptr, "the setup dialog appears")) return;
  ExpectText(ControlText(dialog, 1001), texts::kDefaultFolder, "the proposed folder");
  // Enter after a finished run closes the dialog like Close does.
  if (InstallInto(second, "")) {
    PressButton(dialog, IDOK);
    Expect(second.WaitForEnd(), "Enter after the success report ends the installer");
  }
}

void TypedFolder() {
  const std::string folder = "C:\\My Tools\\Quorvex Test";
  SetupRun run;
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return;
  HWND dialog = InstallInto(run, folder + "\\");
  if (!dialog) return;
  ExpectFilesInstalled(folder);
  ExpectShortcuts(folder);
  ExpectRegistration(folder);
  Expect(!FolderExists(texts::kDefaultFolder), "nothing went into the default folder");
  PressButton(dialog, IDCANCEL);
  Expect(run.WaitForEnd(), "Close ends the installer");
}

void LongPath() {
  const std::string tooLong = FolderOfLength(240);
  const std::string longest = FolderOfLength(239);
  SetupRun run;
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return;
  HWND dialog = run.WaitForDialog();
  if (!Expect(dialog != nullptr, "the setup dialog appears")) return;
  SetControlText(dialog, 1001, tooLong);
  ExpectFailure(run, dialog, "Cannot create directory\r\nPath length exceeds 256", "failure");
  ExpectText(ControlText(dialog, 1001), tooLong, "the edit keeps the typed folder");
  Expect(!FolderExists("C:\\Deep"), "no folder of the 240-character path was created");
  ExpectNoShortcutsNorRegistration();

  // One character less is accepted, and OK after a failure runs anew.
  HWND done = InstallInto(run, longest);
  if (!done) return;
  ExpectFilesInstalled(longest);
  PressButton(dialog, IDCANCEL);
  Expect(run.WaitForEnd(), "Close ends the installer");
}

void LockedFile() {
  const std::string folder = texts::kDefaultFolder;
  CreateFolderPath(folder);
  HANDLE held = CreateFileA((folder + "\\QVX.exe").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!Expect(held != INVALID_HANDLE_VALUE, "QVX.exe in the target is held open without sharing"))
    return;
  SetupRun run;
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return;
  HWND dialog = run.WaitForDialog();
  if (!Expect(dialog != nullptr, "the setup dialog appears")) return;
  ExpectFailure(run, dialog, "Error creating file", nullptr);
  Expect(!FileExists(folder + "\\qvx.tmp"), "no qvx.tmp is left after the failure");
  ExpectNoShortcutsNorRegistration();

  CloseHandle(held);
  if (!InstallInto(run, "")) return;
  ExpectFilesInstalled(folder);
  ExpectShortcuts(folder);
  ExpectRegistration(folder);
  PressButton(dialog, IDCANCEL);
  Expect(run.WaitForEnd(), "Close ends the installer");
}

void MissingDrive() {
  DWORD drives = GetLogicalDrives();
  char letter = 0;
  for (char candidate = 'Y'; candidate >= 'D' && !letter; --candidate)
    if (!(drives & (1u << (candidate - 'A')))) letter = candidate;
  if (!Expect(letter != 0, "a free drive letter exists")) return;
  const std::string folder = std::string(1, letter) + ":\\Quorvex";
  SetupRun run;
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return;
  HWND dialog = run.WaitForDialog();
  if (!Expect(dialog != nullptr, "the setup dialog appears")) return;
  SetControlText(dialog, 1001, folder);
  ExpectFailure(run, dialog, "Cannot create directory", nullptr);
  ExpectNoShortcutsNorRegistration();
  PressButton(dialog, IDCANCEL);
  Expect(run.WaitForEnd(), "Cancel ends the installer");
}

// A copy of the installer, under its own name in another folder, with one bit
// flipped in the middle of the stored data of its first entry: the payload is
// found in the file as the bytes of its resource, which the loader hands out.
void DamagedCopy() {
  constexpr char kDamaged[] =
      "The installer is damaged and cannot install Quorvex.\r\n\r\nObtain a new copy of the "
      "installer.";
  std::string exe;
  if (!Expect(ReadWholeFile(Env().setupExe, exe), "the installer can be read")) return;
  HMODULE image = LoadLibraryExA(Env().setupExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC found = image ? FindResourceA(image, MAKEINTRESOURCEA(129), RT_RCDATA) : nullptr;
  HGLOBAL loaded = found ? LoadResource(image, found) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!Expect(bytes != nullptr, "the installer has its payload resource")) return;
  const std::string payload(bytes, SizeofResource(image, found));
  FreeLibrary(image);
  const size_t at = exe.find(payload);
  if (!Expect(payload.size() > 8 && at != std::string::npos, "the payload lies in the file"))
    return;
  uint32_t length = 0;
  for (int i = 3; i >= 0; --i) length = length << 8 | static_cast<uint8_t>(payload[i]);
  exe[at + 4 + length / 2] ^= 0x10;

  const std::string folder = "C:\\Downloads";
  const std::string copy = folder + "\\QvxSetup.exe";
  CreateFolderPath(folder);
  HANDLE file = CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  const bool saved = file != INVALID_HANDLE_VALUE &&
                     WriteFile(file, exe.data(), static_cast<DWORD>(exe.size()), &written,
                               nullptr) &&
                     written == exe.size();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (!Expect(saved, "the damaged copy is written")) return;

  Env().setupExe = copy;
  SetupRun run;
  if (!Expect(run.Start(), "the damaged copy starts")) return;
  HWND box = run.WaitForBox();
  if (!Expect(box != nullptr, "a message box appears")) return;
  ExpectText(MessageBoxText(box), kDamaged, "the message");
  Expect(GetDlgItem(box, IDOK) && !GetDlgItem(box, IDNO), "it has a single OK button");
  Expect(FindTopWindow(run.Proc().Id(), "#32770", texts::kDialogCaption) == nullptr,
         "no setup dialog exists");
  Screenshot(box, "damaged");
  Expect(AnswerBox(box, IDOK), "OK closes the message");
  Expect(run.WaitForEnd(), "the installer ends");
  Expect(!FolderExists("C:\\Program Files\\Kelvane"), "no folder was created");
  ExpectNoShortcutsNorRegistration();
}
