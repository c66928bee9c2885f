// The folder browser opened from the setup dialog's browse button.
#include <stdlib.h>

#include "check.h"
#include "folder_browser.h"
#include "remote_tree.h"
#include "scenario_kit.h"
#include "scenarios.h"
#include "ui_probe.h"

void BrowseFolder() {
  SetupRun run;
  if (!Expect(run.Start(), "QvxSetup.exe starts")) return;
  HWND dialog = run.WaitForDialog();
  if (!Expect(dialog != nullptr, "the setup dialog appears")) return;

  HWND browser = OpenBrowser(run, dialog);
  if (!browser) return;
  POINT owner = WindowCentre(dialog), self = WindowCentre(browser);
  Expect(abs(owner.x - self.x) <= 2 && abs(owner.y - self.y) <= 2,
         "it is centred over the setup dialog (%ld,%ld vs %ld,%ld)", self.x, self.y, owner.x,
         owner.y);

  // The start folder C:\Program Files\Kelvane\Quorvex exists only up to
  // Program Files: C: and Program Files are open, nothing is selected.
  RemoteTree tree(GetDlgItem(browser, 1013));
  HTREEITEM drive = tree.Child(nullptr, "C:");
  HTREEITEM programFiles = drive ? tree.Child(drive, "Program Files") : nullptr;
  Expect(drive && tree.Expanded(drive), "C: is open");
  Expect(programFiles && tree.Expanded(programFiles), "Program Files is open");
  Expect(programFiles && !tree.Child(programFiles, "Kelvane"), "there is no Kelvane folder");
  // The start folder itself is not there, so the dialog selects nothing. A
  // tree control may still select an item on its own when it takes the
  // focus (Wine selects the first drive); the read-out must then follow it.
  HTREEITEM selected = tree.Selection();
  if (selected == nullptr) {
    ExpectText(ControlText(browser, 1028), "", "with nothing selected, the folder read-out");
  } else {
    Expect(tree.Next(selected, TVGN_PARENT) == nullptr,
           "only a drive may be selected by the control itself");
    ExpectText(ControlText(browser, 1028), tree.Text(selected) + "\\",
               "the folder read-out of that drive");
  }
  Screenshot(browser, "browse");

  SelectAndCheck(browser, tree, programFiles, "C:\\Program Files\\");
  PressButton(browser, IDOK);
  Expect(WaitForWindowGone(browser), "OK closes the browser");
  ExpectText(ControlText(dialog, 1001), "C:\\Program Files", "the folder edit after OK");

  // A drive root comes back without its backslash; Cancel changes nothing.
  browser = OpenBrowser(run, dialog);
  if (!browser) return;
  RemoteTree again(GetDlgItem(browser, 1013));
  SelectAndCheck(browser, again, again.Child(nullptr, "C:"), "C:\\");
  PressButton(browser, IDOK);
  Expect(WaitForWindowGone(browser), "OK closes the browser");
  ExpectText(ControlText(dialog, 1001), "C:", "the folder edit after choosing the drive");

  browser = OpenBrowser(run, dialog);
  if (!browser) return;
  RemoteTree third(GetDlgItem(browser, 1013));
  HTREEITEM driveC = third.Child(nullptr, "C:");
  Expect(driveC && third.Expand(driveC), "C: opens");
  HTREEITEM windows = third.Child(driveC, "windows");
  SelectAndCheck(browser, third, windows, "C:\\" + third.Text(windows) + "\\");
  PressButton(browser, IDCANCEL);
  Expect(WaitForWindowGone(browser), "Cancel closes the browser");
  ExpectText(ControlText(dialog, 1001), "C:", "the folder edit after Cancel");

  PressButton(dialog, IDCANCEL);
  Expect(run.WaitForEnd(), "Cancel ends the installer");
}
