// Host-side payload work: framing compressed files into a payload, and
// expanding entries and compressed files whole into memory.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "payload/payload_reader.h"
#include "tools/qvxpack/byte_stream.h"

namespace qvx::pack {

// The largest file a compressed file can describe (its size field is 32 bits).
inline constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFu;

// A file to pack: where its bytes come from, how many it has, and what the
// vendor calls it (its target name when empty).
struct PayloadSource {
  ByteReader* reader;
  std::uint64_t size;
  std::string name;
};

// Writes a payload of the given files to out: each compressed, in order,
// framed by its stored length, closed by the terminator and followed by its
// check value (payload_check.h). Every byte of the payload passes through out
// once, in order, and nothing else does. Each file is read twice; scratch
// holds two bytes per byte of the file being compressed. starting, when
// given, is told the index of each file before it is compressed. False with
// the reason in *error when a file cannot be read, changes between or during
// its two reads (its two passes must see the same bytes, its size and then
// its end), its compressed body does not expand back to the bytes read, or
// it or its body is too large for the 32-bit fields; out may then have part
// of the payload.
bool WritePayload(std::span<const PayloadSource> files, ScratchSpace& scratch, ByteWriter& out,
                  std::string* error, const std::function<void(std::size_t)>& starting = {});

// The payload of files held in memory, as WritePayload writes it.
bool BuildPayload(std::span<const std::vector<std::uint8_t>> files,
                  std::vector<std::uint8_t>* payload, std::string* error,
                  const std::function<void(std::size_t)>& starting = {});

// Expands a whole compressed file. False when it is not sound (bad header,
// or a stream that does not yield exactly the header's expanded size), found
// before the output buffer is allocated. An expanded size of 0 with an empty
// stream gives an empty file.
bool ExpandCompressedFile(std::span<const std::uint8_t> file, std::vector<std::uint8_t>* out);

// Expands a payload entry: its body with "SZDD" in front is a compressed file.
bool ExpandEntry(const PayloadEntry& entry, std::vector<std::uint8_t>* out);

// Expands a payload entry of any size through a buffer of the installer's
// size, handing sink every byte a bufferful at a time. An entry that is not
// sound fails before the sink sees a byte; false too when the sink refuses.
bool ExpandEntryTo(const PayloadEntry& entry, ExpandedSink& sink);

// Whether the file at path holds exactly the bytes a sound entry expands
// to (*same); an entry that is not sound matches no file. False, with the
// reason, when the file cannot be read.
bool EntryMatchesFile(const PayloadEntry& entry, const std::string& path, bool* same,
                      std::string* error);

// Expands a sound entry into the file at path, written whole or not at all.
bool WriteEntryAtomically(const std::string& path, const PayloadEntry& entry, std::string* error);

}  // namespace qvx::pack
