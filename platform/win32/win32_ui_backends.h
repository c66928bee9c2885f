// The windowing operations over user32 and comctl32. Declared without
// <windows.h> so that the composition root can hold one without seeing the
// Windows headers.
#pragma once

#include "platform/ui.h"

namespace qvx {

class Win32Ui final : public Ui {
 public:
  void InitCommonControls() override;
  void Enable3dControls() override;
  std::intptr_t DialogBoxParamA(int templateId, WindowHandle owner, Dialog& dialog) override;
  void EndDialog(WindowHandle dialog, std::intptr_t result) override;
  WindowHandle GetDlgItem(WindowHandle dialog, int id) override;
  void SetWindowTextA(WindowHandle window, const std::string& text) override;
  std::string GetWindowTextA(WindowHandle window) override;
  void ShowWindow(WindowHandle window, int command) override;
  bool IsWindowVisible(WindowHandle window) override;
  void SetFocus(WindowHandle window) override;
  std::uint32_t GetWindowStyle(WindowHandle window) override;
  void SetWindowStyle(WindowHandle window, std::uint32_t style) override;
  Rect GetWindowRect(WindowHandle window) override;
  Rect ScreenToClient(WindowHandle window, const Rect& screen) override;
  WindowHandle CreateIconButton(WindowHandle parent, int id, const Rect& rect, int iconId) override;
  void SetDialogIcon(WindowHandle dialog, int iconId) override;
  std::intptr_t QueryDragIcon(int iconId) override;
  bool IsIconic(WindowHandle window) override;
  Size GetClientSize(WindowHandle window) override;
  Size GetSystemIconSize() override;
  void PaintIcon(WindowHandle window, int iconId, int x, int y) override;
  int MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                  std::uint32_t type) override;
  void SetWaitCursor(bool on) override;

 private:
  int waitDepth_ = 0;
};

}  // namespace qvx
