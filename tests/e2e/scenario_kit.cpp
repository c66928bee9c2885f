#include "scenario_kit.h"

#include <stdio.h>

#include "check.h"
#include "effects.h"
#include "ui_probe.h"

const LocaleNames* NamesFor(unsigned codePage) {
  // As byte escapes, so the bytes are exact. In each double-byte row the
  // pairs ending in 0x5C and the two siblings are defined characters of
  // that code page (932: 83 5C, 95 5C, 94 5C; siblings 83 61 and 83 41).
  // 949 has no second byte 0x5C; its pairs end in letters instead: Hangul
  // syllables GAGG 81 41 (U+AC02), GAEK 81 5A (U+AC34) and GYAEG 81 7A
  // (U+AC55) in the folder, GAET 81 61 (U+AC35) and GAGG 81 41 as siblings,
  // KAELM B0 41 (U+CE9A) as the installer's name.
  static const LocaleNames kNames[] = {
      {0, "C:\\My Tools\\Quorvex Test", "Beta", "Alpha", nullptr},
      {1252, "C:\\Programme\\\xdc" "bersicht", "Beta", "Alpha", nullptr},
      {932, "C:\\\x83\x5c" "a\\b\x95\x5c" "c\\d\x94\x5c", "\x83\x61", "\x83\x41", "\x95\x5c"},
      {936, "C:\\\x81\x5c" "a\\b\xd5\x5c" "c\\d\xb1\x5c", "\x81\x61", "\x81\x41", "\x81\x5c"},
      {950, "C:\\\xa5\x5c" "a\\b\xa7\x5c" "c\\d\xbb\x5c", "\xa4\x61", "\xa4\x41", "\xa5\x5c"},
      {949, "C:\\\x81\x41" "a\\b\x81\x5a" "c\\d\x81\x7a", "\x81\x61", "\x81\x41", "\xb0\x41"},
  };
  for (const LocaleNames& names : kNames)
    if (names.codePage == codePage) return &names;
  return nullptr;
}

Environment& Env() {
  static Environment environment;
  return environment;
}

void UseInstaller(const std::string& exe) {
  // By characters: a 0x5C byte may end a double-byte character.
  const char* name = exe.c_str();
  const char* dot = nullptr;
  for (const char* c = exe.c_str(); *c; c = CharNextA(c)) {
    if (*c == '\\' || *c == '/' || *c == ':') {
      name = c + 1;
      dot = nullptr;
    } else if (*c == '.') {
      dot = c;
    }
  }
  Env().setupExe = exe;
  Env().boxCaption.assign(name, dot ? dot : exe.c_str() + exe.size());
}

bool SetupRun::Start() { return process_.Start("\"" + Env().setupExe + "\""); }

HWND SetupRun::WaitForDialog() {
  HWND dialog = nullptr;
  WaitUntil([&] {
    dialog = FindTopWindow(process_.Id(), "#32770", texts::kDialogCaption);
    return dialog && IsWindowVisible(dialog);
  });
  return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
}

HWND SetupRun::WaitForBox() {
  return WaitForTopWindow(process_.Id(), "#32770", Env().boxCaption.c_str());
}

bool SetupRun::WaitForEnd() { return process_.WaitForExit(kWaitMs); }

bool AnswerBox(HWND box, int id) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  return WaitForWindowGone(box);
}

void Screenshot(HWND settle, const char* name) {
  // Let the window handle what is queued (its painting comes last), then
  // give the X server a moment: this only affects the picture, no check.
  DWORD_PTR ignored;
  if (settle) SendMessageTimeoutA(settle, WM_NULL, 0, 0, SMTO_NORMAL, kMessageWaitMs, &ignored);
  Sleep(300);
  printf("SCREENSHOT %s\n", name);
  fflush(stdout);
  std::string done = std::string("C:\\qvx-shots\\") + name + ".done";
  if (!WaitUntil([&] { return FileExists(done); }, Scaled(10000)))
    Info("screenshot %s was not taken", name);
}

HWND InstallInto(SetupRun& run, const std::string& folder) {
  HWND dialog = run.WaitForDialog();
  if (!Expect(dialog != nullptr, "the setup dialog appears")) return nullptr;
  if (!folder.empty())
    Expect(SetControlText(dialog, 1001, folder), "typed \"%s\" into the folder edit",
           folder.c_str());
  PressButton(dialog, IDOK);
  bool done = WaitForControlText(dialog, 1002, texts::kSuccess);
  if (!done) {
    HWND box = FindTopWindow(run.Proc().Id(), "#32770", Env().boxCaption.c_str());
    if (box) Info("the installer shows \"%s\"", Visible(MessageBoxText(box)).c_str());
  }
  return Expect(done, "the success report appears") ? dialog : nullptr;
}

bool InstallAndClose(const std::string& folder) {
  SetupRun run;
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return false;
  HWND dialog = InstallInto(run, folder);
  if (!dialog) return false;
  PressButton(dialog, IDCANCEL);
  return Expect(run.WaitForEnd(), "Close ends the installer");
}

