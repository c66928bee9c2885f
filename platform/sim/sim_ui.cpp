#include "platform/sim/sim_ui.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/sim/sim_templates.h"

namespace qvx::sim {
namespace {

// Where every sim dialog stands, and its frame: a 3-pixel border and a
// 19-pixel caption bar.
constexpr std::int32_t kDialogLeft = 160;
constexpr std::int32_t kDialogTop = 120;
constexpr std::int32_t kBorder = 3;
constexpr std::int32_t kCaption = 19;

constexpr int kMbTypeMask = 0xF;
constexpr int kMbOkCancel = 1;
constexpr int kMbYesNoCancel = 3;
constexpr int kIdNoButton = 7;

std::string Hex(WindowHandle window) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(window));
  return text;
}

bool IsPushButton(const SimWindow& w) {
  std::uint32_t type = w.style & kBsTypeMask;
  return w.windowClass == "Button" && (type == kBsPushButton || type == kBsDefPushButton);
}

// The buttons a message box of this type offers.
bool AnswerFits(std::uint32_t type, int answer) {
  switch (type & kMbTypeMask) {
    case kMbOk:
      return answer == kIdOk;
    case kMbOkCancel:
      return answer == kIdOk || answer == kIdCancel;
    case kMbYesNoCancel:
      return answer == kIdYes || answer == kIdNo || answer == kIdCancel;
    case kMbYesNo:
      return answer == kIdYes || answer == kIdNo;
    default:
      return true;
  }
}

}  // namespace

bool SimWindow::visible() const { return (style & kWsVisible) != 0; }
bool SimWindow::enabled() const { return (style & kWsDisabled) == 0; }

