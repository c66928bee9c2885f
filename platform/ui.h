// Windowing operations: dialogs and their controls, message boxes, icons and
// the busy cursor. Windows are opaque handles (0: none); methods are named and
// behave as the user32 call or message they stand for.
#pragma once

#include <cstdint>
#include <string>

namespace qvx {

class Dialog;

using WindowHandle = std::uintptr_t;

struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
  std::int32_t cx = 0;
  std::int32_t cy = 0;
};

class Ui {
 protected:
  // Destroyed by its own type, never through this base: no virtual
  // destructor, and no deleting destructor in each derived class's table.
  ~Ui() = default;

 public:
  // InitCommonControls, and the three-dimensional dialog look where the
  // platform needs a call for it.
  virtual void InitCommonControls() = 0;
  virtual void Enable3dControls() = 0;

  // Runs dialog template templateId modally (DialogBoxParamA) with the dialog
  // object receiving its messages; returns what EndDialog was given.
  virtual std::intptr_t DialogBoxParamA(int templateId, WindowHandle owner, Dialog& dialog) = 0;
  virtual void EndDialog(WindowHandle dialog, std::intptr_t result) = 0;
  virtual WindowHandle GetDlgItem(WindowHandle dialog, int id) = 0;

  virtual void SetWindowTextA(WindowHandle window, const std::string& text) = 0;
  virtual std::string GetWindowTextA(WindowHandle window) = 0;
  virtual void ShowWindow(WindowHandle window, int command) = 0;
  virtual bool IsWindowVisible(WindowHandle window) = 0;
  virtual void SetFocus(WindowHandle window) = 0;
  virtual std::uint32_t GetWindowStyle(WindowHandle window) = 0;
  virtual void SetWindowStyle(WindowHandle window, std::uint32_t style) = 0;

  // Window rectangle in screen coordinates, and its conversion to a window's
  // client coordinates.
  virtual Rect GetWindowRect(WindowHandle window) = 0;
  virtual Rect ScreenToClient(WindowHandle window, const Rect& screen) = 0;

  // A visible child push button with control id id at the client rectangle
  // rect, showing icon resource iconId instead of text (BS_ICON, BM_SETIMAGE),
  // that never takes the focused look: it swallows WM_SETFOCUS.
  virtual WindowHandle CreateIconButton(WindowHandle parent, int id, const Rect& rect,
                                        int iconId) = 0;

  // WM_SETICON with icon resource iconId, large then small.
  virtual void SetDialogIcon(WindowHandle dialog, int iconId) = 0;
  // The icon's handle as WM_QUERYDRAGICON returns it.
  virtual std::intptr_t QueryDragIcon(int iconId) = 0;
  // Minimised painting: IsIconic, the client size and the system icon size,
  // and one paint cycle that erases the icon background and draws iconId at
  // x, y (BeginPaint, WM_ICONERASEBKGND, DrawIcon, EndPaint).
  virtual bool IsIconic(WindowHandle window) = 0;
  virtual Size GetClientSize(WindowHandle window) = 0;
  virtual Size GetSystemIconSize() = 0;
  virtual void PaintIcon(WindowHandle window, int iconId, int x, int y) = 0;

  virtual int MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                          std::uint32_t type) = 0;

  // The hourglass: on shows it until the matching off.
  virtual void SetWaitCursor(bool on) = 0;
};

}  // namespace qvx
