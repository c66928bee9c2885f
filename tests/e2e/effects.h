// Reading back what an installation left on the machine: files, time
// stamps, registry values and shell links.
#pragma once

#include <windows.h>

#include <string>

bool ReadWholeFile(const std::string& path, std::string& content);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

// The file's last-write and creation times as local time, "YYYY-MM-DD hh:mm:ss".
bool LocalFileTimes(const std::string& path, std::string& written, std::string& created);

// A REG_SZ value; `valueName` nullptr is the key's default value. The
// registry calls here pass no KEY_WOW64_* flag: they see the view of the
// driver's own bitness, which is the installer's (see CMakeLists.txt).
bool ReadRegistryText(HKEY root, const std::string& key, const char* valueName, std::string& value);
bool RegistryKeyExists(HKEY root, const std::string& key);
bool WriteRegistryText(HKEY root, const std::string& key, const char* valueName,
                       const std::string& value);

// The user's folder of that name under HKCU ...\Explorer\Shell Folders.
std::string ShellFolder(const char* valueName);

// Target and description of a .lnk file, through the system's shell link.
bool ReadShellLink(const std::string& path, std::string& target, std::string& description);

// Creates the folder and its missing parents.
bool CreateFolderPath(const std::string& path);
