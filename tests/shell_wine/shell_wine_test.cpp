// Registers an installation and writes both shortcuts through the Win32
// backends, then reads everything back through the registry API and the
// shell-link object. Exits with the number of failed checks.
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/win32_shell_backends.h"
#include "shell/previous_install.h"
#include "shell/product_shortcut.h"
#include "shell/registration.h"
#include "shell/shell_folders.h"

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) ++failures;
}

struct Value {
  std::string name;
  DWORD type = 0;
  std::vector<BYTE> data;
};

// Every value of HKLM\path, as the registry API enumerates them.
std::vector<Value> ReadValues(const std::string& path) {
  std::vector<Value> values;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return values;
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameSize = sizeof name;
    BYTE data[1024];
    DWORD dataSize = sizeof data;
    Value value;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &value.type, data, &dataSize) !=
        ERROR_SUCCESS) {
      break;
    }
    value.name.assign(name, nameSize);
    value.data.assign(data, data + dataSize);
    values.push_back(value);
  }
  RegCloseKey(key);
  return values;
}

void CheckString(const std::vector<Value>& values, const std::string& name,
                 const std::string& text) {
  std::vector<BYTE> expected(text.begin(), text.end());
  expected.push_back(0);
  for (const Value& value : values) {
    if (_stricmp(value.name.c_str(), name.c_str()) == 0) {
      Check(value.type == REG_SZ && value.data == expected,
            "value \"" + name + "\" is REG_SZ \"" + text + "\" with its zero");
      return;
    }
  }
  Check(false, "value \"" + name + "\" present");
}

// Loads a .lnk file through the shell-link object.
bool LoadLink(const std::string& path, std::string* target, std::string* description) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  bool ok = false;
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(persist->Load(wide, STGM_READ))) {
      char text[MAX_PATH] = {};
      ok = SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH));
      *target = text;
      char about[MAX_PATH] = {};
      ok = ok && SUCCEEDED(link->GetDescription(about, MAX_PATH));
      *description = about;
    }
    persist->Release();
  }
  link->Release();
  return ok;
}

// The Unix path wine maps a Windows path to, or empty when it cannot tell.
std::string UnixPath(const std::string& path) {
  using Convert = char* (*)(const WCHAR*);
  auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return {};
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  char* unix = convert(wide);
  if (!unix) return {};
  std::string result = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

std::string Environment(const char* name) {
  char value[1024];
  DWORD size = GetEnvironmentVariableA(name, value, sizeof value);
  return size > 0 && size < sizeof value ? std::string(value, size) : std::string();
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return !prefix.empty() && text.compare(0, prefix.size(), prefix) == 0;
}

// The file lies in the run's own prefix or home, never anywhere else.
void CheckContained(const std::string& path) {
  std::string unix = UnixPath(path);
  std::string prefix = Environment("WINEPREFIX");
  std::string home = Environment("HOME");
  Check(StartsWith(unix, prefix + "/") || StartsWith(unix, home + "/"),
        path + " lies in the prefix or HOME (" + unix + ")");
}

void TestRegistration(qvx::Registry& registry, const std::string& folder) {
  qvx::RegisterAppPath(registry, folder);
  qvx::RegisterUninstall(registry, folder);

  const std::string version = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  std::vector<Value> app = ReadValues(version + "\\App Paths\\QVX.EXE");
  Check(app.size() == 2, "App Paths\\QVX.EXE holds two values");
  CheckString(app, "", folder + "\\QVX.EXE");
  CheckString(app, "Path", folder);
  std::vector<Value> uninstall = ReadValues(version + "\\Uninstall\\Quorvex");
  Check(uninstall.size() == 2, "Uninstall\\Quorvex holds two values");
  CheckString(uninstall, "DisplayName", "Quorvex");
  CheckString(uninstall, "UninstallString", "\"" + folder + "\\QvxUninstall.exe\"");

  Check(qvx::FindPreviousInstall(registry) == folder, "the look-up finds " + folder);
}

void TestShortcuts(qvx::Registry& registry, qvx::ShellLink& shellLink, const std::string& folder) {
  qvx::ShellFolders folders = qvx::ReadShellFolders(registry);
  Check(!folders.desktop.empty(), "desktop folder " + folders.desktop);
  Check(!folders.programs.empty(), "programs folder " + folders.programs);

  // The shortcuts point at an installed program, as after a real run.
  const std::string target = folder + "\\QVX.exe";
  CreateDirectoryA("C:\\Program Files\\Kelvane Test", nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  HANDLE file = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  Check(file != INVALID_HANDLE_VALUE, "created " + target);
  CloseHandle(file);

  shellLink.CoInitialize();
  for (const std::string& where : {folders.desktop, folders.programs}) {
    std::int32_t status = qvx::CreateProductShortcut(shellLink, target, where);
    Check(status == S_OK, "shortcut saved in " + where);
    const std::string path = where + "\\QVX.lnk";
    std::string savedTarget;
    std::string savedDescription;
    Check(LoadLink(path, &savedTarget, &savedDescription), "loaded " + path);
    Check(savedTarget == target, "target " + savedTarget);
    Check(savedDescription == "Quorvex", "description " + savedDescription);
    CheckContained(path);
  }
  Check(qvx::CreateProductShortcut(shellLink, target, "") < 0 &&
            GetFileAttributesA("\\QVX.lnk") == INVALID_FILE_ATTRIBUTES,
        "an unknown folder gets no link at the drive root");
  shellLink.CoUninitialize();
}

}  // namespace

int main() {
  qvx::Win32Registry registry;
  qvx::Win32ShellLink shellLink;
  const std::string folder = "C:\\Program Files\\Kelvane Test\\Quorvex";
  TestRegistration(registry, folder);
  TestShortcuts(registry, shellLink, folder);
  std::printf("%d failed\n", failures);
  return failures;
}
