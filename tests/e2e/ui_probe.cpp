#include "ui_probe.h"

#include <stdlib.h>

DWORD Scaled(DWORD ms) {
  static const double scale = [] {
    char text[32] = {};
    DWORD length = GetEnvironmentVariableA("QVX_WAIT_SCALE", text, sizeof text);
    double value = length > 0 && length < sizeof text ? strtod(text, nullptr) : 1.0;
    return value >= 1.0 && value <= 10.0 ? value : 1.0;
  }();
  return static_cast<DWORD>(ms * scale);
}

const DWORD kWaitMs = Scaled(20000);
const DWORD kMessageWaitMs = Scaled(5000);

namespace {

struct Search {
  DWORD pid;
  const char* className;
  const char* caption;
  HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (search->pid != 0 && pid != search->pid) return TRUE;
  if (search->className) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    if (lstrcmpA(className, search->className) != 0) return TRUE;
  }
  // A caption is read without a message, so a busy window cannot stall us.
  char caption[256] = {};
  GetWindowTextA(window, caption, sizeof(caption));
  if (lstrcmpA(caption, search->caption) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

struct ChildSearch {
  int id;
  bool visible;
};

BOOL CALLBACK MatchVisibleChild(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<ChildSearch*>(param);
  if (GetDlgCtrlID(window) == search->id && IsWindowVisible(window)) {
    search->visible = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindTopWindow(DWORD pid, const char* className, const char* caption) {
  Search search = {pid, className, caption, nullptr};
  EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForTopWindow(DWORD pid, const char* className, const char* caption, DWORD timeoutMs) {
  HWND window = nullptr;
  WaitUntil([&] { return (window = FindTopWindow(pid, className, caption)) != nullptr; },
            timeoutMs);
  return window;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  return WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

std::string WindowText(HWND window) {
  char text[4096] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                           SMTO_NORMAL, kMessageWaitMs, &copied))
    return std::string();
  // The text up to its terminator: for double-byte text the count the
  // message returns need not be the count of bytes.
  return std::string(text);
}

std::string ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control ? WindowText(control) : std::string();
}

bool SetControlText(HWND dialog, int id, const std::string& text) {
  HWND control = GetDlgItem(dialog, id);
  DWORD_PTR result = 0;
  return control &&
         SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, kMessageWaitMs, &result) &&
         result;
}

bool ControlVisible(HWND dialog, int id) {
  ChildSearch search = {id, false};
  EnumChildWindows(dialog, MatchVisibleChild, reinterpret_cast<LPARAM>(&search));
  return search.visible;
}

void PressButton(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool WaitForControlText(HWND dialog, int id, const std::string& text, DWORD timeoutMs) {
  return WaitUntil([&] { return ControlText(dialog, id) == text; }, timeoutMs);
}

std::string MessageBoxText(HWND box) { return ControlText(box, 0xFFFF); }

POINT WindowCentre(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}
