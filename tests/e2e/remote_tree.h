// Reading a tree-view control of another process. Item handles travel in
// messages as they are; an item's text needs memory inside that process.
#pragma once

#include <windows.h>

// After windows.h, which it builds on.
#include <commctrl.h>

#include <string>

class RemoteTree {
 public:
  explicit RemoteTree(HWND tree);
  ~RemoteTree();
  RemoteTree(const RemoteTree&) = delete;
  RemoteTree& operator=(const RemoteTree&) = delete;

  HTREEITEM Next(HTREEITEM item, UINT relation) const;  // TVGN_*
  HTREEITEM Selection() const { return Next(nullptr, TVGN_CARET); }
  std::string Text(HTREEITEM item) const;
  bool Expanded(HTREEITEM item) const;
  // The child of `parent` (nullptr: a drive) with this text, or nullptr.
  HTREEITEM Child(HTREEITEM parent, const std::string& text) const;
  bool Select(HTREEITEM item) const;
  bool Expand(HTREEITEM item) const;

 private:
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const;

  HWND tree_;
  HANDLE process_ = nullptr;
  char* remote_ = nullptr;  // a TVITEMA followed by its text buffer
};
