#include "folderdlg/free_space.h"

#include <cstdint>

#include "platform/decimal_text.h"

namespace qvx {

namespace {

constexpr std::uint32_t kKilobytesShownInKb = 8192;
constexpr std::uint32_t kKilobytesNotShown = 4294901760u;
constexpr std::uint64_t kAllOnes = ~std::uint64_t{0};

// a x b, or all ones when the product does not fit in 64 bits. Made of two
// 32-bit products: the usual test, a 64-bit division, would bring the
// compiler's division routines into the 32-bit program.
std::uint64_t SaturatingProduct(std::uint64_t a, std::uint32_t b) {
  const std::uint64_t high = (a >> 32) * b;
  const std::uint64_t low = (a & 0xFFFFFFFFu) * b;
  if (high >> 32 != 0) return kAllOnes;
  const std::uint64_t product = (high << 32) + low;
  return product < low ? kAllOnes : product;
}

}  // namespace

std::string FormatFreeSpace(FileSystem& files, const std::string& folder) {
  const std::string root = folder.size() > 3 ? folder.substr(0, 3) : folder;
  DiskFreeSpace space;
  if (!files.GetDiskFreeSpaceA(root, &space)) return "";

  // Three 32-bit factors can exceed 64 bits; such a drive has far more than
  // the largest figure shown anyway.
  const std::uint64_t bytes = SaturatingProduct(
      SaturatingProduct(space.sectorsPerCluster, space.bytesPerSector), space.numberOfFreeClusters);
  if (bytes >> 10 >= kKilobytesNotShown) return "";
  const std::uint32_t kilobytes = static_cast<std::uint32_t>(bytes >> 10);
  if (kilobytes < kKilobytesShownInKb) return DecimalText(kilobytes) + "KB free";
  return DecimalText(kilobytes >> 10) + "MB free";
}

}  // namespace qvx
