// The simulated file system must answer as Windows does, or every test built
// on it proves nothing: these check the behaviour the logic relies on.
#include "platform/sim/sim_file_system.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win_values.h"

namespace qvx::sim {
namespace {

class SimFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDrive('C');
    fs.AddFolder("C:\\Data");
  }

  FileHandle Create(const std::string& path, std::uint32_t access = kGenericWrite,
                    std::uint32_t share = 0, std::uint32_t disposition = kCreateAlways) {
    return fs.CreateFileA(path, access, share, disposition, kFileAttributeNormal);
  }

  bool Write(FileHandle file, const std::string& text, std::uint32_t* written) {
    return fs.WriteFile(file, text.data(), static_cast<std::uint32_t>(text.size()), written);
  }

  std::vector<std::string> Enumerate(const std::string& pattern) {
    std::vector<std::string> names;
    FindData found;
    FindHandle find = fs.FindFirstFileA(pattern, &found);
    if (find == kInvalidFindHandle) return names;
    do names.push_back(found.cFileName);
    while (fs.FindNextFileA(find, &found));
    EXPECT_EQ(fs.GetLastError(), kErrorNoMoreFiles);
    fs.FindClose(find);
    return names;
  }

  SimFileSystem fs;
};

TEST_F(SimFileSystemTest, CreateAlwaysReplacesContentKeepsCreationTimeAndReports183) {
  fs.AddFile("C:\\Data\\old.bin", "old content");
  const FileTime created = fs.Times("C:\\Data\\old.bin")->creation;
  fs.SetNow(MakeFileTime(2030, 1, 1));
  FileHandle file = Create("C:\\Data\\old.bin");
  ASSERT_NE(file, kInvalidFileHandle);
  EXPECT_EQ(fs.GetLastError(), kErrorAlreadyExists);
  fs.CloseHandle(file);
  EXPECT_EQ(fs.ReadText("C:\\Data\\old.bin"), "");
  EXPECT_EQ(fs.Times("C:\\Data\\old.bin")->creation, created);
  EXPECT_EQ(fs.Times("C:\\Data\\old.bin")->lastWrite, MakeFileTime(2030, 1, 1));
}

struct OpenCase {
  const char* what;
  const char* path;
  std::uint32_t disposition;
  std::uint32_t error;
};

TEST_F(SimFileSystemTest, OpenFailuresCarryTheWindowsError) {
  fs.AddFile("C:\\Data\\ro.txt", "x", kFileAttributeReadonly);
  fs.AddFile("C:\\Data\\hidden.txt", "x", kFileAttributeHidden);
  fs.AddFile("C:\\Data\\plain.txt", "x");
  fs.AddDrive('A', kDriveRemovable, false);
  const OpenCase cases[] = {
      {"missing parent", "C:\\Nope\\f.txt", kCreateAlways, kErrorPathNotFound},
      {"missing file", "C:\\Data\\none.txt", kOpenExisting, kErrorFileNotFound},
      {"unknown drive", "Q:\\f.txt", kCreateAlways, kErrorPathNotFound},
      {"no medium", "A:\\f.txt", kCreateAlways, kErrorNotReady},
      {"read-only", "C:\\Data\\ro.txt", kCreateAlways, kErrorAccessDenied},
      {"hidden replaced as normal", "C:\\Data\\hidden.txt", kCreateAlways, kErrorAccessDenied},
      {"folder", "C:\\Data", kCreateAlways, kErrorAccessDenied},
      {"invalid character", "C:\\Data\\a|b.txt", kCreateAlways, kErrorInvalidName},
      {"colon inside", "C:\\Data\\a:b", kCreateAlways, kErrorInvalidName},
      {"file as folder", "C:\\Data\\plain.txt\\f", kCreateAlways, kErrorPathNotFound},
      {"empty", "", kCreateAlways, kErrorPathNotFound},
      {"bad disposition", "C:\\Data\\x", 9, kErrorInvalidParameter},
  };
  for (const OpenCase& c : cases) {
    fs.SetLastError(0);
    EXPECT_EQ(Create(c.path, kGenericWrite, 0, c.disposition), kInvalidFileHandle) << c.what;
    EXPECT_EQ(fs.GetLastError(), c.error) << c.what;
  }
  EXPECT_EQ(fs.OpenFileHandles(), 0);
  EXPECT_EQ(fs.ReadText("C:\\Data\\ro.txt"), "x");
}

