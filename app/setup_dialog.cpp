#include "app/setup_dialog.h"

#include <algorithm>

#include "app/install_run.h"
#include "app/setup_app.h"
#include "folderdlg/browse_target_folder.h"
#include "payload/payload_archive.h"
#include "payload/payload_reader.h"
#include "platform/ansi_path.h"
#include "shell/previous_install.h"

namespace qvx {

namespace {

constexpr char kPreviousInstallQuestion[] =
    "A previous installation of a Quorvex product found.\r\n\r\nContinue?";
constexpr char kPromptHead[] = "Install Quorvex?\r\n\r\n(requires ";
constexpr char kPromptTail[] = " MB of free disk space)";
// The product this installer was first made for takes 1.5 MB and its prompt
// says 2 MB; a smaller product says no less.
constexpr std::uint64_t kLeastMegabytes = 2;
constexpr std::uint64_t kMegabyte = 1024 * 1024;
constexpr char kProgramFiles[] = "\\Program Files";
constexpr char kProductFolder[] = "\\Kelvane\\Quorvex";
constexpr char kCloseText[] = "Close";

}  // namespace

std::string InstallPrompt(std::uint64_t productBytes) {
  const std::uint64_t megabytes =
      std::max(kLeastMegabytes, productBytes / kMegabyte + (productBytes % kMegabyte != 0));
  return kPromptHead + std::to_string(megabytes) + kPromptTail;
}

std::string DefaultTargetFolder(const std::string& windowsDirectory) {
  std::string drive = windowsDirectory.substr(0, 2);
  // Only the first byte, which always starts a character: the second may end
  // a two-byte one, and only a colon there makes a drive.
  if (!drive.empty()) drive[0] = AsciiUpper(drive[0]);
  bool hasDrive = drive.size() == 2 && drive[0] >= 'A' && drive[0] <= 'Z' && drive[1] == ':';
  std::string base = hasDrive ? drive + kProgramFiles : windowsDirectory;
  return base + kProductFolder;
}

SetupDialog::SetupDialog(SetupApp& app) : Dialog(app, kSetupDialogTemplate, 0), setupApp_(app) {}

void SetupDialog::TransferPrompt() { ui().SetWindowTextA(Item(kIdPrompt), promptText); }

void SetupDialog::ShowInstalled(const std::string& report) {
  promptText = report;
  TransferPrompt();
  ui().ShowWindow(browseButton, kSwHide);
  ui().ShowWindow(Item(kIdOk), kSwHide);
  ui().SetWindowTextA(Item(kIdCancel), kCloseText);
  folderEdit_.Show(false);
  pathLabel_.Show(false);
}

void SetupDialog::DoDataExchange() {
  Bind(placeholder_, kIdBrowse);
  Bind(pathLabel_, kIdPathLabel);
  Bind(folderEdit_, kIdFolderEdit);
}

bool SetupDialog::OnInitDialog() {
  TransferPrompt();
  ui().SetDialogIcon(hwnd(), kDialogIcon);
  CreateBrowseButton();

  TargetFolder = FindPreviousInstall(app().platform().registry);
  if (!TargetFolder.empty() && app().MessageBox(kPreviousInstallQuestion, kMbYesNo) != kIdYes) {
    // The dialog closes once initialisation is over; the rest below is
    // harmless and never seen.
    EndDialog(kIdCancel);
  }
  if (TargetFolder.empty()) {
    TargetFolder = DefaultTargetFolder(app().platform().system.GetWindowsDirectoryA());
  }
  folderEdit_.SetText(TargetFolder);
  promptText =
      InstallPrompt(ExpandedProductSize(app().platform().system.LockRcData(kPayloadResourceId)));
  TransferPrompt();
  return true;  // the framework focuses the first tab stop, OK
}

// The placeholder only marks the place: the icon button covers it, a little
// larger on every side.
void SetupDialog::CreateBrowseButton() {
  Rect rect = ui().GetWindowRect(placeholder_.hwnd());
  rect.left -= 2;
  rect.right += 2;
  rect.top -= 4;
  rect.bottom += 4;
  rect = ui().ScreenToClient(hwnd(), rect);
  browseButton = ui().CreateIconButton(hwnd(), kIdBrowse, rect, kBrowseIcon);
}

bool SetupDialog::ProcessMessage(const Message& message, std::intptr_t* result) {
  static constexpr MessageEntry<SetupDialog> kMessages[] = {
      {kWmCommand, kBnClicked, kIdOk, &SetupDialog::OnInstall},
      {kWmCommand, kBnClicked, kIdBrowse, &SetupDialog::OnBrowse},
      {kWmPaint, 0, 0, &SetupDialog::OnPaint},
      {kWmQueryDragIcon, 0, 0, &SetupDialog::OnQueryDragIcon},
  };
  // Painting is ours only while minimised; otherwise the dialog paints itself.
  if (message.message == kWmPaint && !ui().IsIconic(hwnd())) return false;
  return Dispatch(this, kMessages, message, result);
}

std::intptr_t SetupDialog::OnInstall(const Message&) {
  InstallRun(*this);
  return 0;
}

std::intptr_t SetupDialog::OnBrowse(const Message&) {
  BrowseTargetFolder(app(), hwnd(), setupApp_.platformKind(), TargetFolder, folderEdit_);
  return 0;
}

std::intptr_t SetupDialog::OnPaint(const Message&) {
  Size client = ui().GetClientSize(hwnd());
  Size icon = ui().GetSystemIconSize();
  ui().PaintIcon(hwnd(), kDialogIcon, (client.cx - icon.cx + 1) / 2, (client.cy - icon.cy + 1) / 2);
  return 0;
}

std::intptr_t SetupDialog::OnQueryDragIcon(const Message&) {
  return ui().QueryDragIcon(kDialogIcon);
}

}  // namespace qvx
