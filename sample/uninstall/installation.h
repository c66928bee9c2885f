// Which folder the registry names as the installation of Quorvex, and the
// form in which the uninstaller compares and uses folders.
#pragma once

#include "text_buffer.h"

// `folder` as the uninstaller uses it: a drive alone ("C:", as the installer
// stores an installation at a drive's root) is that drive's root "C:\", not
// its current folder; any other folder loses a trailing backslash.
PathText NormalFolder(const char* folder);

// True for a drive's root folder ("C:\"), which is never removed.
bool IsDriveRoot(const char* folder);

// True when the application-path entry's Path names `folder`.
bool AppPathNames(const char* folder);

// True when the uninstall entry's UninstallString (quoted or not) is the
// uninstaller in `folder`.
bool UninstallEntryNames(const char* folder);

// True when either entry names `folder`: only then is it an installation.
bool IsRegisteredInstallation(const char* folder);
