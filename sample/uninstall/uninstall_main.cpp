// QvxUninstall.exe: removes the Quorvex installation in the folder of its
// own file: the installed files, the two shortcuts, the registry entries and
// the folder. Windows runs it from the uninstall entry's command line. A
// folder that the registry does not name as the installation (a vendor's
// staging folder, a build's product folder) is left as it is.
//
// A running program cannot delete its own file, so after the user's Yes it
// hands the work to a copy of itself in the temp folder, which waits for
// this process to end and then removes everything, this file included.
#include <stdlib.h>

#include "platform/win32/dll_search.h"
#include "installation.h"
#include "removal.h"
#include "uninstall.h"

namespace {

const char kCaption[] = "Uninstall Quorvex";

// The folder of this program's own file, as NormalFolder gives it.
bool OwnFolder(PathText& self, PathText& folder) {
  if (GetModuleFileNameA(nullptr, self.Data(), MAX_PATH) == 0) return false;
  PathText path(self.Get());
  char* lastSlash = nullptr;
  for (char* c = path.Data(); *c; c = CharNextA(c))
    if (*c == '\\') lastSlash = c;
  if (!lastSlash) return false;
  *lastSlash = '\0';
  folder = NormalFolder(path.Get());
  return true;
}

int Tell(const char* text) {
  MessageBoxA(nullptr, text, kCaption, MB_OK | MB_ICONEXCLAMATION);
  return 2;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The copy in the temp folder runs where any process may plant a DLL.
  qvx::RestrictDllSearchToSystemFolder();
  if (__argc >= 2 && lstrcmpiA(__argv[1], "/finish") == 0) {
    // Other operands than the three the first stage writes are refused too.
    if (__argc != 5) return FinishAsCopy("", "", "");
    return FinishAsCopy(__argv[2], __argv[3], __argv[4]);
  }

  PathText self, folder;
  if (!OwnFolder(self, folder))
    return Tell("The folder of Quorvex could not be determined; nothing was removed.");
  if (!IsRegisteredInstallation(folder.Get())) {
    PathText text("No installation of Quorvex was found in\r\n");
    text.Append(folder.Get()).Append("\r\n\r\nNothing was removed.");
    return Tell(text.Get());
  }

  PathText question("Remove Quorvex and all of its components from\r\n");
  question.Append(folder.Get()).Append("?");
  if (MessageBoxA(nullptr, question.Get(), kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return 1;

  switch (HandOverToCopy(self.Get(), folder.Get())) {
    case HandOver::TakenOver:
      return 0;
    case HandOver::Refused:
      return 2;
    case HandOver::NotStarted:
      break;
  }
  return UninstallFolder(folder.Get(), true);
}
