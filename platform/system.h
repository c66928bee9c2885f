// Process-wide services: version, error mode, the Windows directory, the
// program's own file and resources, global memory, sound, and the lead-byte
// test of the system's code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qvx {

// The fields of OSVERSIONINFOA that matter here.
struct OsVersionInfo {
  std::uint32_t dwOSVersionInfoSize = 0;
  std::uint32_t dwMajorVersion = 0;
  std::uint32_t dwMinorVersion = 0;
  std::uint32_t dwBuildNumber = 0;
  std::uint32_t dwPlatformId = 0;
};

class System {
 protected:
  // Destroyed by its own type, never through this base: no virtual
  // destructor, and no deleting destructor in each derived class's table.
  ~System() = default;

 public:
  // GetVersionExA; the caller sets dwOSVersionInfoSize to 148.
  virtual bool GetVersionExA(OsVersionInfo* info) = 0;
  virtual std::uint32_t SetErrorMode(std::uint32_t mode) = 0;
  // GetWindowsDirectoryA into a buffer of 261 characters.
  virtual std::string GetWindowsDirectoryA() = 0;
  // The full path of the running program (GetModuleFileNameA of the null module).
  virtual std::string GetModuleFileNameA() = 0;
  virtual void Beep(std::uint32_t frequency, std::uint32_t duration) = 0;
  // IsDBCSLeadByte: whether `byte` opens a two-byte character in the system's
  // ANSI code page (932, 936, 949 and 950 have such characters; a
  // single-byte code page has none).
  virtual bool IsDBCSLeadByte(std::uint8_t byte) = 0;

  virtual void* GlobalAlloc(std::uint32_t flags, std::size_t bytes) = 0;
  virtual void GlobalFree(void* memory) = 0;

  // FindResourceA (null module, integer id, RT_RCDATA), LoadResource,
  // LockResource and SizeofResource: the resource's bytes, empty when absent.
  virtual std::span<const std::uint8_t> LockRcData(int id) = 0;
};

}  // namespace qvx
