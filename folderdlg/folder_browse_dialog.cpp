// The dialog itself: its initialisation and the two tree notifications.
#include "folderdlg/folder_browse_dialog.h"

#include "folderdlg/free_space.h"

namespace qvx {

namespace {

constexpr char kTitle[] = "Setup Folder";
constexpr std::uint32_t kTreeStylesAdded = kTvsHasButtons | kTvsHasLines | kTvsLinesAtRoot;

}  // namespace

FolderBrowseDialog::FolderBrowseDialog(Application& app, WindowHandle owner, int platformKind)
    : Dialog(app, kFolderBrowseTemplateId, owner), platformKind_(platformKind) {}

FolderBrowseDialog::~FolderBrowseDialog() {
  // The tree does not own its image list; it is gone with the dialog's window.
  if (imageList != kNoImageList) tree().ImageList_Destroy(imageList);
}

void FolderBrowseDialog::DoDataExchange() {
  Bind(freeSpaceEdit, kFreeSpaceEditId);
  Bind(folderStatic, kFolderStaticId);
  Bind(folderTree, kFolderTreeId);
}

bool FolderBrowseDialog::OnInitDialog() {
  ui().SetWindowTextA(hwnd(), kTitle);
  CreateImageList();
  WindowHandle treeWindow = folderTree.hwnd();
  ui().SetWindowStyle(treeWindow, ui().GetWindowStyle(treeWindow) | kTreeStylesAdded);
  tree().SetImageList(treeWindow, imageList);
  InsertDriveItems();
  SelectStartFolder();
  ui().SetFocus(treeWindow);
  return false;  // the focus stays on the tree
}

void FolderBrowseDialog::CreateImageList() {
  imageList = tree().ImageList_Create(16, 16, kIlcMask, 0, 8);
  if (imageList == kNoImageList) {
    // No images then; the tree works without them.
    app().platform().system.Beep(99, 99);
    return;
  }
  tree().ImageList_AddIcon(imageList, kClosedFolderIconId);
  tree().ImageList_AddIcon(imageList, kOpenFolderIconId);
}

void FolderBrowseDialog::InsertDriveItems() {
  FileSystem& files = app().platform().files;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string drive = {letter, ':'};
    std::uint32_t type = files.GetDriveTypeA(drive + "\\");
    if (type != kDriveRemovable && type != kDriveFixed) continue;
    // Only the type is asked here: an empty removable drive costs nothing
    // until the user opens it.
    TreeItem item = tree().InsertItem(folderTree.hwnd(), kNoItem, InsertAt::Last, drive,
                                      kClosedFolderImage, kClosedFolderImage);
    if (item != kNoItem) AddPlaceholder(item);
  }
}

bool FolderBrowseDialog::ProcessMessage(const Message& message, std::intptr_t* result) {
  static const MessageEntry<FolderBrowseDialog> kMessages[] = {
      {kWmNotify, kTvnItemExpandingA, kFolderTreeId, &FolderBrowseDialog::OnItemExpanding},
      {kWmNotify, kTvnSelChangedA, kFolderTreeId, &FolderBrowseDialog::OnSelChanged},
  };
  return Dispatch(this, kMessages, message, result);
}

std::intptr_t FolderBrowseDialog::OnItemExpanding(const Message& message) {
  // The image changes before the reading, so an item whose folder cannot be
  // read still shows as opened.
  const bool expanding = (message.action & (kTveExpand | kTveCollapse)) == kTveExpand;
  const int image = expanding ? kOpenFolderImage : kClosedFolderImage;
  tree().SetItemImage(folderTree.hwnd(), message.item, image, image);
  ReadIfUnread(message.item);
  return 0;  // let the expansion or collapse go ahead
}

std::intptr_t FolderBrowseDialog::OnSelChanged(const Message& message) {
  selectedFolder = GetItemPath(message.item);
  TreeItem selected = tree().GetNextItem(folderTree.hwnd(), kNoItem, kTvgnCaret);
  if (selected != kNoItem) {
    folderStatic.SetText(GetItemPath(selected));
    if (platformKind_ == kPlatformKindNt) {
      freeSpaceEdit.SetText(FormatFreeSpace(app().platform().files, selectedFolder));
    }
  }
  return 0;
}

}  // namespace qvx
