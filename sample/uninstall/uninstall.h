// The uninstallation as a whole: what runs where.
#pragma once

#include <windows.h>

// Removes the installation in `folder` (as NormalFolder gives it), including
// the uninstaller file there, and shows one message listing whatever could
// not be removed. While that uninstaller is the running program
// (`selfRunning`), its file and the folder can only be scheduled for removal
// at the next restart. Returns 0 when everything is gone, 2 otherwise.
int UninstallFolder(const char* folder, bool selfRunning);

enum class HandOver {
  TakenOver,   // the copy checked what it was given and waits for this process
  Refused,     // the copy ended without taking over, after saying why
  NotStarted,  // no copy could be made or started
};

// Starts a copy of this program, in a new folder of its own in the temp
// folder, that waits for this process to end and then uninstalls `folder`;
// returns once the copy has taken over or ended.
HandOver HandOverToCopy(const char* selfPath, const char* folder);

// The copy's side. It accepts only what its first stage hands it: a handle
// to that stage's process, still running, an event to set when it takes
// over (both inherited, as decimal values), and a folder that the registry
// names as the installation. Then it waits for the first stage to end and
// uninstalls; at the end it leaves its temp folder.
int FinishAsCopy(const char* originalProcess, const char* readyEvent, const char* folder);
