// What the scenarios share: the installer's texts, a running installer, and
// checks of what an installation leaves behind.
#pragma once

#include <windows.h>

#include <string>

#include "processes.h"

namespace texts {
inline constexpr char kDialogCaption[] = "Setup Quorvex";
inline constexpr char kFolderCaption[] = "Setup Folder";
inline constexpr char kPrompt[] = "Install Quorvex?\r\n\r\n(requires 2 MB of free disk space)";
inline constexpr char kQuestion[] =
    "A previous installation of a Quorvex product found.\r\n\r\nContinue?";
inline constexpr char kSuccess[] =
    "The program has been successfully installed\r\n\r\nA shortcut (named QVX) can be found on "
    "Windows Desktop and "
    "in \"Programs\" of Windows \"Start\".";
inline constexpr char kDefaultFolder[] = "C:\\Program Files\\Kelvane\\Quorvex";
inline constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvex";
inline constexpr char kAppPathKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QVX.EXE";
inline constexpr const char* kProductFiles[] = {"QVX.exe",          "QVX.hlp",     "QVX.cnt",
                                                "QvxUninstall.exe", "default.rex", "default.stg"};
inline constexpr char kFileStamp[] = "2004-09-10 16:00:00";
}  // namespace texts

// What the scenarios name, by the ANSI code page of the run's locale (0: no
// locale). In 932, 936 and 950 a two-byte character's second byte may be
// 0x5C or a letter: `folder` has three names with such a 0x5C at their start,
// middle and end (in 949, which has no such 0x5C, a letter); the siblings
// (sub-folders of it) differ in a letter byte.
struct LocaleNames {
  unsigned codePage;
  const char* folder;
  const char* sibling;       // installed into
  const char* otherSibling;  // there before
  const char* setupName;     // the installer's file name less ".exe"; nullptr: as built
};
// nullptr for a code page without names.
const LocaleNames* NamesFor(unsigned codePage);

// The installer and the product files it should install, as Windows paths.
struct Environment {
  std::string setupExe;
  std::string productFolder;
  const LocaleNames* names = NamesFor(0);
  std::string boxCaption;  // the installer's file name less its extension
};
Environment& Env();

// Makes exe the installer that the scenarios start, and its file name, as
// the installer captions its message boxes with it, the caption they look
// for.
void UseInstaller(const std::string& exe);

// One run of QvxSetup.exe.
class SetupRun {
 public:
  bool Start();
  Process& Proc() { return process_; }
  // The visible setup dialog, or nullptr after the bounded wait.
  HWND WaitForDialog();
  // A message box of the installer, or nullptr.
  HWND WaitForBox();
  bool WaitForEnd();

 private:
  Process process_;
};

// Answers a message box with the button `id` (IDOK, IDYES, IDNO) and waits
// until it is gone.
bool AnswerBox(HWND box, int id);

// Asks run-in-prefix.sh for a picture of the screen and waits until it is
// taken; outside the harness it only waits its bounded time.
void Screenshot(HWND settle, const char* name);

// Types `folder` into the edit (unless empty), presses OK and waits for the
// success report. Returns the dialog, or nullptr when it did not succeed.
HWND InstallInto(SetupRun& run, const std::string& folder);

// A whole installation into `folder` (the proposed one when empty) by a new
// installer process, ended with Close. False when any step failed.
bool InstallAndClose(const std::string& folder = "");

void ExpectAsking(HWND dialog, const char* when);
void ExpectInstalledState(HWND dialog);
void ExpectFilesInstalled(const std::string& folder);
void ExpectShortcuts(const std::string& folder);
void ExpectRegistration(const std::string& folder);
void ExpectNoShortcutsNorRegistration();

// Starts the installer on a machine with an installation in `folder`,
// expects the question, answers Yes and expects `folder` proposed. Returns
// the setup dialog, or nullptr.
HWND StartProposing(SetupRun& run, const std::string& folder);

// Writes the application-path entry that a previous installation leaves.
bool SeedPreviousInstall(const std::string& folder);

// A folder path of exactly `length` characters on C:.
std::string FolderOfLength(size_t length);
