// The Windows entry point: restricts where DLLs are looked for, builds the
// platform from the Win32 backends and runs the installer's application
// object. The entry point of runtime.cpp calls QvxMain.
#include "app/setup_app.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/win32_backends.h"
#include "platform/win32/win32_shell_backends.h"
#include "platform/win32/win32_tree_view.h"
#include "platform/win32/win32_ui_backends.h"

int QvxMain() {
  // Before anything can load a DLL on demand: the first window loads the
  // theming DLL, the shortcut loads the shell through COM.
  qvx::RestrictDllSearchToSystemFolder();
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
