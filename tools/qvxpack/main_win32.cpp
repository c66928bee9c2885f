// qvxpack.exe's entry point: the arguments come as UTF-16, so that any file
// name Windows takes reaches the tool whole, and go on in UTF-8. A console
// shows the tool's UTF-8 messages as such while it runs.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tools/qvxpack/commands.h"
#include "tools/qvxpack/wide_text.h"

namespace {

UINT consoleCodePage = 0;

void RestoreConsoleCodePage() { SetConsoleOutputCP(consoleCodePage); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  consoleCodePage = GetConsoleOutputCP();
  if (consoleCodePage != 0 && SetConsoleOutputCP(CP_UTF8)) std::atexit(RestoreConsoleCodePage);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(qvx::pack::Narrow(argv[i]));
  return qvx::pack::RunQvxpack(args);
}
