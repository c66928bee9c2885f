// The whole life of an installation: install, use, remove, install again.
#include "check.h"
#include "effects.h"
#include "scenario_kit.h"
#include "scenarios.h"
#include "ui_probe.h"

namespace {

constexpr char kUninstallCaption[] = "Uninstall Quorvex";
constexpr char kUninstallQuestion[] = "Remove Quorvex and all of its components?";

bool InstallAndClose() {
  SetupRun run;
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return false;
  HWND dialog = InstallInto(run, "");
  if (!dialog) return false;
  PressButton(dialog, IDCANCEL);
  return Expect(run.WaitForEnd(), "Close ends the installer");
}

// Runs the registered uninstall command as Windows does and answers Yes.
bool RunUninstallCommand(Process& uninstaller) {
  std::string command;
  if (!Expect(
          ReadRegistryText(HKEY_LOCAL_MACHINE, texts::kUninstallKey, "UninstallString", command),
          "the uninstall command is registered"))
    return false;
  if (!Expect(uninstaller.Start(command), "%s starts", command.c_str())) return false;
  HWND box = WaitForTopWindow(uninstaller.Id(), "#32770", kUninstallCaption);
  if (!Expect(box != nullptr, "the uninstaller asks")) return false;
  ExpectText(MessageBoxText(box), kUninstallQuestion, "its question");
  Screenshot(box, "uninstall");
  Expect(AnswerBox(box, IDYES), "Yes closes the question");
  return Expect(uninstaller.WaitForExit(kWaitMs), "the uninstaller ends");
}

}  // namespace

void UninstallAll() {
  const std::string folder = texts::kDefaultFolder;
  if (!InstallAndClose()) return;

  Process product;
  if (Expect(product.Start("\"" + folder + "\\QVX.exe\""), "the installed QVX.exe starts")) {
    HWND window = WaitForTopWindow(product.Id(), nullptr, "Quorvex");
    if (Expect(window != nullptr, "its window \"Quorvex\" appears"))
      PostMessageA(window, WM_CLOSE, 0, 0);
    Expect(product.WaitForExit(kWaitMs), "QVX.exe ends when its window is closed");
  }

  Process uninstaller;
  if (!RunUninstallCommand(uninstaller)) return;
  // The finishing copy removes the uninstaller and the folder after the
  // original has ended; a message of its own means something was left.
  HWND complaint = nullptr;
  bool gone = WaitUntil([&] {
    complaint = FindTopWindow(0, "#32770", kUninstallCaption);
    return complaint || !FolderExists(folder);
  });
  if (complaint)
    Expect(false, "the uninstaller reports \"%s\"", Visible(MessageBoxText(complaint)).c_str());
  Expect(gone && !FolderExists(folder), "the folder %s is gone", folder.c_str());
  ExpectNoShortcutsNorRegistration();

  // A new installation finds nothing of the old one and asks nothing.
  SetupRun again;
  if (!Expect(again.Start(), "QvxSetup.exe starts again")) return;
  HWND dialog = InstallInto(again, "");
  if (!dialog) return;
  Expect(FindTopWindow(again.Proc().Id(), "#32770", texts::kBoxCaption) == nullptr,
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
  if (!RunUninstallCommand(uninstaller)) {
    CloseHandle(held);
    return;
  }
  HWND report = WaitForTopWindow(0, "#32770", kUninstallCaption);
  if (Expect(report != nullptr, "the uninstaller reports what it could not remove")) {
    std::string text = MessageBoxText(report);
    Info("it says \"%s\"", Visible(text).c_str());
    Expect(text.find("QVX.hlp (in use)") != std::string::npos,
           "the report names QVX.hlp as in use");
    Expect(text.find("was kept") != std::string::npos, "the report says the folder was kept");
    AnswerBox(report, IDOK);
  }
  CloseHandle(held);
  Expect(FileExists(folder + "\\QVX.hlp"), "QVX.hlp stays");
  for (const char* name : texts::kProductFiles)
    if (lstrcmpA(name, "QVX.hlp") != 0)
      Expect(!FileExists(folder + "\\" + name), "%s is gone", name);
  ExpectNoShortcutsNorRegistration();
}
