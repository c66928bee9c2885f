// A simulated tree-view control for the host tests, behaving as SysTreeView32
// does where the folder browser relies on it:
// - Expanding an item that has children raises TVN_ITEMEXPANDING at the
//   tree's dialog first (synchronously, through SimUi::SendNotify), then
//   changes the expanded state; a non-zero answer stops it. An item without
//   children does not expand and raises nothing; expanding an expanded item,
//   or collapsing a collapsed one, does nothing.
// - Selecting an item makes it the caret, expanding its collapsed ancestors
//   first, then raises TVN_SELCHANGED; selecting the caret again raises
//   nothing. Collapsing an ancestor of the caret moves the caret to it.
// - Sorted insertion places an item before the first sibling whose text is
//   greater, ignoring the case of A to Z; equal texts keep insertion order.
// - Texts read back through a 260-character buffer (259 characters).
// - An image list keeps the image size it was created with, which is the
//   size the tree draws its images at.
// Anything the real control could crash on (an item that does not exist, a
// window that is not a live tree, a destroyed image list) is recorded as a
// failure in SimUi::failures().
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/sim_ui.h"
#include "platform/tree_view.h"

namespace qvx::sim {

struct SimTreeItem {
  TreeItem parent = kNoItem;
  std::vector<TreeItem> children;  // in display order
  std::string text;
  int image = 0;
  int selectedImage = 0;
  bool selectedState = false;  // TVIS_SELECTED: set explicitly or by becoming the caret
  bool expanded = false;
};

class SimTreeView : public TreeView {
 public:
  explicit SimTreeView(SimUi& ui) : ui_(ui) {}

  // --- TreeView ---
  TreeItem InsertItem(WindowHandle tree, TreeItem parent, InsertAt where, const std::string& text,
                      int image, int selectedImage) override;
  bool DeleteItem(WindowHandle tree, TreeItem item) override;
  TreeItem GetNextItem(WindowHandle tree, TreeItem item, std::uint32_t code) override;
  std::string GetItemText(WindowHandle tree, TreeItem item) override;
  bool SetItemImage(WindowHandle tree, TreeItem item, int image, int selectedImage) override;
  bool SetItemSelectedState(WindowHandle tree, TreeItem item) override;
  bool Expand(WindowHandle tree, TreeItem item, std::uint32_t action) override;
  bool SelectItem(WindowHandle tree, TreeItem item, std::uint32_t code) override;
  bool EnsureVisible(WindowHandle tree, TreeItem item) override;
  void SetImageList(WindowHandle tree, ImageList images) override;
  ImageList ImageList_Create(int cx, int cy, std::uint32_t flags, int initial, int grow) override;
  int ImageList_AddIcon(ImageList images, int iconId) override;
  void ImageList_Destroy(ImageList images) override;

  // --- Test control and observation ---
  // Every ImageList_Create from now on fails (returns no list).
  void FailImageListCreate(bool fail) { failImageListCreate_ = fail; }

  // The item reached from the top level by texts separated by backslashes
  // ("C:\\Program Files"), compared exactly; kNoItem when there is none.
  TreeItem FindItem(WindowHandle tree, const std::string& path) const;
  // The texts of item's children (kNoItem: the top-level items), in order.
  std::vector<std::string> ChildTexts(WindowHandle tree, TreeItem item) const;
  // The control draws an expand button exactly when the item has a child.
  bool HasExpandButton(WindowHandle tree, TreeItem item) const;
  // The item's state, or null.
  const SimTreeItem* Item(WindowHandle tree, TreeItem item) const;
  TreeItem Caret(WindowHandle tree) const;
  // Every item given to EnsureVisible, in order.
  std::vector<TreeItem> EnsureVisibleCalls(WindowHandle tree) const;
  ImageList AttachedImageList(WindowHandle tree) const;
  // The icon resources appended to an image list, in image-index order.
  std::vector<int> Icons(ImageList images) const;
  // The width and height of an image list's images, as created; 0 by 0 for
  // no list.
  std::pair<int, int> ImageSize(ImageList images) const;
  int LiveImageLists() const;

 private:
  struct Tree {
    std::map<TreeItem, SimTreeItem> items;
    std::vector<TreeItem> roots;
    TreeItem caret = kNoItem;
    ImageList images = kNoImageList;
    std::vector<TreeItem> ensureVisible;
  };
  struct Images {
    int width = 0;
    int height = 0;
    std::vector<int> icons;
    bool destroyed = false;
  };

  // The tree of a live SysTreeView32 window, created on first use; null (and
  // a recorded failure) for any other window.
  Tree* TreeOf(WindowHandle tree, const char* operation);
  const Tree* FindTree(WindowHandle tree) const;
  // The item, or null with a recorded failure.
  SimTreeItem* ItemOf(Tree& tree, TreeItem item, const char* operation);
  std::vector<TreeItem>& Siblings(Tree& tree, TreeItem parent);
  bool IsDescendant(const Tree& tree, TreeItem item, TreeItem ancestor) const;
  void Erase(Tree& tree, TreeItem item);
  std::intptr_t Notify(WindowHandle tree, std::int32_t code, TreeItem item, std::uint32_t action);
  void SetCaret(WindowHandle window, Tree& tree, TreeItem item);

  SimUi& ui_;
  std::map<WindowHandle, Tree> trees_;
  std::map<ImageList, Images> imageLists_;
  TreeItem nextItem_ = 0x4000;
  ImageList nextImageList_ = 0x7000;
  bool failImageListCreate_ = false;
};

}  // namespace qvx::sim
