// qvx_e2e SCENARIO SETUP_EXE PRODUCT_FOLDER
//
// Drives QvxSetup.exe from outside, as a user would, and checks what it
// shows and what it leaves on the machine. Meant to run in a fresh Wine
// prefix (tests/wine/run-in-prefix.sh); paths may be given as Linux paths.
// Exits with 0 when every check of the scenario passed.
//
// QVX_CODE_PAGE, when set, is the ANSI code page the run's locale must give
// (checked first); the scenario then uses that code page's LocaleNames.
//
// QVX_PROGRAM_WINEDEBUG, when set, becomes the WINEDEBUG of the programs the
// driver starts (the installer, the uninstaller) but not of the driver: a
// relay trace of them without the driver's own polling.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "processes.h"
#include "scenario_kit.h"
#include "scenarios.h"

static bool UseLocaleNames() {
  char value[16] = {};
  DWORD length = GetEnvironmentVariableA("QVX_CODE_PAGE", value, sizeof value);
  if (length == 0 || length >= sizeof value) return true;
  const unsigned wanted = static_cast<unsigned>(strtoul(value, nullptr, 10));
  if (!Expect(GetACP() == wanted, "the system's ANSI code page is %u (it is %u)", wanted,
              GetACP()))
    return false;
  Env().names = NamesFor(wanted);
  if (!Expect(Env().names != nullptr, "names for code page %u", wanted)) return false;
  if (!Env().names->setupName) return true;
  const std::string copy = std::string("C:\\") + Env().names->setupName + ".exe";
  if (!Expect(CopyFileA(Env().setupExe.c_str(), copy.c_str(), FALSE) != FALSE,
              "the installer is saved as %s", copy.c_str()))
    return false;
  UseInstaller(copy);
  return true;
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: qvx_e2e SCENARIO SETUP_EXE PRODUCT_FOLDER\nscenarios:");
    for (const Scenario& scenario : kScenarios) fprintf(stderr, " %s", scenario.name);
    fprintf(stderr, "\n");
    return 2;
  }
  char programDebug[256];
  DWORD length =
      GetEnvironmentVariableA("QVX_PROGRAM_WINEDEBUG", programDebug, sizeof programDebug);
  if (length > 0 && length < sizeof programDebug)
    SetEnvironmentVariableA("WINEDEBUG", programDebug);
  UseInstaller(WindowsPathOf(argv[2]));
  Env().productFolder = WindowsPathOf(argv[3]);
  if (!UseLocaleNames()) return 1;
  for (const Scenario& scenario : kScenarios) {
    if (strcmp(scenario.name, argv[1]) != 0) continue;
    printf("scenario %s\n", scenario.name);
    fflush(stdout);
    scenario.run();
    printf("%s: %d failed check(s)\n", scenario.name, FailureCount());
    fflush(stdout);
    return FailureCount() == 0 ? 0 : 1;
  }
  fprintf(stderr, "unknown scenario %s\n", argv[1]);
  return 2;
}
