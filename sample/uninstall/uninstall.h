// The uninstallation as a whole: what runs where.
#pragma once

#include <windows.h>

// Removes the installation in `folder`, including the uninstaller file
// there, and shows one message listing whatever could not be removed.
// While that uninstaller is the running program (`selfRunning`), its file
// and the folder can only be scheduled for removal at the next restart.
// Returns 0 when everything is gone, 2 otherwise.
int UninstallFolder(const char* folder, bool selfRunning);

// Starts a copy of this program from the temp folder that waits for this
// process to end and then uninstalls `folder`. False when no copy could be
// started.
bool HandOverToCopy(const char* selfPath, const char* folder);

// The copy's side: waits for the process behind `originalProcess` (an
// inherited handle, given as its decimal value), then uninstalls.
int FinishAsCopy(const char* originalProcess, const char* folder);
