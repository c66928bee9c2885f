// Process-wide services for the host tests: a settable Windows version that
// takes only the record sizes that version takes, the error mode as set, the
// Windows directory and the program's own path, a log of beeps, global memory
// that tracks every live block and can refuse one, resources served from
// bytes the test provides, and the system's ANSI code page (1252 unless set).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/sim_code_page.h"
#include "platform/system.h"

namespace qvx::sim {

// ERROR_INSUFFICIENT_BUFFER: what GetVersionExA leaves for a size it refuses.
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;

class SimSystem : public System {
 public:
  SimSystem() = default;
  ~SimSystem();
  SimSystem(const SimSystem&) = delete;
  SimSystem& operator=(const SimSystem&) = delete;

  // System.
  bool GetVersionExA(OsVersionInfo* info) override;
  std::uint32_t SetErrorMode(std::uint32_t mode) override;
  std::string GetWindowsDirectoryA() override { return windowsDirectory_; }
  std::string GetModuleFileNameA() override { return moduleFileName_; }
  void Beep(std::uint32_t frequency, std::uint32_t duration) override;
  bool IsDBCSLeadByte(std::uint8_t byte) override { return IsLeadByteOf(codePage_, byte); }
  void* GlobalAlloc(std::uint32_t flags, std::size_t bytes) override;
  void GlobalFree(void* memory) override;
  std::span<const std::uint8_t> LockRcData(int id) override;

  // --- Version: an NT 5.1 (XP) machine unless set otherwise -----------------
  // dwPlatformId: 0 Win32s, 1 the 95/98/ME family, 2 the NT family. Every
  // version takes a record of 148 bytes (OSVERSIONINFOA); only NT 5 and later
  // also take 156 (OSVERSIONINFOEXA): the 95 family and NT 4.0 before its
  // sixth service pack refuse it. A refused size fails with
  // ERROR_INSUFFICIENT_BUFFER and leaves the record as it was.
  void SetVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                  std::uint32_t build = 0);
  void SetPlatformId(std::uint32_t platformId) { version_.dwPlatformId = platformId; }
  // GetVersionExA fails (returns false) from now on.
  void FailGetVersion(bool fail) { failVersion_ = fail; }
  // The size field of every record given to GetVersionExA, in order.
  const std::vector<std::uint32_t>& VersionInfoSizes() const { return versionInfoSizes_; }
  // ERROR_INSUFFICIENT_BUFFER once a size has been refused, 0 until then.
  std::uint32_t VersionError() const { return versionError_; }

  // --- Error mode -----------------------------------------------------------
  std::uint32_t ErrorMode() const { return errorMode_; }
  // Every mode passed to SetErrorMode, in order.
  const std::vector<std::uint32_t>& ErrorModeCalls() const { return errorModeCalls_; }

  // --- Paths ----------------------------------------------------------------
  void SetWindowsDirectory(const std::string& path) { windowsDirectory_ = path; }
  void SetModuleFileName(const std::string& path) { moduleFileName_ = path; }

  // --- Code page ------------------------------------------------------------
  // One of the code pages of sim_code_page.h; false (and no change) for any
  // other, as a machine cannot run in a code page it does not have.
  bool SetCodePage(std::uint32_t codePage);
  std::uint32_t CodePage() const { return codePage_; }

  // --- Sound ----------------------------------------------------------------
  // (frequency, duration) of every Beep, in order.
  const std::vector<std::pair<std::uint32_t, std::uint32_t>>& Beeps() const { return beeps_; }

  // --- Global memory --------------------------------------------------------
  // The next GlobalAlloc (after `skip` successful ones) returns null.
  void FailAllocation(int skip = 0) { failAllocationAfter_ = skip; }
  int LiveAllocations() const { return static_cast<int>(blocks_.size()); }
  int TotalAllocations() const { return totalAllocations_; }
  // Size of a live block, 0 when the pointer is not one.
  std::size_t AllocationSize(const void* memory) const;
  std::size_t LiveBytes() const;
  // Flags of every GlobalAlloc call, in order.
  const std::vector<std::uint32_t>& AllocationFlags() const { return allocationFlags_; }
  // GlobalFree calls with a pointer that is not a live block (double frees).
  int BadFrees() const { return badFrees_; }

  // --- Resources ------------------------------------------------------------
  void SetResource(int id, std::vector<std::uint8_t> bytes) { resources_[id] = std::move(bytes); }
  void RemoveResource(int id) { resources_.erase(id); }

 private:
  OsVersionInfo version_{148, 5, 1, 2600, 2};
  bool failVersion_ = false;
  std::vector<std::uint32_t> versionInfoSizes_;
  std::uint32_t versionError_ = 0;
  std::uint32_t errorMode_ = 0;
  std::vector<std::uint32_t> errorModeCalls_;
  std::string windowsDirectory_ = "C:\\WINDOWS";
  std::string moduleFileName_ = "C:\\Temp\\QvxSetup.exe";
  std::uint32_t codePage_ = kWesternCodePage;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> beeps_;
  std::map<const void*, std::unique_ptr<std::uint8_t[]>> blockMemory_;
  std::map<const void*, std::size_t> blocks_;
  std::vector<std::uint32_t> allocationFlags_;
  int failAllocationAfter_ = -1;
  int totalAllocations_ = 0;
  int badFrees_ = 0;
  std::map<int, std::vector<std::uint8_t>> resources_;
};

}  // namespace qvx::sim
