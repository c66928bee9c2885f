#include "platform/sim/sim_system.h"

#include <cstring>

#include "platform/win_values.h"

namespace qvx::sim {
namespace {

// OSVERSIONINFOA and OSVERSIONINFOEXA: the two sizes GetVersionExA knows.
constexpr std::uint32_t kVersionInfoSize = 148;
constexpr std::uint32_t kVersionInfoExSize = 156;
// What a block GlobalAlloc does not zero holds here, so that a reader who
// relies on zeros it did not ask for sees garbage.
constexpr std::uint8_t kUninitialisedByte = 0xCD;

}  // namespace

SimSystem::~SimSystem() = default;

bool SimSystem::GetVersionExA(OsVersionInfo* info) {
  const std::uint32_t size = info->dwOSVersionInfoSize;
  versionInfoSizes_.push_back(size);
  const bool takesExtended = version_.dwPlatformId == 2 && version_.dwMajorVersion >= 5;
  if (size != kVersionInfoSize && !(size == kVersionInfoExSize && takesExtended)) {
    versionError_ = kErrorInsufficientBuffer;
    return false;
  }
  if (failVersion_) return false;
  *info = version_;
  info->dwOSVersionInfoSize = size;
  return true;
}

void SimSystem::SetVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                           std::uint32_t build) {
  version_ = OsVersionInfo{kVersionInfoSize, major, minor, build, platformId};
}

std::uint32_t SimSystem::SetErrorMode(std::uint32_t mode) {
  const std::uint32_t previous = errorMode_;
  errorMode_ = mode;
  errorModeCalls_.push_back(mode);
  return previous;
}

bool SimSystem::SetCodePage(std::uint32_t codePage) {
  if (!IsKnownCodePage(codePage)) return false;
  codePage_ = codePage;
  return true;
}

void SimSystem::Beep(std::uint32_t frequency, std::uint32_t duration) {
  beeps_.emplace_back(frequency, duration);
}

void* SimSystem::GlobalAlloc(std::uint32_t flags, std::size_t bytes) {
  allocationFlags_.push_back(flags);
  if (failAllocationAfter_ == 0) {
    failAllocationAfter_ = -1;
    return nullptr;
  }
  if (failAllocationAfter_ > 0) --failAllocationAfter_;
  // One byte at least, so that every block has its own address.
  auto memory = std::make_unique<std::uint8_t[]>(bytes == 0 ? 1 : bytes);
  std::memset(memory.get(), (flags & kGmemZeroinit) ? 0 : kUninitialisedByte, bytes);
  void* block = memory.get();
  blocks_[block] = bytes;
  blockMemory_[block] = std::move(memory);
  ++totalAllocations_;
  return block;
}

void SimSystem::GlobalFree(void* memory) {
  if (memory == nullptr) return;
  if (blocks_.erase(memory) == 0) {
    ++badFrees_;
    return;
  }
  blockMemory_.erase(memory);
}

std::size_t SimSystem::AllocationSize(const void* memory) const {
  auto it = blocks_.find(memory);
  return it == blocks_.end() ? 0 : it->second;
}

std::size_t SimSystem::LiveBytes() const {
  std::size_t total = 0;
  for (const auto& [block, size] : blocks_) total += size;
  return total;
}

std::span<const std::uint8_t> SimSystem::LockRcData(int id) {
  auto it = resources_.find(id);
  if (it == resources_.end()) return {};
  return it->second;
}

}  // namespace qvx::sim
