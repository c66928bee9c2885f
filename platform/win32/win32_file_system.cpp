// Each operation is the kernel32 call it names, with our handle and time
// types converted to and from the Windows ones.
#include <windows.h>

#include "platform/win32/win32_backends.h"
#include "platform/win_values.h"

namespace qvx {

static_assert(
    kErrorFileNotFound == ERROR_FILE_NOT_FOUND && kErrorPathNotFound == ERROR_PATH_NOT_FOUND &&
    kErrorAccessDenied == ERROR_ACCESS_DENIED && kErrorInvalidHandle == ERROR_INVALID_HANDLE &&
    kErrorNotReady == ERROR_NOT_READY && kErrorSharingViolation == ERROR_SHARING_VIOLATION &&
    kErrorHandleDiskFull == ERROR_HANDLE_DISK_FULL && kErrorFileExists == ERROR_FILE_EXISTS &&
    kErrorInvalidParameter == ERROR_INVALID_PARAMETER && kErrorDiskFull == ERROR_DISK_FULL &&
    kErrorInvalidName == ERROR_INVALID_NAME && kErrorBadPathname == ERROR_BAD_PATHNAME &&
    kErrorAlreadyExists == ERROR_ALREADY_EXISTS && kErrorNoMoreFiles == ERROR_NO_MORE_FILES);
static_assert(kGenericRead == GENERIC_READ && kGenericWrite == GENERIC_WRITE &&
              kFileShareRead == FILE_SHARE_READ && kFileShareWrite == FILE_SHARE_WRITE &&
              kCreateAlways == CREATE_ALWAYS && kOpenExisting == OPEN_EXISTING);
static_assert(kFileAttributeReadonly == FILE_ATTRIBUTE_READONLY &&
              kFileAttributeHidden == FILE_ATTRIBUTE_HIDDEN &&
              kFileAttributeSystem == FILE_ATTRIBUTE_SYSTEM &&
              kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY &&
              kFileAttributeNormal == FILE_ATTRIBUTE_NORMAL);
static_assert(kDriveUnknown == DRIVE_UNKNOWN && kDriveNoRootDir == DRIVE_NO_ROOT_DIR &&
              kDriveRemovable == DRIVE_REMOVABLE && kDriveFixed == DRIVE_FIXED &&
              kDriveRemote == DRIVE_REMOTE && kDriveCdrom == DRIVE_CDROM &&
              kDriveRamdisk == DRIVE_RAMDISK);
static_assert(sizeof(HANDLE) == sizeof(FileHandle));
static_assert(sizeof(FILETIME) == sizeof(FileTime) && sizeof(SYSTEMTIME) == sizeof(SystemTime));

namespace {

HANDLE ToHandle(std::uintptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

FILETIME ToWindows(const FileTime& time) {
  return FILETIME{time.dwLowDateTime, time.dwHighDateTime};
}

FileTime FromWindows(const FILETIME& time) {
  return FileTime{time.dwLowDateTime, time.dwHighDateTime};
}

FindData FromWindows(const WIN32_FIND_DATAA& data) {
  return FindData{data.dwFileAttributes, data.cFileName};
}

}  // namespace

FileHandle Win32FileSystem::CreateFileA(const std::string& path, std::uint32_t desiredAccess,
                                        std::uint32_t shareMode, std::uint32_t creationDisposition,
                                        std::uint32_t flagsAndAttributes) {
  HANDLE file = ::CreateFileA(path.c_str(), desiredAccess, shareMode, nullptr, creationDisposition,
                              flagsAndAttributes, nullptr);
  return file == INVALID_HANDLE_VALUE ? kInvalidFileHandle : reinterpret_cast<FileHandle>(file);
}

bool Win32FileSystem::WriteFile(FileHandle file, const void* data, std::uint32_t size,
                                std::uint32_t* written) {
  DWORD count = 0;
  const BOOL ok = ::WriteFile(ToHandle(file), data, size, &count, nullptr);
  if (written) *written = count;
  return ok != FALSE;
}

bool Win32FileSystem::ReadFile(FileHandle file, void* data, std::uint32_t size,
                               std::uint32_t* read) {
  DWORD count = 0;
  const BOOL ok = ::ReadFile(ToHandle(file), data, size, &count, nullptr);
  if (read) *read = count;
  return ok != FALSE;
}

bool Win32FileSystem::CloseHandle(FileHandle file) {
  return ::CloseHandle(ToHandle(file)) != FALSE;
}

bool Win32FileSystem::DeleteFileA(const std::string& path) {
  return ::DeleteFileA(path.c_str()) != FALSE;
}

bool Win32FileSystem::GetFileTime(FileHandle file, FileTime* creation, FileTime* lastAccess,
                                  FileTime* lastWrite) {
  FILETIME c{}, a{}, w{};
  if (!::GetFileTime(ToHandle(file), creation ? &c : nullptr, lastAccess ? &a : nullptr,
                     lastWrite ? &w : nullptr)) {
    return false;
  }
  if (creation) *creation = FromWindows(c);
  if (lastAccess) *lastAccess = FromWindows(a);
  if (lastWrite) *lastWrite = FromWindows(w);
  return true;
}

bool Win32FileSystem::SetFileTime(FileHandle file, const FileTime* creation,
                                  const FileTime* lastAccess, const FileTime* lastWrite) {
  FILETIME c{}, a{}, w{};
  if (creation) c = ToWindows(*creation);
  if (lastAccess) a = ToWindows(*lastAccess);
  if (lastWrite) w = ToWindows(*lastWrite);
  return ::SetFileTime(ToHandle(file), creation ? &c : nullptr, lastAccess ? &a : nullptr,
                       lastWrite ? &w : nullptr) != FALSE;
}

bool Win32FileSystem::SystemTimeToFileTime(const SystemTime& time, FileTime* out) {
  const SYSTEMTIME in{time.wYear, time.wMonth,  time.wDayOfWeek, time.wDay,
                      time.wHour, time.wMinute, time.wSecond,    time.wMilliseconds};
  FILETIME result{};
  if (!::SystemTimeToFileTime(&in, &result)) return false;
  *out = FromWindows(result);
  return true;
}

bool Win32FileSystem::LocalFileTimeToFileTime(const FileTime& local, FileTime* out) {
  const FILETIME in = ToWindows(local);
  FILETIME result{};
  if (!::LocalFileTimeToFileTime(&in, &result)) return false;
  *out = FromWindows(result);
  return true;
}

bool Win32FileSystem::CreateDirectoryA(const std::string& path) {
  return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

std::uint32_t Win32FileSystem::GetLastError() { return ::GetLastError(); }

std::uint32_t Win32FileSystem::GetDriveTypeA(const std::string& root) {
  return ::GetDriveTypeA(root.c_str());
}

FindHandle Win32FileSystem::FindFirstFileA(const std::string& pattern, FindData* found) {
  WIN32_FIND_DATAA data{};
  HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return kInvalidFindHandle;
  *found = FromWindows(data);
  return reinterpret_cast<FindHandle>(find);
}

bool Win32FileSystem::FindNextFileA(FindHandle find, FindData* found) {
  WIN32_FIND_DATAA data{};
  if (!::FindNextFileA(ToHandle(find), &data)) return false;
  *found = FromWindows(data);
  return true;
}

bool Win32FileSystem::FindClose(FindHandle find) { return ::FindClose(ToHandle(find)) != FALSE; }

bool Win32FileSystem::GetDiskFreeSpaceA(const std::string& root, DiskFreeSpace* space) {
  DWORD sectors = 0, bytes = 0, freeClusters = 0, totalClusters = 0;
  if (!::GetDiskFreeSpaceA(root.c_str(), &sectors, &bytes, &freeClusters, &totalClusters)) {
    return false;
  }
  *space = DiskFreeSpace{sectors, bytes, freeClusters, totalClusters};
  return true;
}

}  // namespace qvx
