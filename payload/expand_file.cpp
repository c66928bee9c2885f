#include "payload/expand_file.h"

#include <limits>

#include "platform/win_values.h"

namespace qvx {
namespace {

// The file is read in pieces of this size into the stack; the expansion
// itself needs no memory beyond the caller's buffer.
constexpr std::uint32_t kReadPiece = 16 * 1024;

}  // namespace

std::int32_t ExpandFile(FileSystem& files, const std::string& path, std::uint8_t* buffer,
                        std::uint32_t capacity, ExpandedSink* sink) {
  const FileHandle file =
      files.CreateFileA(path, kGenericRead, kFileShareRead, kOpenExisting, kFileAttributeNormal);
  if (file == kInvalidFileHandle) return 0;

  LzFileExpander expander(buffer, capacity, sink);
  std::uint8_t piece[kReadPiece];
  bool readFailed = false;
  for (;;) {
    std::uint32_t read = 0;
    if (!files.ReadFile(file, piece, kReadPiece, &read)) {
      readFailed = true;
      break;
    }
    if (read == 0) break;
    expander.Feed({piece, read > kReadPiece ? kReadPiece : read});
  }
  files.CloseHandle(file);
  if (readFailed) return 0;

  const std::size_t count = expander.Finish();
  // The result is signed: a count it cannot carry is no success.
  if (count > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return 0;
  return static_cast<std::int32_t>(count);
}

}  // namespace qvx
