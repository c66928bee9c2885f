// An in-memory file system that behaves as the Windows calls of FileSystem do,
// for the host tests.
//
// What it models:
// - Drives A: to Z:, each with a type (GetDriveTypeA), a medium that may be
//   absent (every access then fails with error 21, ERROR_NOT_READY, and
//   GetDriveTypeA still answers), and the four figures GetDiskFreeSpaceA
//   reports. A drive letter that was never added does not exist.
// - Folders and files with attributes (read-only, hidden, system, directory,
//   archive) and the three FileTimes. Names keep their case and compare
//   case-insensitively (the letters A to Z); '\\' and '/' are both separators; repeated separators
//   collapse; "." and ".." are resolved; trailing dots and spaces of the last
//   component are dropped. A component holding < > : " | ? * or a control
//   character fails with error 123. Relative paths start at the current
//   folder (SetCurrentDirectory, "C:\\" at first).
// - Open handles with access and share modes: a file open without sharing
//   refuses another open with error 32, and cannot be deleted meanwhile.
// - Enumeration of "<folder>\\*.*" (or any '*'/'?' pattern) delivering "."
//   and ".." first, except at a drive root, then every entry with its
//   attributes; by default in name order as NTFS does (SetListingOrder for
//   creation order).
// - A clock for the times of new and written files, a local time-zone bias for
//   LocalFileTimeToFileTime, and a Gregorian SystemTimeToFileTime that
//   validates its fields.
//
// Test control: fault injection per operation (optionally per path), a disk
// that fills after a number of bytes, counts of open handles, and a log of
// every call.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/sim/sim_code_page.h"

namespace qvx::sim {

// FileTime as one 64-bit count of 100 ns ticks, and back.
std::uint64_t ToTicks(const FileTime& time);
FileTime FromTicks(std::uint64_t ticks);

// The UTC FileTime of a calendar date and time (no validation; for tests).
FileTime MakeFileTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

struct FileTimes {
  FileTime creation;
  FileTime lastAccess;
  FileTime lastWrite;
};

// One call as the file system saw it. Fields a call does not have stay 0.
struct SimFileCall {
  std::string operation;  // "CreateFileA", "WriteFile", ...
  std::string path;       // the path given, or the path a handle was opened with
  std::uint32_t desiredAccess = 0;
  std::uint32_t shareMode = 0;
  std::uint32_t creationDisposition = 0;
  std::uint32_t flagsAndAttributes = 0;
  std::uint32_t size = 0;  // bytes asked of WriteFile and ReadFile
  bool succeeded = false;
};

// A failure to inject. The call that matches it fails with `error` and has no
// other effect (an injected CloseHandle failure still closes the handle, as a
// failed close on Windows leaves no usable handle either).
struct SimFault {
  std::string operation;  // a FileSystem method name, e.g. "CreateFileA"
  std::uint32_t error = 0;
  // Empty matches every call; otherwise the call's path (for handle calls the
  // path the handle was opened with) must end with this text, compared
  // case-insensitively with '/' read as '\\'.
  std::string pathSuffix;
  int skip = 0;             // matching calls let through before the first failure
  bool persistent = false;  // keep failing every later match, not just once
};

class SimFileSystem : public FileSystem {
 public:
  SimFileSystem();
  ~SimFileSystem();
  SimFileSystem(const SimFileSystem&) = delete;
  SimFileSystem& operator=(const SimFileSystem&) = delete;

  // FileSystem.
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
  std::uint32_t GetLastError() override { return lastError_; }
  std::uint32_t GetDriveTypeA(const std::string& root) override;
  FindHandle FindFirstFileA(const std::string& pattern, FindData* found) override;
  bool FindNextFileA(FindHandle find, FindData* found) override;
  bool FindClose(FindHandle find) override;
  bool GetDiskFreeSpaceA(const std::string& root, DiskFreeSpace* space) override;

  // --- Drives -------------------------------------------------------------
  // Adds (or replaces, empty) drive `letter` with a GetDriveTypeA type. A new
  // drive reports 8 sectors of 512 bytes per cluster, 1,000,000 clusters of
  // which 500,000 are free.
  void AddDrive(char letter, std::uint32_t type = 3 /* DRIVE_FIXED */, bool mediumPresent = true);
  void SetMediumPresent(char letter, bool present);
  void SetDiskFreeSpace(char letter, const DiskFreeSpace& space);
  // From now on the drive takes `bytes` more bytes of writes: the WriteFile
  // that crosses the limit writes what still fits and reports success with the
  // short count; every later write fails with error 112 (ERROR_DISK_FULL).
  void FillDiskAfter(char letter, std::uint64_t bytes);
  void ClearDiskFill(char letter);

  // Enumeration order of FindFirstFileA/FindNextFileA on every drive.
  enum class ListingOrder { ByName, ByCreation };
  void SetListingOrder(ListingOrder order) { listingOrder_ = order; }

