// The installer's main window: proposes a target folder, lets the user type
// another or pick one with the folder browser, and on OK runs the
// installation, after which it shows the report and only a Close button.
#pragma once

#include <cstdint>
#include <string>

#include "platform/framework.h"

namespace qvx {

class SetupApp;

// Dialog template and the ids of its controls.
inline constexpr int kSetupDialogTemplate = 102;
inline constexpr int kIdBrowse = 1000;  // the placeholder, and the browse button over it
inline constexpr int kIdFolderEdit = 1001;
inline constexpr int kIdPrompt = 1002;
inline constexpr int kIdPathLabel = 1003;

// Icons: the dialog's own, and the closed folder on the browse button.
inline constexpr int kDialogIcon = 128;
inline constexpr int kBrowseIcon = 178;

// The folder proposed when no earlier installation is known:
// "X:\Program Files\Kelvane\Quorvex" on the drive of the Windows directory,
// or the whole Windows directory + "\Kelvane\Quorvex" when it does not start
// with a drive letter and a colon (a network path, for instance).
std::string DefaultTargetFolder(const std::string& windowsDirectory);

// The prompt, naming the free disk space a product of productBytes needs:
// whole megabytes (1,048,576 bytes), rounded up, never below 2.
std::string InstallPrompt(std::uint64_t productBytes);

class SetupDialog : public Dialog {
 public:
  explicit SetupDialog(SetupApp& app);

  SetupApp& setupApp() const { return setupApp_; }

  // The folder the dialog stands for: the proposal, a browse result, or the
  // folder just installed into. Typed text reaches only the edit.
  std::string TargetFolder;
  // The text of the multi-line static; shown by TransferPrompt.
  std::string promptText;
  // The icon button over the placeholder; 0 until the dialog initialises.
  WindowHandle browseButton = 0;
  bool installed = false;
  bool installing = false;

  // Writes promptText into its control (one way, field to control).
  void TransferPrompt();
  // The current text of the folder edit, as the user left it.
  std::string FolderText() const { return folderEdit_.GetText(); }
  // Turns the dialog into its final report: the text in the prompt, and of
  // the buttons only Cancel, now named "Close".
  void ShowInstalled(const std::string& report);
  // Ends the modal run as Cancel does.
  void EndWithCancel() { EndDialog(kIdCancel); }

 protected:
  void DoDataExchange() override;
  bool OnInitDialog() override;
  bool ProcessMessage(const Message& message, std::intptr_t* result) override;

 private:
  void CreateBrowseButton();
  std::intptr_t OnInstall(const Message& message);
  std::intptr_t OnBrowse(const Message& message);
  std::intptr_t OnPaint(const Message& message);
  std::intptr_t OnQueryDragIcon(const Message& message);

  SetupApp& setupApp_;
  Control placeholder_;
  Control pathLabel_;
  Control folderEdit_;
};

}  // namespace qvx
