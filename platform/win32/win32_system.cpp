// Each operation is the kernel32 call it names.
#include <windows.h>

#include "platform/win32/win32_backends.h"
#include "platform/win_values.h"

namespace qvx {

static_assert(kSemFailCriticalErrors == SEM_FAILCRITICALERRORS &&
              kSemNoOpenFileErrorBox == SEM_NOOPENFILEERRORBOX);
static_assert(kGmemZeroinit == GMEM_ZEROINIT && GMEM_FIXED == 0,
              "a block without GMEM_MOVEABLE is its own pointer");

namespace {

// A path buffer of MAX_PATH + 1 characters.
constexpr DWORD kPathBuffer = MAX_PATH + 1;

}  // namespace

bool Win32System::GetVersionExA(OsVersionInfo* info) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = info->dwOSVersionInfoSize;
  if (!::GetVersionExA(&version)) return false;
  info->dwMajorVersion = version.dwMajorVersion;
  info->dwMinorVersion = version.dwMinorVersion;
  info->dwBuildNumber = version.dwBuildNumber;
  info->dwPlatformId = version.dwPlatformId;
  return true;
}

std::uint32_t Win32System::SetErrorMode(std::uint32_t mode) { return ::SetErrorMode(mode); }

std::string Win32System::GetWindowsDirectoryA() {
  char buffer[kPathBuffer] = {};
  const UINT length = ::GetWindowsDirectoryA(buffer, kPathBuffer);
  return length < kPathBuffer ? std::string(buffer, length) : std::string();
}

std::string Win32System::GetModuleFileNameA() {
  char buffer[kPathBuffer] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, buffer, kPathBuffer);
  return length < kPathBuffer ? std::string(buffer, length) : std::string();
}

void Win32System::Beep(std::uint32_t frequency, std::uint32_t duration) {
  ::Beep(frequency, duration);
}

bool Win32System::IsDBCSLeadByte(std::uint8_t byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

void* Win32System::GlobalAlloc(std::uint32_t flags, std::size_t bytes) {
  return ::GlobalAlloc(flags, bytes);
}

void Win32System::GlobalFree(void* memory) {
  if (memory != nullptr) ::GlobalFree(memory);
}

std::span<const std::uint8_t> Win32System::LockRcData(int id) {
  HRSRC found =
      ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  if (found == nullptr) return {};
  HGLOBAL loaded = ::LoadResource(nullptr, found);
  if (loaded == nullptr) return {};
  const void* bytes = ::LockResource(loaded);
  if (bytes == nullptr) return {};
  return {static_cast<const std::uint8_t*>(bytes), ::SizeofResource(nullptr, found)};
}

}  // namespace qvx
