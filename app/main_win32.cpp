// The Windows entry point: builds the platform from the Win32 backends and
// runs the installer's application object. MinGW's GUI start-up calls main.
#include "app/setup_app.h"
#include "platform/win32/win32_backends.h"
#include "platform/win32/win32_shell_backends.h"
#include "platform/win32/win32_tree_view.h"
#include "platform/win32/win32_ui_backends.h"

int main() {
  qvx::Win32System system;
  qvx::Win32FileSystem files;
  qvx::Win32Registry registry;
  qvx::Win32ShellLink shellLink;
  qvx::Win32Ui ui;
  qvx::Win32TreeView treeView;
  qvx::Platform platform{system, files, registry, shellLink, ui, treeView};
  qvx::SetupApp app(platform);
  return app.Run();
}
