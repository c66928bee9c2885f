// The folder browser: a modal dialog with a tree of the machine's removable
// and fixed drives and their folders, read from disk only when an item is
// opened for the first time, and read-outs of the selected folder and of its
// drive's free space.
#pragma once

#include <cstdint>
#include <string>

#include "platform/framework.h"
#include "platform/tree_view.h"

namespace qvx {

inline constexpr int kFolderBrowseTemplateId = 149;
inline constexpr int kClosedFolderIconId = 178;
inline constexpr int kOpenFolderIconId = 179;
inline constexpr int kFreeSpaceEditId = 1001;
inline constexpr int kFolderStaticId = 1028;
inline constexpr int kFolderTreeId = 1013;

// Images of the tree's image list, in the order they are appended.
inline constexpr int kClosedFolderImage = 0;
inline constexpr int kOpenFolderImage = 1;

// The application's platform kind for which the free space is shown.
inline constexpr int kPlatformKindNt = 2;

class FolderBrowseDialog : public Dialog {
 public:
  // platformKind is the application's: 1 for the Windows 95/98 family, 2 for
  // the NT family.
  FolderBrowseDialog(Application& app, WindowHandle owner, int platformKind);
  ~FolderBrowseDialog() override;

  ImageList imageList = kNoImageList;
  // The starting folder before the run (with a trailing backslash); after each
  // selection change the selected item's path, which ends with a backslash.
  std::string selectedFolder;
  Control freeSpaceEdit;
  Control folderStatic;
  Control folderTree;

  // The item's folder path with one trailing backslash ("C:\", "C:\Windows\");
  // empty for no item.
  std::string GetItemPath(TreeItem item);
  // Reads the item's folder and inserts its listable sub-folders, sorted. On a
  // folder that cannot be read, tells the user and leaves the item empty.
  bool FillFolderItem(TreeItem item);
  // Whether the folder (no trailing backslash) holds a listable sub-folder.
  // Stops at the first one; a folder that cannot be read has none.
  bool HasSubfolders(const std::string& path);
  // The child of parent (kNoItem: the drives) whose text equals name, ignoring
  // the case of A to Z; with open set the match is read and expanded.
  TreeItem FindChildItem(TreeItem parent, const std::string& name, bool open);
  // The item of the path's last component, opening every component before it.
  TreeItem FindItemByPath(const std::string& path);
  // Selects and scrolls to the item of selectedFolder, when the tree has it.
  void SelectStartFolder();

 protected:
  void DoDataExchange() override;
  bool OnInitDialog() override;
  bool ProcessMessage(const Message& message, std::intptr_t* result) override;

 private:
  std::intptr_t OnItemExpanding(const Message& message);
  std::intptr_t OnSelChanged(const Message& message);

  void CreateImageList();
  void InsertDriveItems();
  void AddPlaceholder(TreeItem item);
  // The empty-text first child that stands for a folder not read yet.
  TreeItem Placeholder(TreeItem item);
  // Deletes the item's placeholder and reads its folder, when it has one.
  void ReadIfUnread(TreeItem item);
  // The item's text in whole characters of the system's code page.
  std::string ItemText(TreeItem item);
  TreeView& tree() const { return app().platform().treeView; }
  System& system() const { return app().platform().system; }

  int platformKind_;
};

}  // namespace qvx
