// The file-system and process-wide operations over kernel32. Declared without
// <windows.h> so that the composition root can hold them without seeing the
// Windows headers.
#pragma once

#include "platform/file_system.h"
#include "platform/system.h"

namespace qvx {

class Win32FileSystem final : public FileSystem {
 public:
  FileHandle CreateFileA(const std::string& path, std::uint32_t desiredAccess,
                         std::uint32_t shareMode, std::uint32_t creationDisposition,
                         std::uint32_t flagsAndAttributes) override;
  bool WriteFile(FileHandle file, const void* data, std::uint32_t size,
                 std::uint32_t* written) override;
  bool ReadFile(FileHandle file, void* data, std::uint32_t size, std::uint32_t* read) override;
  bool CloseHandle(FileHandle file) override;
  bool DeleteFileA(const std::string& path) override;
  bool GetFileTime(FileHandle file, FileTime* creation, FileTime* lastAccess,
                   FileTime* lastWrite) override;
  bool SetFileTime(FileHandle file, const FileTime* creation, const FileTime* lastAccess,
                   const FileTime* lastWrite) override;
  bool SystemTimeToFileTime(const SystemTime& time, FileTime* out) override;
  bool LocalFileTimeToFileTime(const FileTime& local, FileTime* out) override;
  bool CreateDirectoryA(const std::string& path) override;
  std::uint32_t GetLastError() override;
  std::uint32_t GetDriveTypeA(const std::string& root) override;
  FindHandle FindFirstFileA(const std::string& pattern, FindData* found) override;
  bool FindNextFileA(FindHandle find, FindData* found) override;
  bool FindClose(FindHandle find) override;
  bool GetDiskFreeSpaceA(const std::string& root, DiskFreeSpace* space) override;
};

class Win32System final : public System {
 public:
  bool GetVersionExA(OsVersionInfo* info) override;
  std::uint32_t SetErrorMode(std::uint32_t mode) override;
  std::string GetWindowsDirectoryA() override;
  std::string GetModuleFileNameA() override;
  void Beep(std::uint32_t frequency, std::uint32_t duration) override;
  bool IsDBCSLeadByte(std::uint8_t byte) override;
  void* GlobalAlloc(std::uint32_t flags, std::size_t bytes) override;
  void GlobalFree(void* memory) override;
  std::span<const std::uint8_t> LockRcData(int id) override;
};

}  // namespace qvx