void ExpectAsking(HWND dialog, const char* when) {
  ExpectText(ControlText(dialog, 1002), texts::kPrompt, "the prompt");
  Expect(ControlVisible(dialog, IDOK) && ControlVisible(dialog, IDCANCEL) &&
             ControlVisible(dialog, 1001) && ControlVisible(dialog, 1003) &&
             ControlVisible(dialog, 1000),
         "%s: OK, Cancel, the edit, its label and the browse button are shown", when);
  ExpectText(ControlText(dialog, IDCANCEL), "Cancel", "button 2");
}

void ExpectInstalledState(HWND dialog) {
  Expect(ControlVisible(dialog, IDCANCEL), "button 2 is shown");
  ExpectText(ControlText(dialog, IDCANCEL), "Close", "button 2");
  Expect(!ControlVisible(dialog, IDOK), "OK is hidden");
  Expect(!ControlVisible(dialog, 1001), "the folder edit is hidden");
  Expect(!ControlVisible(dialog, 1003), "the label is hidden");
  Expect(!ControlVisible(dialog, 1000), "the browse button is hidden");
  ExpectText(WindowText(dialog), texts::kDialogCaption, "the caption");
}

void ExpectFilesInstalled(const std::string& folder) {
  for (const char* name : texts::kProductFiles) {
    std::string installed, original, written, created;
    std::string path = folder + "\\" + name;
    if (!Expect(ReadWholeFile(path, installed), "%s exists", path.c_str())) continue;
    if (Expect(ReadWholeFile(Env().productFolder + "\\" + name, original),
               "product file %s is readable", name))
      Expect(installed == original, "%s equals the product's file (%zu bytes, product %zu)", name,
             installed.size(), original.size());
    if (Expect(LocalFileTimes(path, written, created), "%s has file times", name)) {
      Expect(written == texts::kFileStamp, "%s was last written %s", name, written.c_str());
      Expect(created == texts::kFileStamp, "%s was created %s", name, created.c_str());
    }
  }
  Expect(!FileExists(folder + "\\qvx.tmp"), "no qvx.tmp is left in %s", folder.c_str());
}

void ExpectShortcuts(const std::string& folder) {
  for (const char* place : {"Desktop", "Programs"}) {
    std::string link = ShellFolder(place) + "\\QVX.lnk";
    std::string target, description;
    if (!Expect(ReadShellLink(link, target, description), "%s shortcut %s can be read", place,
                link.c_str()))
      continue;
    ExpectText(target, folder + "\\QVX.exe", "its target");
    ExpectText(description, "Quorvex", "its description");
  }
}

void ExpectRegistration(const std::string& folder) {
  std::string value;
  Expect(ReadRegistryText(HKEY_LOCAL_MACHINE, texts::kUninstallKey, "DisplayName", value),
         "DisplayName is set");
  ExpectText(value, "Quorvex", "DisplayName");
  value.clear();
  Expect(ReadRegistryText(HKEY_LOCAL_MACHINE, texts::kUninstallKey, "UninstallString", value),
         "UninstallString is set");
  ExpectText(value, "\"" + folder + "\\QvxUninstall.exe\"", "UninstallString");
  value.clear();
  Expect(ReadRegistryText(HKEY_LOCAL_MACHINE, texts::kAppPathKey, nullptr, value),
         "the App Paths default is set");
  ExpectText(value, folder + "\\QVX.EXE", "the App Paths default");
  value.clear();
  Expect(ReadRegistryText(HKEY_LOCAL_MACHINE, texts::kAppPathKey, "Path", value), "Path is set");
  ExpectText(value, folder, "Path");
}

void ExpectNoShortcutsNorRegistration() {
  for (const char* place : {"Desktop", "Programs"})
    Expect(!FileExists(ShellFolder(place) + "\\QVX.lnk"), "no %s shortcut", place);
  Expect(!RegistryKeyExists(HKEY_LOCAL_MACHINE, texts::kUninstallKey), "no uninstall entry");
  Expect(!RegistryKeyExists(HKEY_LOCAL_MACHINE, texts::kAppPathKey), "no application-path entry");
}

HWND StartProposing(SetupRun& run, const std::string& folder) {
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return nullptr;
  HWND box = run.WaitForBox();
  if (!Expect(box != nullptr, "the question comes, captioned \"%s\"", Env().boxCaption.c_str()))
    return nullptr;
  ExpectText(MessageBoxText(box), texts::kQuestion, "the question");
  AnswerBox(box, IDYES);
  HWND dialog = run.WaitForDialog();
  if (!Expect(dialog != nullptr, "the setup dialog appears")) return nullptr;
  ExpectText(ControlText(dialog, 1001), folder, "the proposed folder");
  return dialog;
}

bool SeedPreviousInstall(const std::string& folder) {
  return WriteRegistryText(HKEY_LOCAL_MACHINE, texts::kAppPathKey, nullptr, folder + "\\QVX.EXE") &&
         WriteRegistryText(HKEY_LOCAL_MACHINE, texts::kAppPathKey, "Path", folder);
}

std::string FolderOfLength(size_t length) {
  std::string path = "C:\\Deep";
  while (path.size() + 10 < length)
    path += "\\Level" + std::to_string(path.size() % 1000).substr(0, 3);
  while (path.size() < length) path += 'x';
  return path;
}
