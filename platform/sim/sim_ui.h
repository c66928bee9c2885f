// The simulated dialog host the host tests drive. It builds a dialog's window
// and control windows from a table of the real templates (sim_templates.h),
// runs the dialog's initialisation, then hands the open dialog to a scripted
// user registered by the test: the script reads the controls, types into
// edits, clicks buttons, presses Enter or Escape, and raises notifications,
// under the same limits a person has (a hidden or disabled control cannot be
// clicked). Message boxes are recorded and answered from a queue.
//
// Whatever a real program could not get away with is recorded in failures()
// instead of crashing: a dialog its script leaves open, a question nobody
// answered, an operation on a window that does not exist, an unbalanced busy
// cursor. A test asserts that failures() is empty.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/framework.h"
#include "platform/ui.h"

namespace qvx::sim {

class SimUi;

// A window as the sim keeps it: a dialog, or a control of one.
struct SimWindow {
  WindowHandle hwnd = 0;
  WindowHandle parent = 0;  // a control's dialog; 0 for a dialog
  WindowHandle owner = 0;   // a dialog's owner window
  int id = 0;               // a control's id; a dialog's template id
  std::string windowClass;  // "#32770" for a dialog
  std::string text;         // caption or control text
  std::uint32_t style = 0;  // as GetWindowLong(GWL_STYLE): WS_VISIBLE, WS_DISABLED included
  std::uint32_t exStyle = 0;
  Rect rect;                   // window rectangle, screen coordinates
  int imageIconId = 0;         // the icon of an icon button (BM_SETIMAGE)
  bool swallowsFocus = false;  // WM_SETFOCUS never reaches the button

  // Dialogs only.
  Dialog* dialog = nullptr;
  bool ended = false;
  std::intptr_t result = 0;
  bool iconic = false;
  int bigIconId = 0;
  int smallIconId = 0;

  bool visible() const;  // its own WS_VISIBLE bit
  bool enabled() const;  // no WS_DISABLED bit
};

struct SimMessageBox {
  WindowHandle owner = 0;
  std::string text;
  std::string caption;
  std::uint32_t type = 0;
  int answer = 0;
};

// One finished modal run, with its windows as they were when it ended.
struct SimDialogRun {
  int templateId = 0;
  WindowHandle hwnd = 0;
  WindowHandle owner = 0;
  std::intptr_t result = 0;
  bool leftOpenByScript = false;  // the host ended it with IDCANCEL
  SimWindow window;
  std::vector<SimWindow> controls;  // in tab (creation) order

  // The first control with the id, or null.
  const SimWindow* Control(int id) const;
};

struct SimIconPaint {
  WindowHandle window = 0;
  int iconId = 0;
  int x = 0;
  int y = 0;
};

// What a scripted user can do with one open dialog. Every action on a dialog
// that has already ended, or on a control a user could not reach, is refused
// and returns false (or 0) without reaching the dialog.
class SimDialogDriver {
 public:
  SimDialogDriver(SimUi& ui, WindowHandle dialog) : ui_(ui), dialog_(dialog) {}

  WindowHandle hwnd() const { return dialog_; }
  Dialog* dialog() const;
  int templateId() const;
  bool ended() const;

  std::string Caption() const;
  // The first control with the id (GetDlgItem), or 0.
  WindowHandle Item(int id) const;
  std::string Text(int id) const;
  bool IsVisible(int id) const;
  bool IsEnabled(int id) const;

  // Replaces the text of edit id as the user would by typing (SetWindowTextA);
  // refused for a hidden, disabled or read-only edit.
  bool Type(int id, const std::string& text);
  // Clicks the first visible and enabled control with the id: BN_CLICKED.
  bool Click(int id);
  bool ClickWindow(WindowHandle control);
  // Enter: the focused push button if it takes the focus normally, otherwise
  // IDOK, even when the OK button is hidden.
  bool PressEnter();
  // Escape: IDCANCEL.
  bool PressEscape();
  // The close box: IDCANCEL, unless a Cancel button exists and is disabled.
  bool Close();
  // A WM_NOTIFY from control id; returns the dialog's result.
  std::intptr_t Notify(int id, std::int32_t code, std::uintptr_t item = 0,
                       std::uint32_t action = 0);

  void SetIconic(bool iconic);
  // WM_PAINT; true when the dialog handled it.
  bool Paint();
  // WM_QUERYDRAGICON; the dialog's result, 0 when it did not handle it.
  std::intptr_t QueryDragIcon();

 private:
  bool Command(int id);

