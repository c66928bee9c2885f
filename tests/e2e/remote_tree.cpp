#include "remote_tree.h"

#include "ui_probe.h"

namespace {
constexpr SIZE_T kTextSize = 260;
}

RemoteTree::RemoteTree(HWND tree) : tree_(tree) {
  DWORD pid = 0;
  GetWindowThreadProcessId(tree, &pid);
  process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process_)
    remote_ = static_cast<char*>(
        VirtualAllocEx(process_, nullptr, sizeof(TVITEMA) + kTextSize, MEM_COMMIT, PAGE_READWRITE));
}

RemoteTree::~RemoteTree() {
  if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
}

LRESULT RemoteTree::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(tree_, message, wParam, lParam, SMTO_NORMAL, kMessageWaitMs, &result))
    return 0;
  return static_cast<LRESULT>(result);
}

HTREEITEM RemoteTree::Next(HTREEITEM item, UINT relation) const {
  return reinterpret_cast<HTREEITEM>(
      Send(TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::string RemoteTree::Text(HTREEITEM item) const {
  if (!remote_ || !item) return std::string();
  TVITEMA request = {};
  request.mask = TVIF_TEXT;
  request.hItem = item;
  request.pszText = remote_ + sizeof(TVITEMA);
  request.cchTextMax = kTextSize;
  char text[kTextSize] = {};
  SIZE_T moved = 0;
  if (!WriteProcessMemory(process_, remote_, &request, sizeof(request), &moved) ||
      !WriteProcessMemory(process_, remote_ + sizeof(TVITEMA), text, 1, &moved) ||
      !Send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote_)) ||
      !ReadProcessMemory(process_, remote_ + sizeof(TVITEMA), text, kTextSize - 1, &moved))
    return std::string();
  return text;
}

bool RemoteTree::Expanded(HTREEITEM item) const {
  return (Send(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED) !=
         0;
}

HTREEITEM RemoteTree::Child(HTREEITEM parent, const std::string& text) const {
  HTREEITEM item = parent ? Next(parent, TVGN_CHILD) : Next(nullptr, TVGN_ROOT);
  for (; item; item = Next(item, TVGN_NEXT))
    if (lstrcmpiA(Text(item).c_str(), text.c_str()) == 0) return item;
  return nullptr;
}

bool RemoteTree::Select(HTREEITEM item) const {
  return Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
}

bool RemoteTree::Expand(HTREEITEM item) const {
  return Send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item)) != 0;
}
