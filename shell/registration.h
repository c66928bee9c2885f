// Records a finished installation in the machine's registry: the application-
// path entry (read back by FindPreviousInstall) and the uninstall entry. Both
// are silent: a missing level, a refused create or a refused write leaves the
// registry as it was and the caller is told nothing.
#pragma once

#include <string>

#include "platform/registry.h"

namespace qvx {

// Under HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths, key
// "QVX.EXE": the default value folder + "\QVX.EXE" and "Path" = folder.
// folder has no trailing backslash.
void RegisterAppPath(Registry& registry, const std::string& folder);

// Under HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall, key
// "Quorvex": "DisplayName" = "Quorvex" and "UninstallString" = the
// uninstaller's path in quotation marks.
void RegisterUninstall(Registry& registry, const std::string& folder);

// The uninstall command for folder. It is quoted so that a folder with blanks
// (the default one has one) cannot make Windows start a program named after
// the text before the first blank, such as C:\Program.exe.
std::string UninstallCommand(const std::string& folder);

}  // namespace qvx
