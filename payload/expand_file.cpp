#include "payload/expand_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "payload/payload_reader.h"
#include "platform/win_values.h"

namespace qvx {
namespace {

// The file is read in pieces of this size into the stack; the expansion
// itself needs no memory beyond the caller's buffer.
constexpr std::uint32_t kReadPiece = 16 * 1024;
constexpr std::size_t kHead = kLeftOutSignature.size();

}  // namespace

std::int32_t ExpandFile(FileSystem& files, const std::string& path, std::uint8_t* buffer,
                        std::uint32_t capacity, ExpandedSink* sink,
                        std::span<const std::uint8_t> writtenBody) {
  const FileHandle file =
      files.CreateFileA(path, kGenericRead, kFileShareRead, kOpenExisting, kFileAttributeNormal);
  if (file == kInvalidFileHandle) return 0;

  LzFileExpander expander(buffer, capacity, sink);
  std::uint8_t piece[kReadPiece];
  std::size_t at = 0;  // bytes read so far
  bool failed = false;
  for (;;) {
    std::uint32_t read = 0;
    if (!files.ReadFile(file, piece, kReadPiece, &read)) {
      failed = true;
      break;
    }
    if (read == 0) break;
    if (read > kReadPiece) read = kReadPiece;
    if (!writtenBody.empty()) {
      // The signature's head is left to the header check.
      const std::size_t skip = at < kHead ? std::min<std::size_t>(kHead - at, read) : 0;
      if (at + read > kHead + writtenBody.size() ||
          std::memcmp(piece + skip, writtenBody.data() + (at + skip - kHead), read - skip) != 0) {
        failed = true;
        break;
      }
    }
    at += read;
    expander.Feed({piece, read});
  }
  files.CloseHandle(file);
  if (failed || (!writtenBody.empty() && at != kHead + writtenBody.size())) return 0;

  const std::size_t count = expander.Finish();
  // The result is signed: a count it cannot carry is no success.
  if (count > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return 0;
  return static_cast<std::int32_t>(count);
}

}  // namespace qvx
