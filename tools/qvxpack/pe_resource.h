// Finds a resource in a Windows executable file (PE32 or PE32+) held in
// memory, so that the tools can read the payload out of a built installer.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qvx::pack {

inline constexpr std::uint32_t kRtRcData = 10;
inline constexpr std::uint32_t kPayloadResourceId = 129;
inline constexpr std::uint32_t kLangEnglishUs = 1033;

// True when the bytes carry a PE header: "MZ", a header offset (at 0x3C)
// inside the file, and the signature "PE\0\0" there. "MZ" alone is no sign:
// a payload whose first entry is 23,117 bytes long begins with it too.
bool LooksLikeExecutable(std::span<const std::uint8_t> file);

// The bytes of resource (type, id, language), or false with the reason in
// *error. Every offset of the file is checked against its size.
bool FindResource(std::span<const std::uint8_t> file, std::uint32_t type, std::uint32_t id,
                  std::uint32_t language, std::span<const std::uint8_t>* data, std::string* error);

}  // namespace qvx::pack
