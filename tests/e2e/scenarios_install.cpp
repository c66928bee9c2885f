// Installation runs: where the files go, what they look like, what is
// registered, and how failures leave the dialog.
#include "check.h"
#include "effects.h"
#include "folder_browser.h"
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
  dialog = StartProposing(second, texts::kDefaultFolder);
  if (!dialog) return;
  // Enter after a finished run closes the dialog like Close does.
  if (InstallInto(second, "")) {
    PressButton(dialog, IDOK);
    Expect(second.WaitForEnd(), "Enter after the success report ends the installer");
  }
}

// A folder typed without a trailing backslash; the next start proposes it,
// the browser opens on it, and a sub-folder typed with one backslash
// replaces it. The start after that proposes the sub-folder, the browser
// selects it and not its sibling, and hands back its parent when picked.
void TypedFolder() {
  const LocaleNames& names = *Env().names;
  const std::string folder = names.folder;
  const std::string inner = folder + "\\" + names.sibling;
  if (!InstallAndClose(folder)) return;
  ExpectFilesInstalled(folder);
  ExpectShortcuts(folder);
  ExpectRegistration(folder);
  Expect(!FolderExists(texts::kDefaultFolder), "nothing went into the default folder");
  // Listed before the installation's own sub-folder in any order.
  Expect(CreateFolderPath(folder + "\\" + names.otherSibling), "the sibling folder is made");

  SetupRun second;
  HWND dialog = StartProposing(second, folder);
  if (!dialog) return;
  HWND browser = OpenBrowser(second, dialog);
  if (!browser) return;
  ExpectText(ControlText(browser, 1028), folder + "\\", "the browser's start folder");
  PressButton(browser, IDCANCEL);
  Expect(WaitForWindowGone(browser), "Cancel closes the browser");
  if (!InstallInto(second, inner + "\\")) return;
  ExpectFilesInstalled(inner);
  ExpectShortcuts(inner);
  ExpectRegistration(inner);
  PressButton(dialog, IDCANCEL);
  Expect(second.WaitForEnd(), "Close ends the installer");

  SetupRun third;
  dialog = StartProposing(third, inner);
  if (!dialog) return;
  browser = OpenBrowser(third, dialog);
  if (!browser) return;
  RemoteTree tree(GetDlgItem(browser, 1013));
  ExpectText(ControlText(browser, 1028), inner + "\\", "the browser's start folder");
  HTREEITEM selected = tree.Selection();
  SelectAndCheck(browser, tree, selected ? tree.Next(selected, TVGN_PARENT) : nullptr,
                 folder + "\\");
  PressButton(browser, IDOK);
  Expect(WaitForWindowGone(browser), "OK closes the browser");
  ExpectText(ControlText(dialog, 1001), folder, "the folder edit after OK");
  PressButton(dialog, IDCANCEL);
  Expect(third.WaitForEnd(), "Cancel ends the installer");
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
