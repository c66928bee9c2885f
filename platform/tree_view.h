// Tree-view control operations (SysTreeView32 messages) and its image list.
// Items are opaque handles; 0 is no item. Expanding an item that has children
// raises TVN_ITEMEXPANDING, and selecting one raises TVN_SELCHANGED, at the
// dialog that owns the tree, synchronously, before the call returns.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui.h"

namespace qvx {

using TreeItem = std::uintptr_t;
inline constexpr TreeItem kNoItem = 0;

using ImageList = std::uintptr_t;
inline constexpr ImageList kNoImageList = 0;

enum class InsertAt { Last, Sorted };  // TVI_LAST, TVI_SORT

class TreeView {
 protected:
  // Destroyed by its own type, never through this base: no virtual
  // destructor, and no deleting destructor in each derived class's table.
  ~TreeView() = default;

 public:
  // TVM_INSERTITEMA with TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE; parent 0
  // inserts a top-level item.
  virtual TreeItem InsertItem(WindowHandle tree, TreeItem parent, InsertAt where,
                              const std::string& text, int image, int selectedImage) = 0;
  virtual bool DeleteItem(WindowHandle tree, TreeItem item) = 0;
  // TVM_GETNEXTITEM; TVGN_CHILD of item 0 is the first top-level item.
  virtual TreeItem GetNextItem(WindowHandle tree, TreeItem item, std::uint32_t code) = 0;
  // TVM_GETITEMA with TVIF_TEXT through a 260-character buffer.
  virtual std::string GetItemText(WindowHandle tree, TreeItem item) = 0;
  // TVM_SETITEMA with TVIF_IMAGE | TVIF_SELECTEDIMAGE.
  virtual bool SetItemImage(WindowHandle tree, TreeItem item, int image, int selectedImage) = 0;
  // TVM_SETITEMA with TVIF_STATE, state and mask TVIS_SELECTED.
  virtual bool SetItemSelectedState(WindowHandle tree, TreeItem item) = 0;
  virtual bool Expand(WindowHandle tree, TreeItem item, std::uint32_t action) = 0;
  virtual bool SelectItem(WindowHandle tree, TreeItem item, std::uint32_t code) = 0;
  virtual bool EnsureVisible(WindowHandle tree, TreeItem item) = 0;
  // TVM_SETIMAGELIST with TVSIL_NORMAL.
  virtual void SetImageList(WindowHandle tree, ImageList images) = 0;

  virtual ImageList ImageList_Create(int cx, int cy, std::uint32_t flags, int initial,
                                     int grow) = 0;
  // Appends (index -1) icon resource iconId, loaded with LoadIconA from the
  // program's module; returns the new image's index or -1.
  virtual int ImageList_AddIcon(ImageList images, int iconId) = 0;
  virtual void ImageList_Destroy(ImageList images) = 0;
};

}  // namespace qvx
