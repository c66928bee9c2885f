#include "folder_browser.h"

#include "check.h"
#include "ui_probe.h"

namespace {

// "<number>KB free" or "<number>MB free"; empty only for a huge disk.
bool IsFreeSpaceText(const std::string& text) {
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  std::string unit = text.substr(digits);
  return digits > 0 && (unit == "KB free" || unit == "MB free");
}

}  // namespace

HWND OpenBrowser(SetupRun& run, HWND dialog) {
  PressButton(dialog, 1000);
  HWND browser = nullptr;
  WaitUntil([&] {
    browser = FindTopWindow(run.Proc().Id(), "#32770", texts::kFolderCaption);
    return browser && IsWindowVisible(browser);
  });
  Expect(browser != nullptr, "the browse button opens \"Setup Folder\"");
  return browser;
}

void SelectAndCheck(HWND browser, const RemoteTree& tree, HTREEITEM item, const std::string& path,
                    FreeSpace freeSpace) {
  Expect(item != nullptr && tree.Select(item), "selected %s", path.c_str());
  Expect(WaitForControlText(browser, 1028, path), "the folder read-out shows %s", path.c_str());
  std::string shown = ControlText(browser, 1001);
  if (freeSpace == FreeSpace::kFigure)
    Expect(IsFreeSpaceText(shown), "the free-space read-out is \"%s\"", shown.c_str());
  else
    ExpectText(shown, "", "the free-space read-out");
}