TEST_F(SimFileSystemTest, ShareModesDecideWhetherASecondOpenOrDeleteSucceeds) {
  fs.AddFile("C:\\Data\\f", "x");
  FileHandle exclusive = Create("C:\\Data\\f", kGenericWrite, 0, kOpenExisting);
  ASSERT_NE(exclusive, kInvalidFileHandle);
  EXPECT_EQ(Create("C:\\Data\\f", kGenericRead, kFileShareRead | kFileShareWrite, kOpenExisting),
            kInvalidFileHandle);
  EXPECT_EQ(fs.GetLastError(), kErrorSharingViolation);
  EXPECT_FALSE(fs.DeleteFileA("C:\\Data\\f"));
  EXPECT_EQ(fs.GetLastError(), kErrorSharingViolation);
  fs.CloseHandle(exclusive);

  FileHandle reader = Create("C:\\Data\\f", kGenericRead, kFileShareRead, kOpenExisting);
  FileHandle second = Create("C:\\Data\\f", kGenericRead, kFileShareRead, kOpenExisting);
  EXPECT_NE(second, kInvalidFileHandle);
  EXPECT_EQ(Create("C:\\Data\\f", kGenericRead | kGenericWrite, kFileShareRead, kOpenExisting),
            kInvalidFileHandle);
  fs.CloseHandle(reader);
  fs.CloseHandle(second);
  EXPECT_TRUE(fs.DeleteFileA("C:\\Data\\f"));
  EXPECT_FALSE(fs.Exists("C:\\Data\\f"));
  EXPECT_FALSE(fs.DeleteFileA("C:\\Data\\f"));
  EXPECT_EQ(fs.GetLastError(), kErrorFileNotFound);
}

TEST_F(SimFileSystemTest, DiskFillsWithAShortWriteThenError112) {
  FileHandle file = Create("C:\\Data\\big");
  fs.FillDiskAfter('C', 5);
  std::uint32_t written = 99;
  ASSERT_TRUE(Write(file, "abc", &written));
  EXPECT_EQ(written, 3u);
  ASSERT_TRUE(Write(file, "defg", &written));
  EXPECT_EQ(written, 2u);
  EXPECT_FALSE(Write(file, "h", &written));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(fs.GetLastError(), kErrorDiskFull);
  fs.CloseHandle(file);
  EXPECT_EQ(fs.ReadText("C:\\Data\\big"), "abcde");
  EXPECT_EQ(Create("C:\\Data\\new"), kInvalidFileHandle);
  EXPECT_EQ(fs.GetLastError(), kErrorDiskFull);
}

TEST_F(SimFileSystemTest, InjectedFaultsHitTheChosenCallOnly) {
  fs.InjectFault({"WriteFile", 39, "\\b.txt", 1});
  fs.FailNext("CreateFileA", kErrorBadPathname, "c.TXT");
  FileHandle a = Create("C:\\Data\\a.txt");
  FileHandle b = Create("C:\\Data\\b.txt");
  std::uint32_t written = 0;
  EXPECT_TRUE(Write(a, "1", &written));
  EXPECT_TRUE(Write(b, "1", &written));  // skipped once
  EXPECT_FALSE(Write(b, "2", &written));
  EXPECT_EQ(fs.GetLastError(), 39u);
  EXPECT_TRUE(Write(b, "3", &written));  // one-shot
  EXPECT_EQ(Create("C:\\Data\\c.txt"), kInvalidFileHandle);
  EXPECT_EQ(fs.GetLastError(), kErrorBadPathname);
  EXPECT_FALSE(fs.Exists("C:\\Data\\c.txt"));
  FileHandle c = Create("C:\\Data\\c.txt");
  EXPECT_NE(c, kInvalidFileHandle);

  fs.FailAlways("CloseHandle", kErrorInvalidHandle);
  EXPECT_FALSE(fs.CloseHandle(a));
  EXPECT_FALSE(fs.CloseHandle(b));
  EXPECT_FALSE(fs.CloseHandle(c));
  EXPECT_EQ(fs.OpenFileHandles(), 0);  // a failed close leaves no handle behind
  EXPECT_EQ(fs.ReadText("C:\\Data\\b.txt"), "13");
}

