// Installs the linked-in payload through the Win32 backends into a fresh
// folder and checks the result with plain Win32 calls: every file
// byte-identical to the product file it was packed from, creation and
// last-write time reading back as 2004-09-10 16:00:00 local time, no temp file
// left; then a second run with one target held open without sharing fails at
// that target and leaves the earlier files whole. Also checks the answers of
// the real file calls that the simulated file system imitates.
//
// Usage: extract_wine_test PRODUCT_DIR. Exits with the number of failed checks.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/create_directory_path.h"
#include "payload/payload_archive.h"
#include "payload/target_names.h"
#include "platform/win32/win32_backends.h"

namespace {

using qvx::ExtractResult;
using qvx::kTargetCount;
using qvx::kTargetNames;

int failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) ++failures;
}

std::string Name(std::size_t i) { return std::string(kTargetNames[i]); }

bool ReadWhole(const std::string& path, std::vector<unsigned char>* bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  unsigned char piece[65536];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ReadFile(file, piece, sizeof piece, &read, nullptr) != FALSE) && read > 0) {
    bytes->insert(bytes->end(), piece, piece + read);
  }
  CloseHandle(file);
  return ok;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SameFile(const std::string& installed, const std::string& original) {
  std::vector<unsigned char> a, b;
  return ReadWhole(installed, &a) && ReadWhole(original, &b) && !b.empty() && a == b;
}

// True when the time, turned into local time, is 2004-09-10 16:00:00.000.
bool IsStamp(const FILETIME& utc) {
  FILETIME local;
  SYSTEMTIME t;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &t)) return false;
  return t.wYear == 2004 && t.wMonth == 9 && t.wDay == 10 && t.wHour == 16 && t.wMinute == 0 &&
         t.wSecond == 0 && t.wMilliseconds == 0;
}

void CheckStamp(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  FILETIME creation{}, access{}, write{};
  const bool read = file != INVALID_HANDLE_VALUE && GetFileTime(file, &creation, &access, &write);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  Check(read && IsStamp(creation), path + ": creation time is 2004-09-10 16:00:00 local");
  Check(read && IsStamp(write), path + ": last-write time is 2004-09-10 16:00:00 local");
  Check(read && !IsStamp(access), path + ": last-access time is not the stamp");
}

// The walk as the installation run drives it.
ExtractResult Install(const std::string& folder, std::size_t* extracted) {
  qvx::Win32System system;
  qvx::Win32FileSystem files;
  qvx::PayloadArchive archive(system, files);
  archive.Open();
  ExtractResult result = ExtractResult::Ok;
  std::size_t i = 0;
  for (; i < kTargetCount && archive.HasNextEntry(); ++i) {
    result = archive.ExtractEntry(folder, kTargetNames[i]);
    if (result != ExtractResult::Ok) break;
  }
  archive.Finish(folder);
  *extracted = i;
  return result;
}

