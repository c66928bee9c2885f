// Each operation is the TVM_ message or image-list call it names.
//
// Our header comes before <commctrl.h>: that header defines
// ImageList_AddIcon as a function-like macro, which would rewrite the
// method's name.
#include "platform/win32/win32_tree_view.h"

#include <windows.h>
// after <windows.h>, which it needs
#include <commctrl.h>

#undef ImageList_AddIcon

#include "platform/win_values.h"

namespace qvx {

static_assert(kTvgnNext == TVGN_NEXT && kTvgnParent == TVGN_PARENT && kTvgnChild == TVGN_CHILD &&
              kTvgnCaret == TVGN_CARET);
static_assert(kTveCollapse == TVE_COLLAPSE && kTveExpand == TVE_EXPAND);
static_assert(kTvsHasButtons == TVS_HASBUTTONS && kTvsHasLines == TVS_HASLINES &&
              kTvsLinesAtRoot == TVS_LINESATROOT);
static_assert(kIlcMask == ILC_MASK);
static_assert(kTvnSelChangedA == static_cast<std::int32_t>(TVN_SELCHANGEDA) &&
              kTvnItemExpandingA == static_cast<std::int32_t>(TVN_ITEMEXPANDINGA));

namespace {

constexpr int kItemTextBuffer = 260;  // 259 characters and the terminator

HWND Window(WindowHandle window) { return reinterpret_cast<HWND>(window); }
HTREEITEM Item(TreeItem item) { return reinterpret_cast<HTREEITEM>(item); }
HIMAGELIST Images(ImageList images) { return reinterpret_cast<HIMAGELIST>(images); }

// Kept out of line: each call of an imported function costs the image a base
// relocation, and the tree's messages go through this one call.
[[gnu::noinline]] LRESULT Send(WindowHandle tree, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageA(Window(tree), message, wParam, lParam);
}

}  // namespace

TreeItem Win32TreeView::InsertItem(WindowHandle tree, TreeItem parent, InsertAt where,
                                   const std::string& text, int image, int selectedImage) {
  TVINSERTSTRUCTA insert = {};
  insert.hParent = parent == kNoItem ? TVI_ROOT : Item(parent);
  insert.hInsertAfter = where == InsertAt::Sorted ? TVI_SORT : TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.item.pszText = const_cast<char*>(text.c_str());
  insert.item.iImage = image;
  insert.item.iSelectedImage = selectedImage;
  return static_cast<TreeItem>(Send(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

bool Win32TreeView::DeleteItem(WindowHandle tree, TreeItem item) {
  return Send(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(Item(item))) != 0;
}

TreeItem Win32TreeView::GetNextItem(WindowHandle tree, TreeItem item, std::uint32_t code) {
  // The first child of no item is the first top-level item.
  if (item == kNoItem && code == TVGN_CHILD) code = TVGN_ROOT;
  return static_cast<TreeItem>(
      Send(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(Item(item))));
}

std::string Win32TreeView::GetItemText(WindowHandle tree, TreeItem item) {
  char text[kItemTextBuffer] = {};
  TVITEMA query = {};
  query.mask = TVIF_TEXT;
  query.hItem = Item(item);
  query.pszText = text;
  query.cchTextMax = kItemTextBuffer;
  if (!Send(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query))) return "";
  // The control may hand back its own buffer instead of filling ours.
  const char* result = query.pszText != nullptr ? query.pszText : text;
  return std::string(result);
}

bool Win32TreeView::SetItemImage(WindowHandle tree, TreeItem item, int image, int selectedImage) {
  TVITEMA change = {};
  change.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  change.hItem = Item(item);
  change.iImage = image;
  change.iSelectedImage = selectedImage;
  return Send(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change)) != 0;
}

bool Win32TreeView::SetItemSelectedState(WindowHandle tree, TreeItem item) {
  TVITEMA change = {};
  change.mask = TVIF_STATE;
  change.hItem = Item(item);
  change.state = TVIS_SELECTED;
  change.stateMask = TVIS_SELECTED;
  return Send(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change)) != 0;
}

bool Win32TreeView::Expand(WindowHandle tree, TreeItem item, std::uint32_t action) {
  return Send(tree, TVM_EXPAND, action, reinterpret_cast<LPARAM>(Item(item))) != 0;
}

bool Win32TreeView::SelectItem(WindowHandle tree, TreeItem item, std::uint32_t code) {
  return Send(tree, TVM_SELECTITEM, code, reinterpret_cast<LPARAM>(Item(item))) != 0;
}

bool Win32TreeView::EnsureVisible(WindowHandle tree, TreeItem item) {
  return Send(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(Item(item))) != 0;
}

void Win32TreeView::SetImageList(WindowHandle tree, ImageList images) {
  Send(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(Images(images)));
}

ImageList Win32TreeView::ImageList_Create(int cx, int cy, std::uint32_t flags, int initial,
                                          int grow) {
  return reinterpret_cast<ImageList>(::ImageList_Create(cx, cy, flags, initial, grow));
}

int Win32TreeView::ImageList_AddIcon(ImageList images, int iconId) {
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId));
  if (icon == nullptr) return -1;
  return ImageList_ReplaceIcon(Images(images), -1, icon);
}

void Win32TreeView::ImageList_Destroy(ImageList images) { ::ImageList_Destroy(Images(images)); }

}  // namespace qvx