TEST_F(SimFileSystemTest, FileTimesReadFromAndSetThroughHandles) {
  fs.SetNow(MakeFileTime(2020, 5, 5));
  FileHandle file = Create("C:\\Data\\t");
  FileTime creation, access, write;
  ASSERT_TRUE(fs.GetFileTime(file, &creation, &access, &write));
  EXPECT_EQ(creation, MakeFileTime(2020, 5, 5));
  fs.CloseHandle(file);

  FileHandle reader = Create("C:\\Data\\t", kGenericRead, kFileShareRead, kOpenExisting);
  const FileTime stamp = MakeFileTime(2004, 9, 10, 16);
  EXPECT_FALSE(fs.SetFileTime(reader, &stamp, nullptr, &stamp));
  EXPECT_EQ(fs.GetLastError(), kErrorAccessDenied);
  fs.CloseHandle(reader);

  FileHandle writer =
      Create("C:\\Data\\t", kGenericRead | kGenericWrite, kFileShareRead, kOpenExisting);
  const FileTime zero;
  ASSERT_TRUE(fs.SetFileTime(writer, &stamp, &zero, &stamp));
  fs.CloseHandle(writer);
  EXPECT_EQ(fs.Times("C:\\Data\\t")->creation, stamp);
  EXPECT_EQ(fs.Times("C:\\Data\\t")->lastWrite, stamp);
  EXPECT_EQ(fs.Times("C:\\Data\\t")->lastAccess, MakeFileTime(2020, 5, 5));
  EXPECT_FALSE(fs.GetFileTime(writer, &creation, nullptr, nullptr));
  EXPECT_EQ(fs.GetLastError(), kErrorInvalidHandle);
}