  SimUi& ui_;
  WindowHandle dialog_;
};

class SimUi : public Ui {
 public:
  using DialogScript = std::function<void(SimDialogDriver&)>;
  using MessageBoxHook = std::function<void(const SimMessageBox&)>;

  SimUi();
  ~SimUi();

  // --- Set-up by the test ---

  // The scripted user of the next run of templateId; scripts queue up, one
  // per run.
  void ScriptDialog(int templateId, DialogScript script);
  // The scripted user of every run of templateId that has no queued script.
  void ScriptEveryDialog(int templateId, DialogScript script);
  // The answer to the next message box; whileOpen runs while it is open (a
  // test can act on the dialogs behind it there).
  void QueueMessageBoxAnswer(int answer, MessageBoxHook whileOpen = {});
  // Runs while every message box is open, after the queued hook.
  void OnEveryMessageBox(MessageBoxHook hook);

  // --- What happened ---

  const std::vector<std::string>& failures() const { return failures_; }
  const std::vector<SimMessageBox>& messageBoxes() const { return messageBoxes_; }
  const std::vector<SimDialogRun>& dialogRuns() const { return dialogRuns_; }
  const std::vector<SimIconPaint>& iconPaints() const { return iconPaints_; }
  // true for every on, false for every off, in order.
  const std::vector<bool>& waitCursorLog() const { return waitCursorLog_; }
  int waitCursorDepth() const { return waitCursorDepth_; }
  int initCommonControlsCalls() const { return initCommonControlsCalls_; }
  int enable3dControlsCalls() const { return enable3dControlsCalls_; }
  WindowHandle focus() const { return focus_; }
  // The running dialogs, outermost first.
  const std::vector<WindowHandle>& runningDialogs() const { return running_; }

  // --- Access for other sim backends and for tests ---

  // A live window, or null.
  const SimWindow* Window(WindowHandle window) const;
  // The dialog object of a dialog window or of one of its controls.
  Dialog* DialogOf(WindowHandle window) const;
  // The first control of dialog with the id, optionally of a window class.
  WindowHandle FindControl(WindowHandle dialog, int id, const std::string& windowClass = {}) const;
  // A dialog's controls in tab (creation) order.
  std::vector<WindowHandle> Controls(WindowHandle dialog) const;
  SimDialogDriver DriverFor(WindowHandle dialog) { return SimDialogDriver(*this, dialog); }
  // Routes a notification from control to its dialog, synchronously, as
  // WM_NOTIFY with the control's id; the dialog's result, 0 when unhandled.
  std::intptr_t SendNotify(WindowHandle control, const Message& message);
  // The handle LoadIcon gives for an icon resource; 0 for an unknown one.
  static std::intptr_t IconHandle(int iconId);
  // Records a failure of the code under test.
  void Fail(const std::string& what);

  // --- Ui ---

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
  friend class SimDialogDriver;

  struct QueuedAnswer {
    int answer;
    MessageBoxHook whileOpen;
  };

  SimWindow* Live(WindowHandle window, const char* operation);
  SimWindow* RunningDialog(WindowHandle dialog);
  WindowHandle NewHandle();
  WindowHandle CreateDialogWindows(int templateId, WindowHandle owner, Dialog& dialog);
  void DestroyDialogWindows(WindowHandle dialog);
  void RunScript(int templateId, WindowHandle dialog);
  // Delivers message to the dialog; false when it did not handle it.
  bool Deliver(WindowHandle dialog, const Message& message, std::intptr_t* result);
  // The client area's top-left corner in screen coordinates.
  static void ClientOrigin(const SimWindow& window, std::int32_t* x, std::int32_t* y);

  std::map<WindowHandle, SimWindow> windows_;
  std::vector<WindowHandle> running_;
  WindowHandle nextHandle_ = 0x10010;
  WindowHandle focus_ = 0;
  bool painting_ = false;
  bool commonControls_ = false;

  std::map<int, std::deque<DialogScript>> scripts_;
  std::map<int, DialogScript> everyScripts_;
  std::deque<QueuedAnswer> answers_;
  MessageBoxHook everyMessageBox_;

  std::vector<std::string> failures_;
  std::vector<SimMessageBox> messageBoxes_;
  std::vector<SimDialogRun> dialogRuns_;
  std::vector<SimIconPaint> iconPaints_;
  std::vector<bool> waitCursorLog_;
  int waitCursorDepth_ = 0;
  int initCommonControlsCalls_ = 0;
  int enable3dControlsCalls_ = 0;
};

}  // namespace qvx::sim
