#include "folderdlg/free_space.h"

#include <cstdint>
#include <limits>

namespace qvx {

namespace {

constexpr std::uint64_t kKilobytesShownInKb = 8192;
constexpr std::uint64_t kKilobytesNotShown = 4294901760u;

}  // namespace

std::string FormatFreeSpace(FileSystem& files, const std::string& folder) {
  const std::string root = folder.size() > 3 ? folder.substr(0, 3) : folder;
  DiskFreeSpace space;
  if (!files.GetDiskFreeSpaceA(root, &space)) return "";

  // Three 32-bit factors can exceed 64 bits; such a drive has far more than
  // the largest figure shown anyway.
  const std::uint64_t bytesPerCluster =
      std::uint64_t{space.sectorsPerCluster} * space.bytesPerSector;
  const std::uint64_t clusters = space.numberOfFreeClusters;
  if (bytesPerCluster != 0 &&
      clusters > std::numeric_limits<std::uint64_t>::max() / bytesPerCluster) {
    return "";
  }
  const std::uint64_t kilobytes = clusters * bytesPerCluster / 1024;
  if (kilobytes >= kKilobytesNotShown) return "";
  if (kilobytes < kKilobytesShownInKb) return std::to_string(kilobytes) + "KB free";
  return std::to_string(kilobytes / 1024) + "MB free";
}

}  // namespace qvx
