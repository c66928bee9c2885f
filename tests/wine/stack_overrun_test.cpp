// Stack protection at work in a program built as the installer is, with its
// flags and its runtime: a copy of this program started with "overrun" writes
// past a buffer on its stack, on purpose. It must end at once with the status
// of a stack buffer overrun, never returning from the function that overran
// and showing nothing; the first copy checks that and exits with 0.
#include <windows.h>

#include <cstring>

namespace {

constexpr DWORD kStackBufferOverrun = 0xC0000409;
constexpr DWORD kWaitMs = 120000;

void Say(const char* text) {
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, lstrlenA(text), &written, nullptr);
}

// Read at run time, so that the compiler cannot see the overrun coming.
volatile unsigned overrunLength = 64;

__attribute__((noinline)) void Overrun() {
  char buffer[16];
  std::memset(buffer, 'A', overrunLength);
  asm volatile("" : : "r"(buffer) : "memory");
}

int RunOverrun() {
  Overrun();
  Say("the code after the overrun ran\n");
  return 3;
}

bool EndsWith(const char* text, const char* end) {
  int textLength = lstrlenA(text), endLength = lstrlenA(end);
  return textLength >= endLength && lstrcmpA(text + textLength - endLength, end) == 0;
}

}  // namespace

int QvxMain() {
  if (EndsWith(GetCommandLineA(), " overrun")) return RunOverrun();

  char path[MAX_PATH];
  char commandLine[MAX_PATH + 16];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  wsprintfA(commandLine, "\"%s\" overrun", path);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child;
  if (!CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &child)) {
    Say("the copy that overruns did not start\n");
    return 1;
  }
  DWORD waited = WaitForSingleObject(child.hProcess, kWaitMs);
  DWORD status = 0;
  GetExitCodeProcess(child.hProcess, &status);
  if (waited != WAIT_OBJECT_0) TerminateProcess(child.hProcess, 1);
  char report[96];
  wsprintfA(report, "the copy that overruns %s with status 0x%08lX\n",
            waited == WAIT_OBJECT_0 ? "ended" : "was still running after 2 minutes", status);
  Say(report);
  return waited == WAIT_OBJECT_0 && status == kStackBufferOverrun ? 0 : 1;
}
