// Binary planting: a DLL put where the uninstaller runs, under a native-first
// override (so that Wine loads a planted file wherever the search finds it),
// is not loaded. The override names the theming DLL, which the uninstaller's
// first window loads on demand.
#include "check.h"
#include "effects.h"
#include "scenario_kit.h"
#include "scenarios.h"
#include "ui_probe.h"

namespace {

constexpr char kMarker[] = "C:\\qvx-planted-dll-loaded";
constexpr char kPlantedName[] = "uxtheme.dll";
constexpr char kUninstallCaption[] = "Uninstall Quorvex";

// The stand-in DLL, built beside this driver.
std::string PlantedDllSource() {
  char self[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self, length);
  return path.substr(0, path.find_last_of('\\') + 1) + "qvx_planted.dll";
}

// Programs started from now on prefer a native theming DLL to Wine's own,
// wherever their search finds one (Wine's DLL overrides in the registry).
bool PreferNativeThemingDll() {
  return Expect(WriteRegistryText(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "uxtheme",
                                  "native,builtin"),
                "uxtheme.dll is loaded native first");
}

bool Plant(const std::string& folder) {
  std::string target = folder + (folder.back() == '\\' ? "" : "\\") + kPlantedName;
  return Expect(CopyFileA(PlantedDllSource().c_str(), target.c_str(), FALSE), "planted %s",
                target.c_str());
}

}  // namespace

void PlantedDll() {
  const std::string folder = texts::kDefaultFolder;
  if (!PreferNativeThemingDll()) return;
  if (!InstallAndClose()) return;

  // Beside the uninstaller, and in the temp folder where its finishing copy
  // runs.
  char temp[MAX_PATH];
  if (!Expect(GetTempPathA(MAX_PATH, temp) > 0, "the temp folder is known")) return;
  if (!Plant(folder) || !Plant(temp)) return;

  std::string command;
  if (!Expect(
          ReadRegistryText(HKEY_LOCAL_MACHINE, texts::kUninstallKey, "UninstallString", command),
          "the uninstall command is registered"))
    return;
  Process uninstaller;
  if (!Expect(uninstaller.Start(command), "%s starts", command.c_str())) return;
  HWND box = WaitForTopWindow(uninstaller.Id(), "#32770", kUninstallCaption);
  if (!Expect(box != nullptr, "the uninstaller asks")) return;
  Expect(AnswerBox(box, IDYES), "Yes closes the question");
  Expect(uninstaller.WaitForExit(kWaitMs), "the uninstaller ends");
  // The finishing copy ends once it removed the uninstaller; the planted
  // file keeps the folder, which it may report.
  HWND report = nullptr;
  Expect(WaitUntil([&] {
           report = FindTopWindow(0, "#32770", kUninstallCaption);
           return report || !FileExists(folder + "\\QvxUninstall.exe");
         }),
         "the finishing copy removed the uninstaller");
  if (report) {
    Info("it reports \"%s\"", Visible(MessageBoxText(report)).c_str());
    AnswerBox(report, IDOK);
  }

  std::string loadedBy;
  ReadWholeFile(kMarker, loadedBy);
  Expect(loadedBy.empty(), "no program loaded the planted %s%s%s", kPlantedName,
         loadedBy.empty() ? "" : "; it was loaded by ", Visible(loadedBy).c_str());
}
