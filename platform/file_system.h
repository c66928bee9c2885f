// File system operations, one per Windows call the installer makes. Each
// method behaves as its namesake: failures come back as the documented
// failure value, with the reason in GetLastError().
#pragma once

#include <cstdint>
#include <string>

namespace qvx {

using FileHandle = std::uintptr_t;
inline constexpr FileHandle kInvalidFileHandle = ~FileHandle{0};  // INVALID_HANDLE_VALUE

using FindHandle = std::uintptr_t;
inline constexpr FindHandle kInvalidFindHandle = ~FindHandle{0};

// 100-nanosecond intervals since 1601-01-01, as FILETIME.
struct FileTime {
  std::uint32_t dwLowDateTime = 0;
  std::uint32_t dwHighDateTime = 0;
  friend bool operator==(const FileTime&, const FileTime&) = default;
};

struct SystemTime {
  std::uint16_t wYear = 0;
  std::uint16_t wMonth = 0;
  std::uint16_t wDayOfWeek = 0;
  std::uint16_t wDay = 0;
  std::uint16_t wHour = 0;
  std::uint16_t wMinute = 0;
  std::uint16_t wSecond = 0;
  std::uint16_t wMilliseconds = 0;
};

// The part of WIN32_FIND_DATAA that the folder browser reads.
struct FindData {
  std::uint32_t dwFileAttributes = 0;
  std::string cFileName;
};

// GetDiskFreeSpaceA's four outputs.
struct DiskFreeSpace {
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t bytesPerSector = 0;
  std::uint32_t numberOfFreeClusters = 0;
  std::uint32_t totalNumberOfClusters = 0;
};

class FileSystem {
 protected:
  // Destroyed by its own type, never through this base: no virtual
  // destructor, and no deleting destructor in each derived class's table.
  ~FileSystem() = default;

 public:
  // Returns kInvalidFileHandle on failure.
  virtual FileHandle CreateFileA(const std::string& path, std::uint32_t desiredAccess,
                                 std::uint32_t shareMode, std::uint32_t creationDisposition,
                                 std::uint32_t flagsAndAttributes) = 0;
  virtual bool WriteFile(FileHandle file, const void* data, std::uint32_t size,
                         std::uint32_t* written) = 0;
  // Reads up to size bytes; *read is 0 at the end of the file.
  virtual bool ReadFile(FileHandle file, void* data, std::uint32_t size, std::uint32_t* read) = 0;
  virtual bool CloseHandle(FileHandle file) = 0;
  virtual bool DeleteFileA(const std::string& path) = 0;
  // Null pointers are allowed, as in Windows.
  virtual bool GetFileTime(FileHandle file, FileTime* creation, FileTime* lastAccess,
                           FileTime* lastWrite) = 0;
  virtual bool SetFileTime(FileHandle file, const FileTime* creation, const FileTime* lastAccess,
                           const FileTime* lastWrite) = 0;
  virtual bool SystemTimeToFileTime(const SystemTime& time, FileTime* out) = 0;
  virtual bool LocalFileTimeToFileTime(const FileTime& local, FileTime* out) = 0;
  virtual bool CreateDirectoryA(const std::string& path) = 0;
  virtual std::uint32_t GetLastError() = 0;

  virtual std::uint32_t GetDriveTypeA(const std::string& root) = 0;
  // Returns kInvalidFindHandle when the enumeration cannot start.
  virtual FindHandle FindFirstFileA(const std::string& pattern, FindData* found) = 0;
  virtual bool FindNextFileA(FindHandle find, FindData* found) = 0;
  virtual bool FindClose(FindHandle find) = 0;
  virtual bool GetDiskFreeSpaceA(const std::string& root, DiskFreeSpace* space) = 0;
};

}  // namespace qvx