const SimWindow* SimDialogRun::Control(int id) const {
  for (const SimWindow& c : controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

SimUi::SimUi() = default;
SimUi::~SimUi() = default;

// ---------------------------------------------------------------- set-up

void SimUi::ScriptDialog(int templateId, DialogScript script) {
  scripts_[templateId].push_back(std::move(script));
}

void SimUi::ScriptEveryDialog(int templateId, DialogScript script) {
  everyScripts_[templateId] = std::move(script);
}

void SimUi::QueueMessageBoxAnswer(int answer, MessageBoxHook whileOpen) {
  answers_.push_back({answer, std::move(whileOpen)});
}

void SimUi::OnEveryMessageBox(MessageBoxHook hook) { everyMessageBox_ = std::move(hook); }

void SimUi::Fail(const std::string& what) { failures_.push_back(what); }

// ---------------------------------------------------------------- windows

const SimWindow* SimUi::Window(WindowHandle window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

SimWindow* SimUi::Live(WindowHandle window, const char* operation) {
  auto it = windows_.find(window);
  if (it != windows_.end()) return &it->second;
  Fail(std::string(operation) + " on " + Hex(window) + ", which is no window");
  return nullptr;
}

SimWindow* SimUi::RunningDialog(WindowHandle dialog) {
  auto it = windows_.find(dialog);
  if (it == windows_.end() || it->second.dialog == nullptr) return nullptr;
  return &it->second;
}

Dialog* SimUi::DialogOf(WindowHandle window) const {
  const SimWindow* w = Window(window);
  if (w != nullptr && w->parent != 0) w = Window(w->parent);
  return w == nullptr ? nullptr : w->dialog;
}

WindowHandle SimUi::FindControl(WindowHandle dialog, int id, const std::string& windowClass) const {
  for (const auto& [hwnd, w] : windows_) {
    if (w.parent == dialog && w.id == id && (windowClass.empty() || w.windowClass == windowClass))
      return hwnd;  // handles grow with creation, so the map is in creation order
  }
  return 0;
}

std::vector<WindowHandle> SimUi::Controls(WindowHandle dialog) const {
  std::vector<WindowHandle> controls;
  for (const auto& [hwnd, w] : windows_) {
    if (w.parent == dialog) controls.push_back(hwnd);
  }
  return controls;
}

WindowHandle SimUi::NewHandle() {
  WindowHandle handle = nextHandle_;
  nextHandle_ += 0x10;  // never reused, so a stale handle is caught
  return handle;
}

void SimUi::ClientOrigin(const SimWindow& window, std::int32_t* x, std::int32_t* y) {
  *x = window.rect.left;
  *y = window.rect.top;
  if (window.parent == 0) {
    *x += kBorder;
    *y += kBorder + kCaption;
  }
}

// ---------------------------------------------------------------- dialogs

void SimUi::InitCommonControls() {
  ++initCommonControlsCalls_;
  commonControls_ = true;
}

void SimUi::Enable3dControls() { ++enable3dControlsCalls_; }

WindowHandle SimUi::CreateDialogWindows(int templateId, WindowHandle owner, Dialog& dialog) {
  const SimDialogTemplate* t = FindSimTemplate(templateId);
  SimWindow frame;
  frame.hwnd = NewHandle();
  frame.owner = owner;
  frame.id = templateId;
  frame.windowClass = "#32770";
  frame.text = t->caption;
  frame.style = t->style & ~kWsVisible;  // shown only after its initialisation
  frame.exStyle = t->exStyle;
  frame.dialog = &dialog;
  frame.rect = {kDialogLeft, kDialogTop,
                kDialogLeft + DialogUnitsToPixelsX(t->rect.cx) + 2 * kBorder,
                kDialogTop + DialogUnitsToPixelsY(t->rect.cy) + 2 * kBorder + kCaption};
  std::int32_t x0 = 0;
  std::int32_t y0 = 0;
  ClientOrigin(frame, &x0, &y0);
  windows_[frame.hwnd] = frame;

  for (const SimControlTemplate& c : t->controls) {
    SimWindow control;
    control.hwnd = NewHandle();
    control.parent = frame.hwnd;
    control.id = c.id;
    control.windowClass = c.windowClass;
    control.text = c.text;
    control.style = c.style;
    control.exStyle = c.exStyle;
    control.rect = {x0 + DialogUnitsToPixelsX(c.rect.x), y0 + DialogUnitsToPixelsY(c.rect.y),
                    x0 + DialogUnitsToPixelsX(c.rect.x + c.rect.cx),
                    y0 + DialogUnitsToPixelsY(c.rect.y + c.rect.cy)};
    windows_[control.hwnd] = control;
  }
  return frame.hwnd;
}

void SimUi::DestroyDialogWindows(WindowHandle dialog) {
  for (WindowHandle control : Controls(dialog)) windows_.erase(control);
  WindowHandle owner = windows_[dialog].owner;
  windows_.erase(dialog);
  if (Window(focus_) == nullptr) focus_ = Window(owner) != nullptr ? owner : 0;
}

std::intptr_t SimUi::DialogBoxParamA(int templateId, WindowHandle owner, Dialog& dialog) {
  const SimDialogTemplate* t = FindSimTemplate(templateId);
  if (t == nullptr) {
    Fail("DialogBoxParamA: no dialog template " + std::to_string(templateId));
    return -1;
  }
  if (owner != 0 && Window(owner) == nullptr) {
    Fail("DialogBoxParamA: owner " + Hex(owner) + " is no window");
    return -1;
  }
  for (const SimControlTemplate& c : t->controls) {
    if (std::string(c.windowClass) == "SysTreeView32" && !commonControls_) {
      // The tree's window class exists only once InitCommonControls ran.
      Fail("DialogBoxParamA: template " + std::to_string(templateId) +
           " holds a SysTreeView32 before InitCommonControls");
      return -1;
    }
  }

  WindowHandle hwnd = CreateDialogWindows(templateId, owner, dialog);
  running_.push_back(hwnd);
  if (dialog.HandleInitDialog(hwnd)) {
    for (WindowHandle control : Controls(hwnd)) {
      const SimWindow& c = windows_[control];
      if ((c.style & kWsTabStop) && c.visible() && c.enabled()) {
        SetFocus(control);
        break;
      }
    }
  }
  if (!windows_[hwnd].ended) {
    windows_[hwnd].style |= kWsVisible;
    RunScript(templateId, hwnd);
  }

  SimWindow& frame = windows_[hwnd];
  SimDialogRun run;
  run.templateId = templateId;
  run.hwnd = hwnd;
  run.owner = owner;
  if (!frame.ended) {
    Fail("dialog " + std::to_string(templateId) + " was left open by its script");
    frame.ended = true;
    frame.result = kIdCancel;
    run.leftOpenByScript = true;
  }
  run.result = frame.result;
  run.window = frame;
  for (WindowHandle control : Controls(hwnd)) run.controls.push_back(windows_[control]);
  dialogRuns_.push_back(run);

  running_.erase(std::remove(running_.begin(), running_.end(), hwnd), running_.end());
  DestroyDialogWindows(hwnd);
  return run.result;
}

void SimUi::RunScript(int templateId, WindowHandle dialog) {
  DialogScript script;
  auto queued = scripts_.find(templateId);
  if (queued != scripts_.end() && !queued->second.empty()) {
    script = std::move(queued->second.front());
    queued->second.pop_front();
  } else if (auto every = everyScripts_.find(templateId); every != everyScripts_.end()) {
    script = every->second;
  }
  if (!script) {
    Fail("dialog " + std::to_string(templateId) + " opened without a script");
    return;
  }
  SimDialogDriver driver(*this, dialog);
  script(driver);
}

void SimUi::EndDialog(WindowHandle dialog, std::intptr_t result) {
  SimWindow* w = RunningDialog(dialog);
  if (w == nullptr) {
    Fail("EndDialog on " + Hex(dialog) + ", which is no running dialog");
    return;
  }
  if (w->ended) return;  // the first result stands, as in Windows
  w->ended = true;
  w->result = result;
}

bool SimUi::Deliver(WindowHandle dialog, const Message& message, std::intptr_t* result) {
  *result = 0;
  SimWindow* w = RunningDialog(dialog);
  if (w == nullptr) return false;
  Dialog* target = w->dialog;  // the handler may open and close windows
  return target->HandleMessage(message, result);
}

std::intptr_t SimUi::SendNotify(WindowHandle control, const Message& message) {
  const SimWindow* c = Window(control);
  if (c == nullptr || c->parent == 0) {
    Fail("SendNotify from " + Hex(control) + ", which is no control");
    return 0;
  }
  Message notify = message;
  notify.message = kWmNotify;
  notify.id = c->id;
  std::intptr_t result = 0;
  Deliver(c->parent, notify, &result);
  return result;
}

WindowHandle SimUi::GetDlgItem(WindowHandle dialog, int id) {
  if (Live(dialog, "GetDlgItem") == nullptr) return 0;
  return FindControl(dialog, id);
}

// ---------------------------------------------------------------- controls

void SimUi::SetWindowTextA(WindowHandle window, const std::string& text) {
  if (SimWindow* w = Live(window, "SetWindowTextA")) w->text = text;
}

std::string SimUi::GetWindowTextA(WindowHandle window) {
  SimWindow* w = Live(window, "GetWindowTextA");
  return w == nullptr ? std::string() : w->text;
}

void SimUi::ShowWindow(WindowHandle window, int command) {
  SimWindow* w = Live(window, "ShowWindow");
  if (w == nullptr) return;
  if (command == kSwHide) {
    w->style &= ~kWsVisible;
    // A hidden window cannot keep the focus; it goes to the dialog.
    if (focus_ == window) focus_ = w->parent;
  } else {
    w->style |= kWsVisible;
  }
}

bool SimUi::IsWindowVisible(WindowHandle window) {
  const SimWindow* w = Live(window, "IsWindowVisible");
  if (w == nullptr || !w->visible()) return false;
  const SimWindow* parent = Window(w->parent);
  return parent == nullptr || parent->visible();
}

void SimUi::SetFocus(WindowHandle window) {
  if (window == 0 || Live(window, "SetFocus") != nullptr) focus_ = window;
}

std::uint32_t SimUi::GetWindowStyle(WindowHandle window) {
  const SimWindow* w = Live(window, "GetWindowStyle");
  return w == nullptr ? 0 : w->style;
}

void SimUi::SetWindowStyle(WindowHandle window, std::uint32_t style) {
  if (SimWindow* w = Live(window, "SetWindowStyle")) w->style = style;
}

Rect SimUi::GetWindowRect(WindowHandle window) {
  const SimWindow* w = Live(window, "GetWindowRect");
  return w == nullptr ? Rect{} : w->rect;
}

Rect SimUi::ScreenToClient(WindowHandle window, const Rect& screen) {
  const SimWindow* w = Live(window, "ScreenToClient");
  if (w == nullptr) return screen;
  std::int32_t x = 0;
  std::int32_t y = 0;
  ClientOrigin(*w, &x, &y);
  return {screen.left - x, screen.top - y, screen.right - x, screen.bottom - y};
}

WindowHandle SimUi::CreateIconButton(WindowHandle parent, int id, const Rect& rect, int iconId) {
  SimWindow* dialog = RunningDialog(parent);
  if (dialog == nullptr) {
    Fail("CreateIconButton in " + Hex(parent) + ", which is no dialog");
    return 0;
  }
  if (!IsKnownIcon(iconId)) Fail("CreateIconButton: no icon " + std::to_string(iconId));
  std::int32_t x = 0;
  std::int32_t y = 0;
  ClientOrigin(*dialog, &x, &y);
  SimWindow button;
  button.hwnd = NewHandle();
  button.parent = parent;
  button.id = id;
  button.windowClass = "Button";
  button.style = kWsChild | kWsVisible | kBsPushButton | kBsIcon;
  button.rect = {rect.left + x, rect.top + y, rect.right + x, rect.bottom + y};
  button.imageIconId = IsKnownIcon(iconId) ? iconId : 0;
  button.swallowsFocus = true;
  windows_[button.hwnd] = button;
  return button.hwnd;
}

// ---------------------------------------------------------------- icons

std::intptr_t SimUi::IconHandle(int iconId) { return IsKnownIcon(iconId) ? 0x7F0000 + iconId : 0; }

void SimUi::SetDialogIcon(WindowHandle dialog, int iconId) {
  SimWindow* w = RunningDialog(dialog);
  if (w == nullptr) {
    Fail("SetDialogIcon on " + Hex(dialog) + ", which is no dialog");
    return;
  }
  if (!IsKnownIcon(iconId)) Fail("SetDialogIcon: no icon " + std::to_string(iconId));
  w->bigIconId = iconId;
  w->smallIconId = iconId;
}

std::intptr_t SimUi::QueryDragIcon(int iconId) {
  if (!IsKnownIcon(iconId)) Fail("QueryDragIcon: no icon " + std::to_string(iconId));
  return IconHandle(iconId);
}

bool SimUi::IsIconic(WindowHandle window) {
  const SimWindow* w = Live(window, "IsIconic");
  return w != nullptr && w->iconic;
}

Size SimUi::GetClientSize(WindowHandle window) {
  const SimWindow* w = Live(window, "GetClientSize");
  if (w == nullptr) return {};
  std::int32_t frameX = w->parent == 0 ? 2 * kBorder : 0;
  std::int32_t frameY = w->parent == 0 ? 2 * kBorder + kCaption : 0;
  return {w->rect.right - w->rect.left - frameX, w->rect.bottom - w->rect.top - frameY};
}

Size SimUi::GetSystemIconSize() { return {32, 32}; }

void SimUi::PaintIcon(WindowHandle window, int iconId, int x, int y) {
  if (Live(window, "PaintIcon") == nullptr) return;
  if (!painting_) Fail("PaintIcon outside WM_PAINT");
  if (!IsKnownIcon(iconId)) Fail("PaintIcon: no icon " + std::to_string(iconId));
  iconPaints_.push_back({window, iconId, x, y});
}

// ---------------------------------------------------------------- boxes, cursor

int SimUi::MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                       std::uint32_t type) {
  if (owner != 0 && Window(owner) == nullptr) {
    Fail("MessageBoxA \"" + text + "\" owned by " + Hex(owner) + ", which is no window");
    return 0;  // Windows refuses an invalid owner
  }
  SimMessageBox box{owner, text, caption, type, 0};
  MessageBoxHook whileOpen;
  if (!answers_.empty()) {
    box.answer = answers_.front().answer;
    whileOpen = std::move(answers_.front().whileOpen);
    answers_.pop_front();
    if (!AnswerFits(type, box.answer)) {
      Fail("MessageBoxA \"" + text + "\" cannot be answered " + std::to_string(box.answer));
    }
  } else if ((type & kMbTypeMask) == kMbOk) {
    box.answer = kIdOk;
  } else {
    Fail("MessageBoxA \"" + text + "\" asked a question nobody answered");
    box.answer = (type & kMbTypeMask) == kMbYesNo ? kIdNoButton : static_cast<int>(kIdCancel);
  }
  std::size_t index = messageBoxes_.size();
  messageBoxes_.push_back(box);
  // The hooks may open further boxes; copy what they are given.
  if (whileOpen) whileOpen(SimMessageBox(messageBoxes_[index]));
  if (everyMessageBox_) everyMessageBox_(SimMessageBox(messageBoxes_[index]));
  return box.answer;
}

void SimUi::SetWaitCursor(bool on) {
  waitCursorLog_.push_back(on);
  if (on) {
    ++waitCursorDepth_;
  } else if (waitCursorDepth_ == 0) {
    Fail("the busy cursor was turned off more often than on");
  } else {
    --waitCursorDepth_;
  }
}

// ---------------------------------------------------------------- the scripted user

Dialog* SimDialogDriver::dialog() const { return ui_.DialogOf(dialog_); }

int SimDialogDriver::templateId() const {
  const SimWindow* w = ui_.Window(dialog_);
  return w == nullptr ? 0 : w->id;
}

bool SimDialogDriver::ended() const {
  const SimWindow* w = ui_.Window(dialog_);
  return w == nullptr || w->ended;
}

std::string SimDialogDriver::Caption() const {
  const SimWindow* w = ui_.Window(dialog_);
  return w == nullptr ? std::string() : w->text;
}

WindowHandle SimDialogDriver::Item(int id) const { return ui_.FindControl(dialog_, id); }

std::string SimDialogDriver::Text(int id) const {
  const SimWindow* w = ui_.Window(Item(id));
  return w == nullptr ? std::string() : w->text;
}

bool SimDialogDriver::IsVisible(int id) const {
  const SimWindow* w = ui_.Window(Item(id));
  return w != nullptr && w->visible();
}

bool SimDialogDriver::IsEnabled(int id) const {
  const SimWindow* w = ui_.Window(Item(id));
  return w != nullptr && w->enabled();
}

bool SimDialogDriver::Type(int id, const std::string& text) {
  if (ended()) return false;
  auto it = ui_.windows_.find(Item(id));
  if (it == ui_.windows_.end()) return false;
  SimWindow& w = it->second;
  if (w.windowClass != "Edit" || !w.visible() || !w.enabled() || (w.style & kEsReadOnly))
    return false;
  w.text = text;
  return true;
}

bool SimDialogDriver::Command(int id) {
  std::intptr_t result = 0;
  ui_.Deliver(dialog_, Message{kWmCommand, kBnClicked, id}, &result);
  return true;
}

bool SimDialogDriver::ClickWindow(WindowHandle control) {
  if (ended()) return false;
  const SimWindow* w = ui_.Window(control);
  if (w == nullptr || w->parent != dialog_ || !w->visible() || !w->enabled()) return false;
  if (w->windowClass != "Button") return false;
  return Command(w->id);
}

bool SimDialogDriver::Click(int id) {
  for (WindowHandle control : ui_.Controls(dialog_)) {
    const SimWindow& w = ui_.windows_[control];
    if (w.id == id && w.visible() && w.enabled()) return ClickWindow(control);
  }
  return false;
}

bool SimDialogDriver::PressEnter() {
  if (ended()) return false;
  const SimWindow* focus = ui_.Window(ui_.focus());
  if (focus != nullptr && focus->parent == dialog_ && IsPushButton(*focus) &&
      !focus->swallowsFocus && focus->visible() && focus->enabled()) {
    return Command(focus->id);
  }
  return Command(static_cast<int>(kIdOk));
}

bool SimDialogDriver::PressEscape() {
  if (ended()) return false;
  return Command(static_cast<int>(kIdCancel));
}

bool SimDialogDriver::Close() {
  if (ended()) return false;
  const SimWindow* cancel = ui_.Window(Item(static_cast<int>(kIdCancel)));
  if (cancel != nullptr && !cancel->enabled()) return false;
  return Command(static_cast<int>(kIdCancel));
}

std::intptr_t SimDialogDriver::Notify(int id, std::int32_t code, std::uintptr_t item,
                                      std::uint32_t action) {
  if (ended()) return 0;
  WindowHandle control = Item(id);
  if (control == 0) return 0;
  return ui_.SendNotify(control, Message{kWmNotify, code, id, item, action});
}

void SimDialogDriver::SetIconic(bool iconic) {
  if (SimWindow* w = ui_.RunningDialog(dialog_)) w->iconic = iconic;
}

bool SimDialogDriver::Paint() {
  if (ended()) return false;
  std::intptr_t result = 0;
  ui_.painting_ = true;
  bool handled = ui_.Deliver(dialog_, Message{kWmPaint}, &result);
  ui_.painting_ = false;
  return handled;
}

std::intptr_t SimDialogDriver::QueryDragIcon() {
  if (ended()) return 0;
  std::intptr_t result = 0;
  return ui_.Deliver(dialog_, Message{kWmQueryDragIcon}, &result) ? result : 0;
}

}  // namespace qvx::sim
