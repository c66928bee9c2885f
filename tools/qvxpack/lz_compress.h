// The encoder of the installer's compressed-file format (payload/lz_expand.h
// describes it). Host only: the installer never compresses.
//
// The stream is the shortest for the input under the format's cost model (a
// literal costs 9 bits, a reference 17, flag bits included): an optimal
// parse by dynamic programming over the longest match at every position,
// every length from 3 to 18 considered, the initial window of spaces
// included.
//
// The parse is chosen from the end of the input backwards, so the whole
// input is seen before the first byte is written. LzEncoder does it in two
// passes over the input, holding one byte per input byte in memory (the
// length chosen at each position) and putting the two-byte distances aside
// in scratch space: a file of any size is compressed in about its own size
// of memory, and the stream's size is known before it is written.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/qvxpack/byte_stream.h"

namespace qvx::pack {

class LzEncoder {
 public:
  // Reads, scratch and output move in pieces of this size (4 KiB or more).
  explicit LzEncoder(std::size_t piece = 1 << 20) : piece_(piece) {}

  // Pass 1: reads inputSize bytes from the input's start and chooses the
  // parse. The distances go to scratch, from its start. False, with the
  // reason in *error, when the input cannot be read or does not have
  // inputSize bytes.
  bool Plan(ByteReader& input, std::uint64_t inputSize, ScratchSpace& scratch,
            std::string* error);
  // The size of the data stream that Write will write.
  std::uint64_t streamSize() const { return streamSize_; }
  // Pass 2: reads the same input again from its start, and the distances
  // from scratch, and writes the data stream (without header) to out,
  // streamSize() bytes.
  bool Write(ByteReader& input, ScratchSpace& scratch, ByteWriter& out, std::string* error);

 private:
  std::size_t piece_;
  std::vector<std::uint8_t> choice_;  // per position: 1 for a literal, else a length
  std::uint64_t streamSize_ = 0;
};

// The data stream for input held in memory.
std::vector<std::uint8_t> LzCompressStream(std::span<const std::uint8_t> input);

// The 14-byte header of a compressed file of mode A with no missing
// character, for an expanded size.
std::vector<std::uint8_t> LzHeaderBytes(std::uint32_t expandedSize);

// A complete compressed file: header and stream. The input must be below 4 GiB.
std::vector<std::uint8_t> LzCompressFile(std::span<const std::uint8_t> input);

}  // namespace qvx::pack
