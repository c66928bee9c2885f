// The end-to-end scenarios; each runs against a fresh Wine prefix.
#pragma once

using ScenarioFunction = void (*)();

struct Scenario {
  const char* name;
  ScenarioFunction run;
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

inline constexpr Scenario kScenarios[] = {
    {"fresh_prefix", FreshPrefix},
    {"previous_no", PreviousInstallNo},
    {"previous_yes", PreviousInstallYes},
    {"install_default", InstallDefault},
    {"typed_folder", TypedFolder},
    {"long_path", LongPath},
    {"locked_file", LockedFile},
    {"damaged", DamagedCopy},
    {"missing_drive", MissingDrive},
    {"browse", BrowseFolder},
    {"uninstall", UninstallAll},
    {"uninstall_in_use", UninstallInUse},
    {"uninstall_elsewhere", UninstallElsewhere},
    {"uninstall_forged_finish", UninstallForgedFinish},
    {"uninstall_root", UninstallRoot},
    {"measure_install", MeasureInstall},
    {"windows_version", WindowsVersion},
    {"planted_dll", PlantedDll},
};
