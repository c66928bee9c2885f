// compress and expand: one compressed file, outside any payload.
#include <string>
#include <vector>

#include "payload/lz_expand.h"
#include "tools/qvxpack/commands.h"
#include "tools/qvxpack/file_io.h"
#include "tools/qvxpack/lz_compress.h"
#include "tools/qvxpack/payload_builder.h"

namespace qvx::pack {

std::string UnreachableSize(std::uint32_t expandedSize, std::size_t streamLength) {
  const std::uint64_t most = LzMaxExpandedSize(streamLength);
  if (expandedSize <= most) return "";
  return "claims an expanded size of " + std::to_string(expandedSize) + " bytes; its " +
         std::to_string(streamLength) + "-byte data stream can yield at most " +
         std::to_string(most);
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
  LzHeader header;
  if (ParseLzHeader(data, &header)) {
    const std::string problem = UnreachableSize(header.expandedSize, data.size() - kLzHeaderSize);
    if (!problem.empty()) return Report(in + ": not a sound compressed file: it " + problem);
  }
  if (!ExpandCompressedFile(data, &expanded)) {
    return Report(in + ": not a sound compressed file (bad header, or corrupt or truncated data)");
  }
  if (!WriteFileAtomically(out, expanded, &error)) return Report(error);
  return kExitOk;
}

}  // namespace qvx::pack
