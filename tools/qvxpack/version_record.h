// The version record of an executable (resource type 16, RT_VERSION), with
// its file and product version changed.
//
// The record is a tree of blocks, each laid out as
//
//   wLength       2 bytes: the block with its children, without the padding
//                 that may follow it
//   wValueLength  2 bytes: the value's size, in bytes (binary) or in UTF-16
//                 units with the terminating zero (text)
//   wType         2 bytes: 0 binary, 1 text
//   key           UTF-16, zero-terminated, then zeros to a multiple of 4
//   value         then zeros to a multiple of 4
//   children      each starting at a multiple of 4 from the record's start
//
// The root's key is "VS_VERSION_INFO" and its value the fixed file
// information (signature 0xFEEF04BD), whose words 2 to 5 are the file
// version (most, then least significant half) and the product version.
// Under "StringFileInfo", every string table may hold the texts
// "FileVersion" and "ProductVersion".
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvx::pack {

inline constexpr std::uint32_t kRtVersion = 16;

using VersionNumber = std::array<std::uint16_t, 4>;

// Parses "A.B.C.D", four decimal numbers of 0 to 65535.
bool ParseVersionNumber(const std::string& text, VersionNumber* version);

// The record with the fixed file and product versions set to version, and
// the texts "FileVersion" and "ProductVersion" of every string table to
// "A.B.C.D"; every other block stays as it was. False, with the reason, when
// the record is malformed or has no fixed file information.
bool SetRecordVersion(std::span<const std::uint8_t> record, const VersionNumber& version,
                      std::vector<std::uint8_t>* out, std::string* error);

}  // namespace qvx::pack
