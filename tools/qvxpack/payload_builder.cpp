#include "tools/qvxpack/payload_builder.h"

#include "payload/lz_expand.h"
#include "tools/qvxpack/lz_compress.h"

namespace qvx::pack {
namespace {

constexpr std::uint8_t kSignatureHead[4] = {0x53, 0x5A, 0x44, 0x44};  // "SZDD"

void AppendLittleEndian32(std::vector<std::uint8_t>* out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out->push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

// Expands the pieces of one compressed file.
bool ExpandPieces(std::span<const std::uint8_t> head, std::span<const std::uint8_t> rest,
                  std::vector<std::uint8_t>* out) {
  std::uint8_t header[kLzHeaderSize];
  if (head.size() + rest.size() < kLzHeaderSize) return false;
  for (std::size_t i = 0; i < kLzHeaderSize; ++i) {
    header[i] = i < head.size() ? head[i] : rest[i - head.size()];
  }
  LzHeader parsed;
  if (!ParseLzHeader(header, &parsed)) return false;
  // A size the stream cannot reach would only make the buffer huge.
  const std::size_t streamLength = head.size() + rest.size() - kLzHeaderSize;
  if (parsed.expandedSize > LzMaxExpandedSize(streamLength)) return false;
  out->assign(parsed.expandedSize, 0);
  if (parsed.expandedSize == 0) {
    // Nothing to expand: sound only if the stream yields nothing either.
    std::uint8_t probe = 0;
    LzExpander stream(&probe, 0);
    stream.Feed(rest.subspan(kLzHeaderSize - head.size()));
    stream.Finish();
    return !stream.overflowed();
  }
  LzFileExpander expander(out->data(), out->size());
  expander.Feed(head);
  expander.Feed(rest);
  return expander.Finish() == parsed.expandedSize;
}

}  // namespace

bool WritePayload(std::span<const PayloadSource> files, ScratchSpace& scratch, ByteWriter& out,
                  std::string* error) {
  std::vector<std::uint8_t> frame;
  for (const PayloadSource& file : files) {
    if (file.size > kMaxFileSize) {
      *error = "a file of 4 GiB or more cannot be packed";
      return false;
    }
    LzEncoder encoder;
    if (!encoder.Plan(*file.reader, file.size, scratch, error)) return false;
    // The stored body: the compressed file without its first four bytes.
    const std::vector<std::uint8_t> header = LzHeaderBytes(static_cast<std::uint32_t>(file.size));
    const std::uint64_t length = header.size() - sizeof kSignatureHead + encoder.streamSize();
    if (length > kMaxFileSize) {
      *error = "a compressed entry of 4 GiB or more cannot be framed";
      return false;
    }
    frame.clear();
    AppendLittleEndian32(&frame, static_cast<std::uint32_t>(length));
    frame.insert(frame.end(), header.begin() + sizeof kSignatureHead, header.end());
    if (!out.Write(frame)) {
      *error = out.error();
      return false;
    }
    if (!encoder.Write(*file.reader, scratch, out, error)) return false;
  }
  frame.clear();
  AppendLittleEndian32(&frame, 0);
  if (!out.Write(frame)) {
    *error = out.error();
    return false;
  }
  return true;
}

bool BuildPayload(std::span<const std::vector<std::uint8_t>> files,
                  std::vector<std::uint8_t>* payload, std::string* error) {
  std::vector<MemoryReader> readers;
  readers.reserve(files.size());
  std::vector<PayloadSource> sources;
  for (const std::vector<std::uint8_t>& file : files) {
    readers.emplace_back(file);
    sources.push_back({&readers.back(), file.size()});
  }
  MemoryScratch scratch;
  payload->clear();
  VectorWriter out(payload);
  return WritePayload(sources, scratch, out, error);
}

bool ExpandCompressedFile(std::span<const std::uint8_t> file, std::vector<std::uint8_t>* out) {
  return ExpandPieces({}, file, out);
}

bool ExpandEntry(const PayloadEntry& entry, std::vector<std::uint8_t>* out) {
  if (entry.kind != EntryKind::Entry) return false;
  return ExpandPieces(kSignatureHead, entry.body, out);
}

}  // namespace qvx::pack
