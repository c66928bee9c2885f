// compress and expand: one compressed file, outside any payload.
#include <string>
#include <vector>

#include "payload/lz_expand.h"
#include "tools/qvxpack/commands.h"
#include "tools/qvxpack/file_io.h"
#include "tools/qvxpack/lz_compress.h"
#include "tools/qvxpack/payload_builder.h"

namespace qvx::pack {

std::string ClaimAndYield(std::uint32_t expandedSize, std::span<const std::uint8_t> stream) {
  return "claims an expanded size of " + std::to_string(expandedSize) + " bytes, but its " +
         std::to_string(stream.size()) + "-byte data stream yields " +
         std::to_string(LzExpandedCount(stream));
}

int Compress(const std::string& in, const std::string& out) {
  std::vector<std::uint8_t> data;
  std::string error;
  if (!ReadWholeFile(in, kMaxFileSize, &data, &error)) return Report(error);
  const std::vector<std::uint8_t> compressed = LzCompressFile(data);
  if (!WriteFileAtomically(out, compressed, &error)) return Report(error);
  return kExitOk;
}

int Expand(const std::string& in, const std::string& out) {
  std::vector<std::uint8_t> data;
  std::vector<std::uint8_t> expanded;
  std::string error;
  if (!ReadWholeFile(in, kMaxInputSize, &data, &error)) return Report(error);
  if (!ExpandCompressedFile(data, &expanded)) {
    LzHeader header;
    if (!ParseLzHeader(data, &header)) {
      return Report(in + ": not a sound compressed file: no compressed-file header of mode A");
    }
    return Report(in + ": not a sound compressed file: it " +
                  ClaimAndYield(header.expandedSize, std::span(data).subspan(kLzHeaderSize)));
  }
  if (!WriteFileAtomically(out, expanded, &error)) return Report(error);
  return kExitOk;
}

}  // namespace qvx::pack
