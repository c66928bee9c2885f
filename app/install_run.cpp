#include "app/install_run.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/create_directory_path.h"
#include "app/setup_dialog.h"
#include "payload/payload_archive.h"
#include "payload/target_names.h"
#include "platform/ansi_path.h"
#include "shell/product_shortcut.h"
#include "shell/registration.h"
#include "shell/shell_folders.h"

namespace qvx {

namespace {

constexpr char kCannotCreateDirectory[] = "Cannot create directory";
constexpr char kPathTooLong[] = "\r\nPath length exceeds 256";

constexpr char kSuccessReport[] =
    "The program has been successfully installed\r\n\r\n"
    "A shortcut (named QVX) can be found on Windows Desktop and in \"Programs\" of Windows "
    "\"Start\".";

// The product's program, the target of both shortcuts.
constexpr std::size_t kProgramEntry = 0;

const char* ExtractMessage(ExtractResult result) {
  switch (result) {
    case ExtractResult::TempCreateDiskFull:
      return "No space on disk";
    case ExtractResult::TempCreateBadPath:
      return "Invalid Path";
    case ExtractResult::TempCreateFailed:
      return "File Error";
    case ExtractResult::WriteDiskFull:
      return "Disk full\r\nCorrect and retry";
    case ExtractResult::TargetCreateFailed:
      return "Error creating file";
    case ExtractResult::WriteFailed:
    case ExtractResult::ExpandFailed:
    case ExtractResult::Ok:
      break;
  }
  return "Error in installation";
}

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Drops white space from both ends.
std::string TrimBlanks(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && IsBlank(text[begin])) ++begin;
  return text.substr(begin, end - begin);
}

// The edit's text as the run uses it everywhere: surrounding white space
// dropped (the folder that gets created is the trimmed one, so the files,
// shortcuts and registry entries must name that one too), then one trailing
// backslash removed, and with it any blanks it stood behind ("D:\Q \").
std::string RunFolder(System& system, const std::string& text) {
  std::string folder = TrimBlanks(text);
  if (RemoveTrailingBackslash(system, folder)) folder = TrimBlanks(folder);
  return folder;
}

// Writes every entry of the payload into folder; the first failure ends the
// walk. The archive is finished on every outcome before the caller reports.
ExtractResult ExtractPayload(Platform& platform, const std::string& folder) {
  PayloadArchive archive(platform.system, platform.files);
  archive.Open();
  ExtractResult result = ExtractResult::Ok;
  for (std::size_t i = 0; i < kTargetNames.size() && archive.HasNextEntry(); ++i) {
    result = archive.ExtractEntry(folder, kTargetNames[i]);
    if (result != ExtractResult::Ok) break;
  }
  archive.Finish(folder);
  return result;
}

// The shortcuts and the registry entries. Their failures are silent: the
// files are in place and the report is already showing.
void RecordInstallation(Platform& platform, SetupDialog& dialog, const std::string& folder,
                        const ShellFolders& shellFolders) {
  // Uninitialise only what was initialised: a refused CoInitialize must not
  // be balanced.
  bool com = platform.shellLink.CoInitialize() >= 0;
  std::string program = folder + "\\" + std::string(kTargetNames[kProgramEntry]);
  CreateProductShortcut(platform.shellLink, program, shellFolders.desktop);
  CreateProductShortcut(platform.shellLink, program, shellFolders.programs);
  dialog.TargetFolder = folder;
  RegisterAppPath(platform.registry, dialog.TargetFolder);
  RegisterUninstall(platform.registry, dialog.TargetFolder);
  if (com) platform.shellLink.CoUninitialize();
}

}  // namespace

void InstallRun(SetupDialog& dialog) {
  // After success OK is hidden, so this is Enter: it closes, as Close does.
  if (dialog.installed) {
    dialog.EndWithCancel();
    return;
  }
  // An OK that arrives through one of the run's own message boxes.
  if (dialog.installing) return;

  Platform& platform = dialog.app().platform();
  WaitCursor wait(platform.ui);
  dialog.installing = true;

  ShellFolders shellFolders = ReadShellFolders(platform.registry);
  std::string folder = RunFolder(platform.system, dialog.FolderText());

  std::int32_t code = CreateDirectoryPath(platform.system, platform.files, folder);
  if (code != 0) {
    std::string message = kCannotCreateDirectory;
    if (code == kPathTooLongResult) message += kPathTooLong;
    dialog.app().MessageBox(message);
    dialog.installing = false;
    return;
  }

  ExtractResult result = ExtractPayload(platform, folder);
  if (result != ExtractResult::Ok) {
    dialog.app().MessageBox(ExtractMessage(result));
    dialog.installing = false;
    return;
  }

  dialog.ShowInstalled(kSuccessReport);
  RecordInstallation(platform, dialog, folder, shellFolders);
  dialog.installed = true;
  dialog.installing = false;
}

}  // namespace qvx
