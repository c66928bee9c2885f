// QvxUninstall.exe: removes the Quorvex installation in the folder of its
// own file: the installed files, the two shortcuts, the registry entries and
// the folder. Windows runs it from the uninstall entry's command line.
//
// A running program cannot delete its own file, so after the user's Yes it
// hands the work to a copy of itself in the temp folder, which waits for
// this process to end and then removes everything, this file included.
#include <stdlib.h>

#include "platform/win32/dll_search.h"
#include "removal.h"
#include "uninstall.h"

namespace {

const char kQuestion[] = "Remove Quorvex and all of its components?";
const char kCaption[] = "Uninstall Quorvex";

// The folder of this program's own file.
bool OwnFolder(PathText& self, PathText& folder) {
  if (GetModuleFileNameA(nullptr, self.Data(), MAX_PATH) == 0) return false;
  folder.Clear();
  folder.Append(self.Get());
  char* lastSlash = nullptr;
  for (char* c = folder.Data(); *c; c = CharNextA(c))
    if (*c == '\\') lastSlash = c;
  if (!lastSlash) return false;
  *lastSlash = '\0';
  return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The copy in the temp folder runs where any process may plant a DLL.
  qvx::RestrictDllSearchToSystemFolder();
  if (__argc == 4 && lstrcmpiA(__argv[1], "/finish") == 0)
    return FinishAsCopy(__argv[2], __argv[3]);

  if (MessageBoxA(nullptr, kQuestion, kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return 1;

  PathText self, folder;
  if (!OwnFolder(self, folder)) {
    MessageBoxA(nullptr, "The folder of Quorvex could not be determined; nothing was removed.",
                kCaption, MB_OK | MB_ICONEXCLAMATION);
    return 2;
  }
  if (HandOverToCopy(self.Get(), folder.Get())) return 0;
  return UninstallFolder(folder.Get(), true);
}
