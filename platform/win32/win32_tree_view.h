// The tree-view operations over a SysTreeView32 control and comctl32 image
// lists. Declared without <windows.h> so that the composition root can hold
// one without seeing the Windows headers.
#pragma once

#include "platform/tree_view.h"

namespace qvx {

class Win32TreeView final : public TreeView {
 public:
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
};

}  // namespace qvx
