#include "effects.h"

#include <objidl.h>
#include <shlobj.h>
#include <stdio.h>

namespace {

std::string Format(const FILETIME& utc) {
  FILETIME local;
  SYSTEMTIME time;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) return "?";
  char text[32];
  snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay,
           time.wHour, time.wMinute, time.wSecond);
  return text;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  content.clear();
  char buffer[65536];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) && read > 0)
    content.append(buffer, read);
  CloseHandle(file);
  return ok;
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool LocalFileTimes(const std::string& path, std::string& written, std::string& created) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  written = Format(data.ftLastWriteTime);
  created = Format(data.ftCreationTime);
  return true;
}

bool ReadRegistryText(HKEY root, const std::string& key, const char* valueName,
                      std::string& value) {
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return false;
  char data[2048] = {};
  DWORD size = sizeof(data) - 1;
  DWORD type = 0;
  LONG status =
      RegQueryValueExA(handle, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || type != REG_SZ) return false;
  value = data;
  return true;
}

bool RegistryKeyExists(HKEY root, const std::string& key) {
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

bool WriteRegistryText(HKEY root, const std::string& key, const char* valueName,
                       const std::string& value) {
  HKEY handle;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG status =
      RegSetValueExA(handle, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

std::string ShellFolder(const char* valueName) {
  std::string folder;
  ReadRegistryText(HKEY_CURRENT_USER,
                   "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                   valueName, folder);
  return folder;
}

bool ReadShellLink(const std::string& path, std::string& target, std::string& description) {
  bool comReady = SUCCEEDED(CoInitialize(nullptr));
  bool read = false;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      WCHAR widePath[MAX_PATH];
      char text[MAX_PATH + 1] = {};
      char about[MAX_PATH + 1] = {};
      if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH) > 0 &&
          SUCCEEDED(file->Load(widePath, STGM_READ)) &&
          SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
          SUCCEEDED(link->GetDescription(about, MAX_PATH))) {
        target = text;
        description = about;
        read = true;
      }
      file->Release();
    }
    link->Release();
  }
  if (comReady) CoUninitialize();
  return read;
}

bool CreateFolderPath(const std::string& path) {
  // By characters: a 0x5C byte may end a double-byte character.
  for (const char* c = path.c_str() + 3; *c; c = CharNextA(c))
    if (*c == '\\') CreateDirectoryA(path.substr(0, c - path.c_str()).c_str(), nullptr);
  return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}
