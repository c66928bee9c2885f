#include "platform/sim/sim_code_page.h"

namespace qvx::sim {

bool IsKnownCodePage(std::uint32_t codePage) {
  return codePage == kWesternCodePage || codePage == 932 || codePage == 936 || codePage == 949 ||
         codePage == 950;
}

bool IsLeadByteOf(std::uint32_t codePage, std::uint8_t byte) {
  switch (codePage) {
    case 932:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

}  // namespace qvx::sim
