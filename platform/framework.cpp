#include "platform/framework.h"

#include <algorithm>

#include "platform/ansi_path.h"

namespace qvx {

std::string Application::Title() const {
  std::string path = platform_.system.GetModuleFileNameA();
  std::size_t slash = FindLastOf(platform_.system, path, "\\/:");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::size_t dot = FindLastOf(platform_.system, name, ".");
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

WindowHandle Application::ActiveWindow() const {
  return running_.empty() ? WindowHandle{0} : running_.back()->hwnd();
}

int Application::MessageBox(const std::string& text, std::uint32_t type) {
  return platform_.ui.MessageBoxA(ActiveWindow(), text, Title(), type | kMbIconExclamation);
}

Dialog::Dialog(Application& app, int templateId, WindowHandle owner)
    : app_(app), templateId_(templateId), owner_(owner) {}

std::intptr_t Dialog::DoModal() {
  std::intptr_t result = ui().DialogBoxParamA(templateId_, owner_, *this);
  std::vector<Dialog*>& running = app_.running_;
  running.erase(std::remove(running.begin(), running.end(), this), running.end());
  hwnd_ = 0;
  return result;
}

bool Dialog::HandleInitDialog(WindowHandle hwnd) {
  hwnd_ = hwnd;
  app_.running_.push_back(this);
  DoDataExchange();
  return OnInitDialog();
}

bool Dialog::HandleMessage(const Message& message, std::intptr_t* result) {
  *result = 0;
  if (ProcessMessage(message, result)) return true;
  if (message.message == kWmCommand && message.code == kBnClicked) {
    if (message.id == kIdOk) {
      OnOK();
      return true;
    }
    if (message.id == kIdCancel) {
      OnCancel();
      return true;
    }
  }
  return false;
}

void Dialog::EndDialog(std::intptr_t result) { ui().EndDialog(hwnd_, result); }

void Dialog::Bind(Control& control, int id) {
  control.ui_ = &ui();
  control.hwnd_ = Item(id);
}

WindowHandle Dialog::Item(int id) const { return ui().GetDlgItem(hwnd_, id); }

}  // namespace qvx