TEST(SimTimeConversion, SystemTimeToFileTimeIsGregorianAndValidates) {
  SimFileSystem fs;
  FileTime out;
  ASSERT_TRUE(fs.SystemTimeToFileTime({1601, 1, 0, 1, 0, 0, 0, 0}, &out));
  EXPECT_EQ(ToTicks(out), 0u);
  // 2004-09-10 16:00:00 is 12,739,305,600 seconds after 1601-01-01.
  ASSERT_TRUE(fs.SystemTimeToFileTime({2004, 9, 5, 10, 16, 0, 0, 0}, &out));
  EXPECT_EQ(ToTicks(out), 127'393'056'000'000'000ull);
  ASSERT_TRUE(fs.SystemTimeToFileTime({2000, 2, 0, 29, 23, 59, 59, 999}, &out));
  ASSERT_TRUE(fs.SystemTimeToFileTime({2000, 3, 0, 1, 0, 0, 0, 0}, &out));
  const std::uint64_t march = ToTicks(out);
  ASSERT_TRUE(fs.SystemTimeToFileTime({2000, 2, 0, 29, 23, 59, 59, 999}, &out));
  EXPECT_EQ(march - ToTicks(out), 10'000u);

  const SystemTime invalid[] = {
      {1600, 12, 0, 31, 0, 0, 0, 0}, {2001, 2, 0, 29, 0, 0, 0, 0},   {1900, 2, 0, 29, 0, 0, 0, 0},
      {2004, 13, 0, 1, 0, 0, 0, 0},  {2004, 0, 0, 1, 0, 0, 0, 0},    {2004, 4, 0, 31, 0, 0, 0, 0},
      {2004, 1, 0, 0, 0, 0, 0, 0},   {2004, 1, 0, 1, 24, 0, 0, 0},   {2004, 1, 0, 1, 0, 60, 0, 0},
      {2004, 1, 0, 1, 0, 0, 60, 0},  {2004, 1, 0, 1, 0, 0, 0, 1000},
  };
  for (const SystemTime& t : invalid) {
    EXPECT_FALSE(fs.SystemTimeToFileTime(t, &out)) << t.wYear << "-" << t.wMonth << "-" << t.wDay;
    EXPECT_EQ(fs.GetLastError(), kErrorInvalidParameter);
  }
}

TEST(SimTimeConversion, LocalFileTimeAddsTheBias) {
  SimFileSystem fs;
  const FileTime local = MakeFileTime(2004, 9, 10, 16);
  FileTime utc;
  fs.SetTimeZoneBias(-120);  // UTC+2
  ASSERT_TRUE(fs.LocalFileTimeToFileTime(local, &utc));
  EXPECT_EQ(utc, MakeFileTime(2004, 9, 10, 14));
  fs.SetTimeZoneBias(300);  // UTC-5
  ASSERT_TRUE(fs.LocalFileTimeToFileTime(local, &utc));
  EXPECT_EQ(utc, MakeFileTime(2004, 9, 10, 21));
  fs.SetTimeZoneBias(-60);
  EXPECT_FALSE(fs.LocalFileTimeToFileTime(FileTime{}, &utc));
}

TEST_F(SimFileSystemTest, CreateDirectoryLikeWindows) {
  fs.AddFile("C:\\Data\\file", "x");
  fs.AddDrive('A', kDriveRemovable, false);
  EXPECT_TRUE(fs.CreateDirectoryA("C:\\Data\\New\\"));
  EXPECT_TRUE(fs.IsFolder("C:\\data\\new"));
  struct {
    const char* path;
    std::uint32_t error;
  } const failures[] = {
      {"C:\\Data\\New", kErrorAlreadyExists},
      {"C:\\Data\\file", kErrorAlreadyExists},
      {"C:\\Missing\\x", kErrorPathNotFound},
      {"Q:\\x", kErrorPathNotFound},
      {"A:\\x", kErrorNotReady},
      {"", kErrorPathNotFound},
      {"C:\\Data\\a*b", kErrorInvalidName},
      {"C:\\Data\\file\\sub", kErrorPathNotFound},
  };
  for (const auto& f : failures) {
    EXPECT_FALSE(fs.CreateDirectoryA(f.path)) << f.path;
    EXPECT_EQ(fs.GetLastError(), f.error) << f.path;
  }
  const std::string longest = "C:\\" + std::string(244, 'd');  // 247 characters
  EXPECT_TRUE(fs.CreateDirectoryA(longest));
  EXPECT_FALSE(fs.CreateDirectoryA(longest + "e"));
  EXPECT_EQ(fs.GetLastError(), 206u);
}

TEST_F(SimFileSystemTest, PathsNormaliseLikeWin32) {
  ASSERT_TRUE(fs.AddFolder("C:\\Data\\Sub"));
  const char* same[] = {"C:/Data/Sub/f",       "C:\\Data\\\\Sub\\f",
                        "C:\\Data\\.\\Sub\\f", "C:\\Other\\..\\Data\\Sub\\f",
                        "c:\\DATA\\sub\\F. ",  "\\Data\\Sub\\f"};
  for (const char* path : same) {
    FileHandle file = Create(path);
    ASSERT_NE(file, kInvalidFileHandle) << path;
    fs.CloseHandle(file);
    EXPECT_EQ(fs.List("C:\\Data\\Sub"), std::vector<std::string>{"f"}) << path;
  }
  ASSERT_TRUE(fs.SetCurrentDirectory("C:\\Data"));
  FileHandle relative = Create("Sub\\g");
  ASSERT_NE(relative, kInvalidFileHandle);
  fs.CloseHandle(relative);
  EXPECT_TRUE(fs.IsFile("C:\\Data\\Sub\\g"));
  // A leading blank makes a relative path whose first component holds a colon.
  EXPECT_EQ(Create(" C:\\Data\\h"), kInvalidFileHandle);
  EXPECT_EQ(fs.GetLastError(), kErrorInvalidName);
}

TEST_F(SimFileSystemTest, EnumerationListsDotsExceptAtRootAndEveryEntry) {
  fs.AddFolder("C:\\Data\\zeta");
  fs.AddFolder("C:\\Data\\Alpha", kFileAttributeHidden);
  fs.AddFolder("C:\\Data\\sys", kFileAttributeSystem);
  fs.AddFile("C:\\Data\\file.txt", "x");
  EXPECT_EQ(Enumerate("C:\\Data\\*.*"),
            (std::vector<std::string>{".", "..", "Alpha", "file.txt", "sys", "zeta"}));
  EXPECT_EQ(Enumerate("C:\\*.*"), std::vector<std::string>{"Data"});
  EXPECT_EQ(Enumerate("C:\\Data\\*.txt"), std::vector<std::string>{"file.txt"});
  fs.SetListingOrder(SimFileSystem::ListingOrder::ByCreation);
  EXPECT_EQ(Enumerate("C:\\Data\\*.*"),
            (std::vector<std::string>{".", "..", "zeta", "Alpha", "sys", "file.txt"}));

  FindData found;
  FindHandle find = fs.FindFirstFileA("C:\\Data\\*.*", &found);
  std::vector<std::uint32_t> attributes{found.dwFileAttributes};
  while (fs.FindNextFileA(find, &found)) attributes.push_back(found.dwFileAttributes);
  EXPECT_EQ(fs.OpenFindHandles(), 1);
  EXPECT_TRUE(fs.FindClose(find));
  EXPECT_EQ(fs.OpenFindHandles(), 0);
  EXPECT_EQ(attributes, (std::vector<std::uint32_t>{
                            kFileAttributeDirectory, kFileAttributeDirectory,
                            kFileAttributeDirectory, kFileAttributeDirectory | kFileAttributeHidden,
                            kFileAttributeDirectory | kFileAttributeSystem, kFileAttributeNormal}));
}

TEST_F(SimFileSystemTest, EnumerationFailuresAndDriveQueries) {
  fs.AddDrive('A', kDriveRemovable, false);
  fs.AddDrive('D', kDriveCdrom);
  fs.AddDrive('E', kDriveFixed);
  FindData found;
  struct {
    const char* pattern;
    std::uint32_t error;
  } const failures[] = {{"A:\\*.*", kErrorNotReady},
                        {"Q:\\*.*", kErrorPathNotFound},
                        {"C:\\Missing\\*.*", kErrorPathNotFound},
                        {"E:\\*.*", kErrorFileNotFound}};
  for (const auto& f : failures) {
    EXPECT_EQ(fs.FindFirstFileA(f.pattern, &found), kInvalidFindHandle) << f.pattern;
    EXPECT_EQ(fs.GetLastError(), f.error) << f.pattern;
  }
  EXPECT_EQ(fs.GetDriveTypeA("A:\\"), kDriveRemovable);  // no medium needed
  EXPECT_EQ(fs.GetDriveTypeA("D:\\"), kDriveCdrom);
  EXPECT_EQ(fs.GetDriveTypeA("C:\\"), kDriveFixed);
  EXPECT_EQ(fs.GetDriveTypeA("Q:\\"), kDriveNoRootDir);

  DiskFreeSpace space;
  fs.SetDiskFreeSpace('C', {4, 512, 1234, 5678});
  ASSERT_TRUE(fs.GetDiskFreeSpaceA("C:\\", &space));
  EXPECT_EQ(space.numberOfFreeClusters, 1234u);
  EXPECT_EQ(space.sectorsPerCluster, 4u);
  EXPECT_FALSE(fs.GetDiskFreeSpaceA("A:\\", &space));
  EXPECT_EQ(fs.GetLastError(), kErrorNotReady);
  fs.SetMediumPresent('A', true);
  EXPECT_TRUE(fs.GetDiskFreeSpaceA("A:\\", &space));
}

}  // namespace
}  // namespace qvx::sim
