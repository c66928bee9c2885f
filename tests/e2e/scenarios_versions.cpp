// windows_version: the installer on the Windows version its prefix claims.
// run-in-prefix.sh sets the prefix's version from QVX_WINDOWS_VERSION;
// QVX_PLATFORM_ID is the platform family that version reports (the table of
// versions is in CMakeLists.txt). Family 0 is refused before any dialog,
// 1 and 2 install, and only 2 shows the free space in the folder browser.
// damaged: a copy of the installer with one bit flipped is refused the same way;
// with QVX_DAMAGE=zero_tail, one whose payload is zeros from entry 4's length
// field to its end, as a download cut short into a file allocated in advance
// leaves it.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "effects.h"
#include "folder_browser.h"
#include "scenario_kit.h"
#include "scenarios.h"
#include "ui_probe.h"

namespace {

constexpr char kRefusal[] = "Only Windows 95, 98 or NT4.0";

// The family asked for, or -1 when QVX_PLATFORM_ID is not 0, 1 or 2.
int PlatformIdAsked() {
  char value[8] = {};
  DWORD length = GetEnvironmentVariableA("QVX_PLATFORM_ID", value, sizeof(value));
  if (length != 1 || value[0] < '0' || value[0] > '2') return -1;
  return value[0] - '0';
}

void ExpectRefusal(SetupRun& run, const char* message = kRefusal, const char* shot = "refusal") {
  HWND box = run.WaitForBox();
  if (!Expect(box != nullptr, "a message box appears")) return;
  ExpectText(MessageBoxText(box), message, "the message");
  Expect(FindTopWindow(run.Proc().Id(), "#32770", texts::kDialogCaption) == nullptr,
         "no setup dialog exists");
  Screenshot(box, shot);
  Expect(AnswerBox(box, IDOK), "OK closes the message");
  Expect(run.WaitForEnd(), "the installer ends");
  Expect(!FolderExists(texts::kDefaultFolder), "nothing was installed");
  ExpectNoShortcutsNorRegistration();
}

// The browser's read-outs for C:\Program Files, then an installation into
// the default folder.
void ExpectInstallation(SetupRun& run, FreeSpace freeSpace) {
  HWND dialog = run.WaitForDialog();
  if (!Expect(dialog != nullptr, "the setup dialog appears")) return;
  HWND browser = OpenBrowser(run, dialog);
  if (!browser) return;
  RemoteTree tree(GetDlgItem(browser, 1013));
  HTREEITEM drive = tree.Child(nullptr, "C:");
  HTREEITEM programFiles = drive ? tree.Child(drive, "Program Files") : nullptr;
  SelectAndCheck(browser, tree, programFiles, "C:\\Program Files\\", freeSpace);
  SelectAndCheck(browser, tree, drive, "C:\\", freeSpace);
  PressButton(browser, IDCANCEL);
  Expect(WaitForWindowGone(browser), "Cancel closes the browser");

  if (!InstallInto(run, "")) return;
  ExpectFilesInstalled(texts::kDefaultFolder);
  ExpectShortcuts(texts::kDefaultFolder);
  ExpectRegistration(texts::kDefaultFolder);
  PressButton(dialog, IDCANCEL);
  Expect(run.WaitForEnd(), "Close ends the installer");
}

}  // namespace

DWORD ExitStatusForPlatform() {
  return PlatformIdAsked() == 0 ? texts::kExitRefused : texts::kExitInstalled;
}

void WindowsVersion() {
  int family = PlatformIdAsked();
  if (!Expect(family >= 0, "QVX_PLATFORM_ID is 0, 1 or 2")) return;
  // The prefix's version holds for every program in it, this one included:
  // a version Wine does not know would leave its default, the NT family.
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  Expect(GetVersionExA(&version), "GetVersionExA answers");
  const char* name = getenv("QVX_WINDOWS_VERSION");
  Info("Windows version %s: %lu.%lu, platform %lu", name ? name : "(not set)",
       version.dwMajorVersion, version.dwMinorVersion, version.dwPlatformId);
  if (!Expect(version.dwPlatformId == static_cast<DWORD>(family), "the prefix reports platform %d",
              family))
    return;

  SetupRun run;
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return;
  if (family == 0)
    ExpectRefusal(run);
  else
    ExpectInstallation(run, family == 2 ? FreeSpace::kFigure : FreeSpace::kEmpty);
}

// The copy has one bit flipped in the middle of its first entry's stored data,
// or its zero-filled tail; the payload is found in the file as the bytes the
// loader gives for it.
void DamagedCopy() {
  HMODULE image = LoadLibraryExA(Env().setupExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC found = image ? FindResourceA(image, MAKEINTRESOURCEA(129), RT_RCDATA) : nullptr;
  const char* payload =
      found ? static_cast<const char*>(LockResource(LoadResource(image, found))) : nullptr;
  const size_t size = found ? SizeofResource(image, found) : 0;
  std::string exe;
  const size_t at = payload && ReadWholeFile(Env().setupExe, exe)
                        ? exe.find(std::string(payload, size))
                        : std::string::npos;
  if (!Expect(at != std::string::npos, "the installer's payload lies in its file")) return;
  char damage[16] = {};
  GetEnvironmentVariableA("QVX_DAMAGE", damage, sizeof(damage));
  uint32_t length = 0;
  if (strcmp(damage, "zero_tail") == 0) {
    size_t entry = 0;  // entry 4's length field
    for (int i = 0; i < 4; ++i, entry += 4 + length) memcpy(&length, payload + entry, 4);
    exe.replace(at + entry, size - entry, size - entry, '\0');
  } else {
    memcpy(&length, payload, 4);
    exe[at + 4 + length / 2] ^= 0x10;
  }
  UseInstaller("C:\\Downloads\\QvxSetup.exe");
  FILE* copy = CreateFolderPath("C:\\Downloads") ? fopen(Env().setupExe.c_str(), "wb") : nullptr;
  if (!Expect(copy && fwrite(exe.data(), 1, exe.size(), copy) == exe.size() && fclose(copy) == 0,
              "the damaged copy is written"))
    return;
  SetupRun run;
  if (!Expect(run.Start(), "the damaged copy starts")) return;
  ExpectRefusal(run,
                "The installer is damaged and cannot install Quorvex.\r\n\r\nObtain a new copy "
                "of the installer.",
                "damaged");
}
