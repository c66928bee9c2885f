// Looking at and working another process's windows from outside, as a user
// would: find top-level windows by class and caption, read and set control
// texts, press buttons, and wait for conditions with a bounded wait.
#pragma once

#include <windows.h>

#include <string>

// `ms` times QVX_WAIT_SCALE (1 to 10; run-in-prefix.sh measures it from how
// long a program takes to start in the run's prefix), so that the waits
// written for a 64-bit Wine on an idle machine hold under an emulated 32-bit
// Wine on a busy one. An unset or unreadable scale counts as 1.
DWORD Scaled(DWORD ms);

// Every wait of the driver ends after this long: a failure, never a hang.
extern const DWORD kWaitMs;
// The longest wait for a window to answer a message.
extern const DWORD kMessageWaitMs;

// Polls `condition` until it holds or `timeoutMs` has passed.
template <class Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = kWaitMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(25);
  }
}

// A top-level window of process `pid` (0: any process) with the given class
// (nullptr: any) and caption.
HWND FindTopWindow(DWORD pid, const char* className, const char* caption);
HWND WaitForTopWindow(DWORD pid, const char* className, const char* caption,
                      DWORD timeoutMs = kWaitMs);
bool WaitForWindowGone(HWND window, DWORD timeoutMs = kWaitMs);

// WM_GETTEXT, which the system carries across processes.
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int id);
bool SetControlText(HWND dialog, int id, const std::string& text);

// True when any child of `dialog` with control ID `id` is visible (two
// controls may share an ID, one of them hidden).
bool ControlVisible(HWND dialog, int id);

// A click on a dialog's button as the dialog sees it: WM_COMMAND with
// BN_CLICKED, posted so that a modal loop it opens does not block us.
void PressButton(HWND dialog, int id);

bool WaitForControlText(HWND dialog, int id, const std::string& text, DWORD timeoutMs = kWaitMs);

// A message box's text (static control 0xFFFF).
std::string MessageBoxText(HWND box);

// The rectangle's centre, for placement checks.
POINT WindowCentre(HWND window);
