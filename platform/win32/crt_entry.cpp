// The entry points of the programs that start through the C runtime's own
// start-up (all of ours but those on our runtime, the installer among
// them): the stack guard gets its value before any other code runs, then the
// runtime's entry point takes over, which ends the process and never returns
// here.
#include "platform/win32/stack_guard.h"

extern "C" int WinMainCRTStartup();
extern "C" int mainCRTStartup();

// The stack is realigned: the system makes no promise about its alignment at
// this point.
extern "C" __attribute__((force_align_arg_pointer, no_stack_protector)) int
QvxGuardedWinMainCRTStartup() {
  qvx::SeedStackGuard();
  return WinMainCRTStartup();
}

extern "C" __attribute__((force_align_arg_pointer, no_stack_protector)) int
QvxGuardedMainCRTStartup() {
  qvx::SeedStackGuard();
  return mainCRTStartup();
}
