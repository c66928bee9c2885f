// The end-to-end scenarios; each runs against a fresh Wine prefix.
#pragma once

#include <windows.h>

#include "scenario_kit.h"

using ScenarioFunction = void (*)();

// Stands for the exit status that the prefix's Windows version calls for:
// refused on platform family 0, installed on the others.
inline constexpr DWORD kExitByPlatform = ~DWORD{0};

struct Scenario {
  const char* name;
  ScenarioFunction run;
  DWORD setupExit;  // how the installer the scenario started last must end
};

void FreshPrefix();
void PreviousInstallNo();
void PreviousInstallYes();
void InstallDefault();
void TypedFolder();
void LongPath();
void LockedFile();
void DamagedCopy();
void MissingDrive();
void BrowseFolder();
void UninstallAll();
void UninstallInUse();
void UninstallElsewhere();
void UninstallForgedFinish();
void UninstallRoot();
void MeasureInstall();
void WindowsVersion();
void PlantedDll();

// The exit status of windows_version's installer.
DWORD ExitStatusForPlatform();

inline constexpr Scenario kScenarios[] = {
    {"fresh_prefix", FreshPrefix, texts::kExitCancelled},
    {"previous_no", PreviousInstallNo, texts::kExitCancelled},
    {"previous_yes", PreviousInstallYes, texts::kExitCancelled},
    {"install_default", InstallDefault, texts::kExitInstalled},
    {"typed_folder", TypedFolder, texts::kExitCancelled},
    {"long_path", LongPath, texts::kExitInstalled},
    {"locked_file", LockedFile, texts::kExitInstalled},
    {"damaged", DamagedCopy, texts::kExitRefused},
    {"missing_drive", MissingDrive, texts::kExitCancelled},
    {"browse", BrowseFolder, texts::kExitCancelled},
    {"uninstall", UninstallAll, texts::kExitInstalled},
    {"uninstall_in_use", UninstallInUse, texts::kExitInstalled},
    {"uninstall_elsewhere", UninstallElsewhere, texts::kExitInstalled},
    {"uninstall_forged_finish", UninstallForgedFinish, texts::kExitInstalled},
    {"uninstall_root", UninstallRoot, texts::kExitInstalled},
    {"measure_install", MeasureInstall, texts::kExitInstalled},
    {"windows_version", WindowsVersion, kExitByPlatform},
    {"planted_dll", PlantedDll, texts::kExitInstalled},
};
