// The ANSI code pages the simulated machine can run in, with the lead-byte
// ranges Windows gives them: 932 (Japanese) 0x81-0x9F and 0xE0-0xFC; 936
// (Simplified Chinese), 949 (Korean) and 950 (Traditional Chinese)
// 0x81-0xFE; 1252 (Western) none. The byte after a lead byte belongs to the
// same character whatever its value: 0x5C (a backslash on its own) and the
// letters among them.
#pragma once

#include <cstdint>

namespace qvx::sim {

inline constexpr std::uint32_t kWesternCodePage = 1252;

// Whether the simulation knows `codePage`; it runs in no other.
bool IsKnownCodePage(std::uint32_t codePage);
bool IsLeadByteOf(std::uint32_t codePage, std::uint8_t byte);

// A code page's lead-byte test, for the text walks of platform/ansi_path.h.
struct CodePageLeadBytes {
  std::uint32_t codePage;
  bool operator()(std::uint8_t byte) const { return IsLeadByteOf(codePage, byte); }
};

}  // namespace qvx::sim
