// framework.h comes before <windows.h>, whose MessageBox macro would rename
// Application::MessageBox in this file.
// clang-format off
#include "platform/framework.h"
#include "platform/placement.h"
#include "platform/win32/win32_ui_backends.h"

#include <windows.h>
#include <commctrl.h>
// clang-format on

namespace qvx {
namespace {

static_assert(kWmCommand == WM_COMMAND && kWmNotify == WM_NOTIFY && kWmPaint == WM_PAINT &&
              kWmQueryDragIcon == WM_QUERYDRAGICON && kWmInitDialog == WM_INITDIALOG);
static_assert(kBnClicked == BN_CLICKED && kTvnSelChangedA == static_cast<int>(TVN_SELCHANGEDA) &&
              kTvnItemExpandingA == static_cast<int>(TVN_ITEMEXPANDINGA));
static_assert(kIdOk == IDOK && kIdCancel == IDCANCEL && kIdYes == IDYES && kIdNo == IDNO);
static_assert(kMbOk == MB_OK && kMbYesNo == MB_YESNO && kMbIconExclamation == MB_ICONEXCLAMATION);
static_assert(kSwHide == SW_HIDE && kSwShow == SW_SHOW);

HWND Hwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle Handle(HWND hwnd) { return reinterpret_cast<WindowHandle>(hwnd); }
// Out of line, as the tree view's Send: one base relocation for every use.
[[gnu::noinline]] HINSTANCE Module() { return GetModuleHandleA(nullptr); }
HICON LoadIconOf(int iconId) { return LoadIconA(Module(), MAKEINTRESOURCEA(iconId)); }

// Centres the dialog over its owner, or over the work area when it has none
// or the owner cannot be seen.
void Centre(HWND dialog) {
  RECT work;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
    work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  RECT over = work;
  HWND owner = GetWindow(dialog, GW_OWNER);
  if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
    ::GetWindowRect(owner, &over);
  }
  RECT self;
  ::GetWindowRect(dialog, &self);
  Rect placed = CentredPlacement({self.left, self.top, self.right, self.bottom},
                                 {over.left, over.top, over.right, over.bottom},
                                 {work.left, work.top, work.right, work.bottom});
  SetWindowPos(dialog, nullptr, placed.left, placed.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Feeds a dialog object from its window: WM_INITDIALOG to its
// initialisation, the messages dialogs handle to its message table.
INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    Dialog* dialog = reinterpret_cast<Dialog*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    BOOL defaultFocus = dialog->HandleInitDialog(Handle(hwnd));
    Centre(hwnd);  // not yet visible: the dialog manager shows it afterwards
    return defaultFocus;
  }
  Dialog* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (dialog == nullptr) return FALSE;  // messages before WM_INITDIALOG

  Message message{msg};
  switch (msg) {
    case WM_COMMAND:
      message.code = HIWORD(wParam);
      message.id = LOWORD(wParam);
      break;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      message.code = static_cast<std::int32_t>(header->code);
      message.id = static_cast<std::int32_t>(header->idFrom);
      // Only tree notifications carry an NMTREEVIEWA; other senders' blocks
      // are shorter and must not be read that far.
      if (header->code == TVN_ITEMEXPANDINGA || header->code == TVN_SELCHANGEDA) {
        const NMTREEVIEWA* tree = reinterpret_cast<const NMTREEVIEWA*>(lParam);
        message.item = reinterpret_cast<std::uintptr_t>(tree->itemNew.hItem);
        message.action = tree->action;
      }
      break;
    }
    case WM_PAINT:
    case WM_QUERYDRAGICON:
      break;
    default:
      return FALSE;
  }
  std::intptr_t result = 0;
  if (!dialog->HandleMessage(message, &result)) return FALSE;
  if (msg == WM_QUERYDRAGICON) return result;  // returned directly, not through DWLP_MSGRESULT
  SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

// The icon button's window procedure: WM_SETFOCUS never reaches the standard
// button, so it never takes the focused or default look.
LRESULT CALLBACK IconButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC standard = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_SETFOCUS) return 0;
  return CallWindowProcA(standard, hwnd, msg, wParam, lParam);
}

}  // namespace

void Win32Ui::InitCommonControls() { ::InitCommonControls(); }

// Dialogs of a program marked for Windows 4.0 are three-dimensional already.
void Win32Ui::Enable3dControls() {}

std::intptr_t Win32Ui::DialogBoxParamA(int templateId, WindowHandle owner, Dialog& dialog) {
  return ::DialogBoxParamA(Module(), MAKEINTRESOURCEA(templateId), Hwnd(owner), DialogProc,
                           reinterpret_cast<LPARAM>(&dialog));
}

