// The encoder of the installer's compressed-file format (payload/lz_expand.h
// describes it). Host only: the installer never compresses.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qvx::pack {

// The shortest data stream for input under the format's cost model (a
// literal costs 9 bits, a reference 17, flag bits included): an optimal parse
// by dynamic programming over the longest match at every position, every
// length from 3 to 18 considered, the initial window of spaces included.
std::vector<std::uint8_t> LzCompressStream(std::span<const std::uint8_t> input);

// The 14-byte header of a compressed file of mode A with no missing
// character, for an expanded size.
std::vector<std::uint8_t> LzHeaderBytes(std::uint32_t expandedSize);

// A complete compressed file: header and stream. The input must be below 4 GiB.
std::vector<std::uint8_t> LzCompressFile(std::span<const std::uint8_t> input);

}  // namespace qvx::pack
