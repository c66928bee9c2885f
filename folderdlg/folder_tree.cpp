// The drive-and-folder tree: item paths, lazy reading of folders, and the
// walk that finds, opens and selects the starting folder.
#include <string_view>

#include "folderdlg/folder_browse_dialog.h"
#include "platform/ansi_path.h"

namespace qvx {

namespace {

// A sub-folder the tree lists: a directory, not "." or "..", and not a system
// folder. Hidden folders are listed; plain files never are.
bool IsListedFolder(const FindData& entry) {
  if ((entry.dwFileAttributes & kFileAttributeDirectory) == 0) return false;
  if (entry.cFileName == "." || entry.cFileName == "..") return false;
  return (entry.dwFileAttributes & kFileAttributeSystem) == 0;
}

}  // namespace

std::string FolderBrowseDialog::ItemText(TreeItem item) {
  // A name longer than the control's read-back buffer comes back cut, maybe
  // inside a character; its lead byte alone would swallow the backslash that
  // follows it in a path.
  return std::string(WithoutSplitCharacter(system(), tree().GetItemText(folderTree.hwnd(), item)));
}

std::string FolderBrowseDialog::GetItemPath(TreeItem item) {
  std::string path;
  for (; item != kNoItem; item = tree().GetNextItem(folderTree.hwnd(), item, kTvgnParent)) {
    path = ItemText(item) + "\\" + path;
  }
  return path;
}

bool FolderBrowseDialog::FillFolderItem(TreeItem item) {
  WaitCursor busy(ui());
  FileSystem& files = app().platform().files;
  const std::string folder = GetItemPath(item);
  FindData entry;
  FindHandle find = files.FindFirstFileA(folder + "*.*", &entry);
  if (find == kInvalidFindHandle) {
    app().MessageBox("Error Drive: " + folder.substr(0, 2) + "\r\nCorrect and try again");
    return false;
  }
  do {
    if (!IsListedFolder(entry)) continue;
    TreeItem child = tree().InsertItem(folderTree.hwnd(), item, InsertAt::Sorted, entry.cFileName,
                                       kClosedFolderImage, kClosedFolderImage);
    if (child != kNoItem && HasSubfolders(folder + entry.cFileName)) AddPlaceholder(child);
  } while (files.FindNextFileA(find, &entry));
  files.FindClose(find);
  return true;
}

bool FolderBrowseDialog::HasSubfolders(const std::string& path) {
  FileSystem& files = app().platform().files;
  FindData entry;
  FindHandle find = files.FindFirstFileA(path + "\\*.*", &entry);
  if (find == kInvalidFindHandle) return false;
  bool found = false;
  do {
    found = IsListedFolder(entry);
  } while (!found && files.FindNextFileA(find, &entry));
  files.FindClose(find);
  return found;
}

void FolderBrowseDialog::AddPlaceholder(TreeItem item) {
  tree().InsertItem(folderTree.hwnd(), item, InsertAt::Last, "", kClosedFolderImage,
                    kClosedFolderImage);
}

TreeItem FolderBrowseDialog::Placeholder(TreeItem item) {
  TreeItem child = tree().GetNextItem(folderTree.hwnd(), item, kTvgnChild);
  if (child == kNoItem || !ItemText(child).empty()) return kNoItem;
  return child;
}

void FolderBrowseDialog::ReadIfUnread(TreeItem item) {
  TreeItem placeholder = Placeholder(item);
  if (placeholder == kNoItem) return;
  tree().DeleteItem(folderTree.hwnd(), placeholder);
  FillFolderItem(item);
}

TreeItem FolderBrowseDialog::FindChildItem(TreeItem parent, const std::string& name, bool open) {
  WindowHandle treeWindow = folderTree.hwnd();
  TreeItem match = tree().GetNextItem(treeWindow, parent, kTvgnChild);
  // Folder names match whatever the case of their letters A to Z; other
  // characters (the code page's accented letters, double-byte ones) must be
  // equal.
  while (match != kNoItem && !EqualIgnoringAsciiCase(system(), ItemText(match), name)) {
    match = tree().GetNextItem(treeWindow, match, kTvgnNext);
  }
  if (match != kNoItem && open) {
    ReadIfUnread(match);
    // Raises the expanding notification, which shows the open-folder image.
    tree().Expand(treeWindow, match, kTveExpand);
  }
  return match;
}

TreeItem FolderBrowseDialog::FindItemByPath(const std::string& path) {
  TreeItem item = kNoItem;
  std::string_view rest = path;
  while (!rest.empty()) {
    std::size_t slash = FindFirstBackslash(system(), rest);
    std::string_view component = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    item = FindChildItem(item, std::string(component), !rest.empty());
    if (item == kNoItem) return kNoItem;
  }
  return item;
}

void FolderBrowseDialog::SelectStartFolder() {
  WindowHandle treeWindow = folderTree.hwnd();
  TreeItem item = FindItemByPath(selectedFolder);
  if (item != kNoItem) {
    tree().SetItemSelectedState(treeWindow, item);
    tree().SelectItem(treeWindow, item, kTvgnCaret);  // raises the selection change
  }
  TreeItem selected = tree().GetNextItem(treeWindow, kNoItem, kTvgnCaret);
  if (selected != kNoItem) tree().EnsureVisible(treeWindow, selected);
}

}  // namespace qvx
