#include "folderdlg/browse_target_folder.h"

#include "folderdlg/folder_browse_dialog.h"
#include "platform/ansi_path.h"

namespace qvx {

void BrowseTargetFolder(Application& app, WindowHandle owner, int platformKind,
                        std::string& targetFolder, const Control& targetEdit) {
  FolderBrowseDialog dialog(app, owner, platformKind);
  // Paths in the browser end with a backslash; OK without any selection
  // therefore gives back the starting folder unchanged.
  dialog.selectedFolder = targetFolder + "\\";
  if (dialog.DoModal() != kIdOk) return;

  targetFolder = dialog.selectedFolder;
  // One character is never shortened: an empty start comes back as "\".
  if (targetFolder.size() >= 2) RemoveTrailingBackslash(app.platform().system, targetFolder);
  targetEdit.SetText(targetFolder);
}

}  // namespace qvx