void Win32Ui::EndDialog(WindowHandle dialog, std::intptr_t result) {
  ::EndDialog(Hwnd(dialog), result);
}

WindowHandle Win32Ui::GetDlgItem(WindowHandle dialog, int id) {
  return Handle(::GetDlgItem(Hwnd(dialog), id));
}

void Win32Ui::SetWindowTextA(WindowHandle window, const std::string& text) {
  ::SetWindowTextA(Hwnd(window), text.c_str());
}

std::string Win32Ui::GetWindowTextA(WindowHandle window) {
  int length = GetWindowTextLengthA(Hwnd(window));
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  int copied = ::GetWindowTextA(Hwnd(window), text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

void Win32Ui::ShowWindow(WindowHandle window, int command) { ::ShowWindow(Hwnd(window), command); }

bool Win32Ui::IsWindowVisible(WindowHandle window) {
  return ::IsWindowVisible(Hwnd(window)) != FALSE;
}

void Win32Ui::SetFocus(WindowHandle window) { ::SetFocus(Hwnd(window)); }

std::uint32_t Win32Ui::GetWindowStyle(WindowHandle window) {
  return static_cast<std::uint32_t>(GetWindowLongA(Hwnd(window), GWL_STYLE));
}

void Win32Ui::SetWindowStyle(WindowHandle window, std::uint32_t style) {
  SetWindowLongA(Hwnd(window), GWL_STYLE, static_cast<LONG>(style));
}

Rect Win32Ui::GetWindowRect(WindowHandle window) {
  RECT r{};
  ::GetWindowRect(Hwnd(window), &r);
  return {r.left, r.top, r.right, r.bottom};
}

Rect Win32Ui::ScreenToClient(WindowHandle window, const Rect& screen) {
  POINT corners[2] = {{screen.left, screen.top}, {screen.right, screen.bottom}};
  MapWindowPoints(nullptr, Hwnd(window), corners, 2);
  return {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

WindowHandle Win32Ui::CreateIconButton(WindowHandle parent, int id, const Rect& rect, int iconId) {
  HWND button =
      CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_ICON, rect.left,
                      rect.top, rect.right - rect.left, rect.bottom - rect.top, Hwnd(parent),
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Module(), nullptr);
  if (button == nullptr) return 0;
  // The icon at its own 16x16 size: LoadIcon would stretch it to 32x32.
  HANDLE icon = LoadImageA(Module(), MAKEINTRESOURCEA(iconId), IMAGE_ICON, 16, 16, LR_SHARED);
  SendMessageA(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
  LONG_PTR standard = GetWindowLongPtrA(button, GWLP_WNDPROC);
  SetWindowLongPtrA(button, GWLP_USERDATA, standard);
  SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(IconButtonProc));
  return Handle(button);
}

void Win32Ui::SetDialogIcon(WindowHandle dialog, int iconId) {
  HICON icon = LoadIconOf(iconId);
  SendMessageA(Hwnd(dialog), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageA(Hwnd(dialog), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

std::intptr_t Win32Ui::QueryDragIcon(int iconId) {
  return reinterpret_cast<std::intptr_t>(LoadIconOf(iconId));
}

bool Win32Ui::IsIconic(WindowHandle window) { return ::IsIconic(Hwnd(window)) != FALSE; }

Size Win32Ui::GetClientSize(WindowHandle window) {
  RECT r{};
  GetClientRect(Hwnd(window), &r);
  return {r.right - r.left, r.bottom - r.top};
}

Size Win32Ui::GetSystemIconSize() {
  return {GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
}

void Win32Ui::PaintIcon(WindowHandle window, int iconId, int x, int y) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(Hwnd(window), &paint);
  SendMessageA(Hwnd(window), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  DrawIcon(dc, x, y, LoadIconOf(iconId));
  EndPaint(Hwnd(window), &paint);
}

int Win32Ui::MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                         std::uint32_t type) {
  return ::MessageBoxA(Hwnd(owner), text.c_str(), caption.c_str(), type);
}

// Nested busy periods keep the hourglass until the outermost ends. Every
// change sets the cursor again: a message box in between may have replaced it.
void Win32Ui::SetWaitCursor(bool on) {
  if (on) {
    ++waitDepth_;
  } else if (waitDepth_ > 0) {
    --waitDepth_;
  }
  SetCursor(LoadCursorA(nullptr, waitDepth_ > 0 ? IDC_WAIT : IDC_ARROW));
}

}  // namespace qvx
