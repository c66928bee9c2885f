// The small framework the installer's application object and dialogs stand
// on: an application whose start-up returning false ends the process, modal
// dialogs with an initialisation hook, control binding by template id and a
// message table, and message boxes by one convention (owned by the active
// dialog, captioned with the program's title, exclamation icon).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win_values.h"

namespace qvx {

class Dialog;

class Application {
 public:
  explicit Application(Platform& platform) : platform_(platform) {}
  virtual ~Application() = default;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Start-up. False means: enter no message loop, end the process.
  virtual bool InitInstance() = 0;

  Platform& platform() const { return platform_; }

  // The program's title: its file name without folder and extension.
  std::string Title() const;

  // The window message boxes belong to: the innermost running dialog, or none.
  WindowHandle ActiveWindow() const;
  void SetMainWindow(Dialog* dialog) { mainWindow_ = dialog; }
  Dialog* MainWindow() const { return mainWindow_; }

  // A modal message box by the program's convention; type adds the buttons
  // (kMbOk or kMbYesNo). Returns the button pressed.
  int MessageBox(const std::string& text, std::uint32_t type = kMbOk);

 private:
  friend class Dialog;
  Platform& platform_;
  Dialog* mainWindow_ = nullptr;
  std::vector<Dialog*> running_;
};

// One message as a dialog's handlers see it, whatever the backend.
struct Message {
  std::uint32_t message = 0;  // kWmCommand, kWmNotify, kWmPaint, kWmQueryDragIcon
  std::int32_t code = 0;      // notification code: kBnClicked, kTvnSelChangedA, ...
  std::int32_t id = 0;        // the control the message comes from
  std::uintptr_t item = 0;    // tree notifications: the item (the new one for a selection)
  std::uint32_t action = 0;   // kTvnItemExpandingA: kTveExpand or kTveCollapse
};

// A row of a dialog's message table: (message, notification code, control id)
// routed to a member of T.
template <class T>
struct MessageEntry {
  std::uint32_t message;
  std::int32_t code;
  std::int32_t id;
  std::intptr_t (T::*handler)(const Message&);
};

// A control bound to a dialog by its template id.
class Control {
 public:
  WindowHandle hwnd() const { return hwnd_; }
  explicit operator bool() const { return hwnd_ != 0; }
  void SetText(const std::string& text) const { ui_->SetWindowTextA(hwnd_, text); }
  std::string GetText() const { return ui_->GetWindowTextA(hwnd_); }
  void Show(bool visible) const { ui_->ShowWindow(hwnd_, visible ? kSwShow : kSwHide); }

 private:
  friend class Dialog;
  Ui* ui_ = nullptr;
  WindowHandle hwnd_ = 0;
};

class Dialog {
 public:
  Dialog(Application& app, int templateId, WindowHandle owner);
  virtual ~Dialog() = default;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally; returns the value given to EndDialog.
  std::intptr_t DoModal();

  WindowHandle hwnd() const { return hwnd_; }
  int templateId() const { return templateId_; }
  Application& app() const { return app_; }

  // Called by the backend on WM_INITDIALOG: binds the controls, then runs
  // OnInitDialog. True: the backend gives the default control the focus.
  bool HandleInitDialog(WindowHandle hwnd);
  // Called by the backend for every other message. The message table first;
  // then OK and Cancel commands end the run. False: not handled here.
  bool HandleMessage(const Message& message, std::intptr_t* result);

 protected:
  // Bind controls to members by template id.
  virtual void DoDataExchange() {}
  // The initialisation hook; false when it set the focus itself.
  virtual bool OnInitDialog() { return true; }
  // A dialog's message table, dispatched with Dispatch().
  virtual bool ProcessMessage(const Message& /*message*/, std::intptr_t* /*result*/) {
    return false;
  }
  virtual void OnOK() { EndDialog(kIdOk); }
  virtual void OnCancel() { EndDialog(kIdCancel); }

  void EndDialog(std::intptr_t result);
  void Bind(Control& control, int id);
  WindowHandle Item(int id) const;
  Ui& ui() const { return app_.platform().ui; }

  template <class T, std::size_t N>
  static bool Dispatch(T* self, const MessageEntry<T> (&table)[N], const Message& message,
                       std::intptr_t* result) {
    for (const MessageEntry<T>& entry : table) {
      if (entry.message == message.message && entry.code == message.code &&
          entry.id == message.id) {
        *result = (self->*entry.handler)(message);
        return true;
      }
    }
    return false;
  }

 private:
  Application& app_;
  int templateId_;
  WindowHandle owner_;
  WindowHandle hwnd_ = 0;
};

// Shows the hourglass for the lifetime of the object.
class WaitCursor {
 public:
  explicit WaitCursor(Ui& ui) : ui_(ui) { ui_.SetWaitCursor(true); }
  ~WaitCursor() { ui_.SetWaitCursor(false); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  Ui& ui_;
};

}  // namespace qvx