  // --- Content --------------------------------------------------------------
  // Absolute paths only. Missing parent folders are created; false when the
  // drive does not exist, the path is invalid, or a file stands in the way.
  bool AddFolder(const std::string& path, std::uint32_t attributes = 0);
  bool AddFile(const std::string& path, std::string_view bytes, std::uint32_t attributes = 0);
  bool AddFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
               std::uint32_t attributes = 0);
  bool SetAttributes(const std::string& path, std::uint32_t attributes);
  bool SetTimes(const std::string& path, const FileTimes& times);

  bool Exists(const std::string& path) const;
  bool IsFolder(const std::string& path) const;
  bool IsFile(const std::string& path) const;
  // A file's bytes; nullopt when there is no such file.
  std::optional<std::vector<std::uint8_t>> ReadBytes(const std::string& path) const;
  std::optional<std::string> ReadText(const std::string& path) const;
  std::optional<FileTimes> Times(const std::string& path) const;
  // Stored attributes (FILE_ATTRIBUTE_DIRECTORY for folders); 0 when missing.
  std::uint32_t Attributes(const std::string& path) const;
  // Names in a folder, without "." and "..", in the listing order.
  std::vector<std::string> List(const std::string& folder) const;

  // The folder relative paths start from.
  bool SetCurrentDirectory(const std::string& path);

  // --- Code page ------------------------------------------------------------
  // Paths are text of the system's ANSI code page (sim_code_page.h; 1252
  // unless set): the second byte of a two-byte character is never a
  // separator, a letter to fold or a character to refuse. False, and no
  // change, for a code page the simulation does not know.
  bool SetCodePage(std::uint32_t codePage);

  // --- Time -----------------------------------------------------------------
  // The clock that stamps files created and written from now on.
  void SetNow(const FileTime& now) { now_ = now; }
  FileTime Now() const { return now_; }
  // Minutes to add to a local time to get UTC (Windows' Bias: -60 for UTC+1).
  void SetTimeZoneBias(std::int32_t minutes) { biasMinutes_ = minutes; }

  // --- Faults ---------------------------------------------------------------
  void InjectFault(const SimFault& fault);
  // Fails the next call of `operation` (matching `pathSuffix` if given).
  void FailNext(const std::string& operation, std::uint32_t error,
                const std::string& pathSuffix = {});
  // Fails every call of `operation` from now on (matching `pathSuffix`).
  void FailAlways(const std::string& operation, std::uint32_t error,
                  const std::string& pathSuffix = {});
  void ClearFaults() { faults_.clear(); }
  void SetLastError(std::uint32_t error) { lastError_ = error; }

  // --- Observation ----------------------------------------------------------
  int OpenFileHandles() const { return static_cast<int>(files_.size()); }
  int OpenFindHandles() const { return static_cast<int>(finds_.size()); }
  const std::vector<SimFileCall>& Calls() const { return calls_; }
  // The calls of one operation, in order.
  std::vector<SimFileCall> Calls(const std::string& operation) const;
  void ClearCalls() { calls_.clear(); }

 private:
  struct Node;
  struct Drive;
  struct OpenFile;
  struct Search;
  struct Resolved;

  bool Fail(std::uint32_t error);
  bool Faulted(const std::string& operation, const std::string& path);
  SimFileCall& Log(const std::string& operation, const std::string& path);
  std::uint32_t Resolve(const std::string& path, bool allowWildcards, Resolved* out) const;
  Drive* FindDrive(char letter) const;
  std::shared_ptr<Node> NewNode(const std::string& name, bool directory, std::uint32_t attributes);
  bool SharingAllows(const Node* node, std::uint32_t access, std::uint32_t share) const;
  bool InUse(const Node* node) const;
  OpenFile* FindOpen(FileHandle file);
  std::shared_ptr<Node> Lookup(const std::string& path) const;
  std::shared_ptr<Node> MakeFolders(const std::string& path, std::uint32_t attributes);
  std::vector<std::shared_ptr<Node>> Ordered(const Node& folder) const;

  std::map<char, std::unique_ptr<Drive>> drives_;
  std::map<FileHandle, std::unique_ptr<OpenFile>> files_;
  std::map<FindHandle, std::unique_ptr<Search>> finds_;
  std::vector<SimFault> faults_;
  std::vector<SimFileCall> calls_;
  std::string currentDirectory_ = "C:\\";
  FileTime now_;
  std::int32_t biasMinutes_ = 0;
  std::uint32_t lastError_ = 0;
  std::uintptr_t nextHandle_ = 0x100;
  std::uint64_t nextSerial_ = 1;
  ListingOrder listingOrder_ = ListingOrder::ByName;
  std::uint32_t codePage_ = kWesternCodePage;
};

}  // namespace qvx::sim