void CheckFolderCreation(qvx::System& system, qvx::FileSystem& files, const std::string& base) {
  const std::string deep = base + "\\One\\Two\\Three";
  Check(qvx::CreateDirectoryPath(system, files, deep) == 0, "three missing levels are created");
  Check((GetFileAttributesA(deep.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0, deep + " is a folder");
  Check(qvx::CreateDirectoryPath(system, files, " " + deep + "\t") == 0, "an existing folder counts");
  Check(qvx::CreateDirectoryPath(system, files, base + "\\" + std::string(240, 'x')) ==
            qvx::kPathTooLongResult,
        "a path of 240 characters or more gives 24");
  Check(qvx::CreateDirectoryPath(system, files, "") == 3, "an empty text gives 3");
  const std::string file = base + "\\plain.txt";
  HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(handle);
  const std::int32_t through = qvx::CreateDirectoryPath(system, files, file + "\\Sub");
  std::printf("     a folder below a file gives %d\n", static_cast<int>(through));
  Check(through != 0, "a folder below a file fails and returns");
}

// The answers of the real calls that the simulated file system gives too.
void CheckPlatformAnswers(qvx::FileSystem& files, const std::string& base) {
  const std::string path = base + "\\answers.bin";
  auto create = [&](DWORD access, DWORD share, DWORD disposition) {
    return files.CreateFileA(path, access, share, disposition, FILE_ATTRIBUTE_NORMAL);
  };
  qvx::FileHandle first = create(GENERIC_WRITE, 0, CREATE_ALWAYS);
  Check(first != qvx::kInvalidFileHandle, "a new file is created");
  Check(create(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING) ==
                qvx::kInvalidFileHandle &&
            files.GetLastError() == ERROR_SHARING_VIOLATION,
        "a file open without sharing refuses another open with 32");
  Check(!files.DeleteFileA(path) && files.GetLastError() == ERROR_SHARING_VIOLATION,
        "a file open without sharing cannot be deleted (32)");
  files.CloseHandle(first);
  qvx::FileHandle again = create(GENERIC_WRITE, 0, CREATE_ALWAYS);
  Check(again != qvx::kInvalidFileHandle && files.GetLastError() == ERROR_ALREADY_EXISTS,
        "CREATE_ALWAYS over an existing file reports 183");
  files.CloseHandle(again);
  Check(files.CreateFileA(base + "\\Missing\\x", GENERIC_WRITE, 0, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL) == qvx::kInvalidFileHandle &&
            files.GetLastError() == ERROR_PATH_NOT_FOUND,
        "a file in a missing folder gives 3");
  Check(!files.CreateDirectoryA(base) && files.GetLastError() == ERROR_ALREADY_EXISTS,
        "creating an existing folder gives 183");
  // Read-only files are not checked here: wine run by root writes them anyway.
  Check(files.DeleteFileA(path), "the file is deleted once closed");

  qvx::FindData found;
  qvx::FindHandle find = files.FindFirstFileA(base + "\\*.*", &found);
  Check(find != qvx::kInvalidFindHandle && found.cFileName == ".",
        "a folder's enumeration starts with \".\"");
  if (find != qvx::kInvalidFindHandle) files.FindClose(find);

  qvx::FileTime local, utc;
  Check(files.SystemTimeToFileTime({2004, 9, 5, 10, 16, 0, 0, 0}, &local) &&
            files.LocalFileTimeToFileTime(local, &utc),
        "the stamp converts to file time");
  Check(!files.SystemTimeToFileTime({2004, 13, 0, 1, 0, 0, 0, 0}, &local),
        "an invalid month does not convert");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: extract_wine_test PRODUCT_DIR\n");
    return 100;
  }
  const std::string product = argv[1];
  const std::string base = "C:\\qvx-extract";
  const std::string folder = base + "\\Program Files\\Kelvane\\Quorvex";
  qvx::Win32System system;
  qvx::Win32FileSystem files;
  TIME_ZONE_INFORMATION zone;
  GetTimeZoneInformation(&zone);
  std::printf("     local time is UTC%+ld minutes\n", -zone.Bias);

  CheckFolderCreation(system, files, base);
  CheckPlatformAnswers(files, base);
  Check(qvx::CreateDirectoryPath(system, files, folder) == 0, "the target folder is created");

  // A whole installation.
  std::size_t extracted = 0;
  Check(Install(folder, &extracted) == ExtractResult::Ok, "the walk succeeds");
  Check(extracted == kTargetCount, "six entries are extracted");
  for (std::size_t i = 0; i < kTargetCount; ++i) {
    const std::string path = folder + "\\" + Name(i);
    Check(SameFile(path, product + "\\" + Name(i)), Name(i) + " is byte-identical");
    CheckStamp(path);
  }
  Check(!Exists(folder + "\\qvx.tmp"), "no qvx.tmp is left");

  // Again over the installed files, with one of them held open without
  // sharing by a handle of ours, and an earlier one spoiled beforehand.
  const std::string spoiled = folder + "\\" + Name(0);
  HANDLE shrink = CreateFileA(spoiled.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(shrink);
  const std::string held = folder + "\\" + Name(3);
  HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  Check(holder != INVALID_HANDLE_VALUE, "the target is held open without sharing");
  Check(Install(folder, &extracted) == ExtractResult::TargetCreateFailed,
        "a target held open gives TargetCreateFailed");
  Check(extracted == 3, "the walk stops at that target");
  CloseHandle(holder);
  for (std::size_t i = 0; i < 3; ++i) {
    Check(SameFile(folder + "\\" + Name(i), product + "\\" + Name(i)),
          Name(i) + " is whole after the failure");
  }
  Check(SameFile(held, product + "\\" + Name(3)), "the held file is untouched");
  Check(!Exists(folder + "\\qvx.tmp"), "no qvx.tmp is left after the failure");

  std::printf("%d failed check(s)\n", failures);
  return failures;
}
