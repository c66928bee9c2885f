// The setup dialog as it first appears, with and without a previous
// installation.
#include "check.h"
#include "effects.h"
#include "scenario_kit.h"
#include "scenarios.h"
#include "ui_probe.h"

void FreshPrefix() {
  SetupRun run;
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return;
  HWND dialog = run.WaitForDialog();
  if (!Expect(dialog != nullptr, "\"Setup Quorvex\" appears without a question")) return;
  ExpectText(ControlText(dialog, 1001), texts::kDefaultFolder, "the proposed folder");
  ExpectText(ControlText(dialog, 1003), "Setup path:", "the label");
  ExpectAsking(dialog, "asking");
  Screenshot(dialog, "asking");
  PressButton(dialog, IDCANCEL);
  Expect(run.WaitForEnd(), "Cancel ends the installer");
  Expect(!FolderExists(texts::kDefaultFolder), "nothing was installed");
  ExpectNoShortcutsNorRegistration();
}

// Waits for the question about a previous installation and checks it; the
// setup dialog must not be visible behind it.
static HWND ExpectQuestion(SetupRun& run) {
  HWND box = run.WaitForBox();
  if (!Expect(box != nullptr, "a message box appears")) return nullptr;
  ExpectText(MessageBoxText(box), texts::kQuestion, "the question");
  Expect(GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO) && !GetDlgItem(box, IDOK),
         "it offers Yes and No only");
  HWND dialog = FindTopWindow(run.Proc().Id(), "#32770", texts::kDialogCaption);
  Expect(!dialog || !IsWindowVisible(dialog), "the setup dialog is not shown yet");
  return box;
}

void PreviousInstallNo() {
  Expect(SeedPreviousInstall("C:\\Apps\\Q"), "seeded a previous installation in C:\\Apps\\Q");
  SetupRun run;
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return;
  HWND box = ExpectQuestion(run);
  if (!box) return;
  Screenshot(box, "question");
  Expect(AnswerBox(box, IDNO), "No closes the question");
  bool dialogSeen = false;
  bool ended = WaitUntil([&] {
    HWND dialog = FindTopWindow(run.Proc().Id(), "#32770", texts::kDialogCaption);
    dialogSeen = dialogSeen || (dialog && IsWindowVisible(dialog));
    return !run.Proc().Running();
  });
  Expect(ended, "the installer ends after No");
  // Windows never shows a dialog that ended during its initialisation; Wine
  // shows it for a moment before its modal loop notices.
  if (dialogSeen) Info("the setup dialog flashed up while ending (a Wine trait)");
  Expect(!FolderExists("C:\\Apps\\Q"), "nothing was installed");
}

void PreviousInstallYes() {
  Expect(SeedPreviousInstall("C:\\Apps\\Q"), "seeded a previous installation in C:\\Apps\\Q");
  SetupRun run;
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return;
  HWND box = ExpectQuestion(run);
  if (!box) return;
  Expect(AnswerBox(box, IDYES), "Yes closes the question");
  HWND dialog = run.WaitForDialog();
  if (!Expect(dialog != nullptr, "the setup dialog appears")) return;
  ExpectText(ControlText(dialog, 1001), "C:\\Apps\\Q", "the proposed folder");
  ExpectAsking(dialog, "asking");
  PressButton(dialog, IDCANCEL);
  Expect(run.WaitForEnd(), "Cancel ends the installer");
}
