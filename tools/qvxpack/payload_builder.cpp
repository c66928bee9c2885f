#include "tools/qvxpack/payload_builder.h"

#include <algorithm>
#include <cstring>

#include "payload/lz_expand.h"
#include "payload/payload_check.h"
#include "tools/qvxpack/file_io.h"
#include "tools/qvxpack/lz_compress.h"

namespace qvx::pack {
namespace {

void AppendLittleEndian32(std::vector<std::uint8_t>* out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out->push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

// Passes bytes on to the output and keeps the check value of all it passed.
class CheckedWriter : public ByteWriter {
 public:
  explicit CheckedWriter(ByteWriter& out) : out_(out) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    crc_.Update(bytes);
    return out_.Write(bytes);
  }
  const std::string& error() const override { return out_.error(); }
  std::uint32_t crc() const { return crc_.Value(); }

 private:
  ByteWriter& out_;
  Crc32 crc_;
};

}  // namespace

bool WritePayload(std::span<const PayloadSource> files, ScratchSpace& scratch, ByteWriter& sink,
                  std::string* error, const std::function<void(std::size_t)>& starting) {
  CheckedWriter out(sink);
  std::vector<std::uint8_t> frame;
  for (const PayloadSource& file : files) {
    if (starting) starting(static_cast<std::size_t>(&file - files.data()));
    if (file.size > kMaxFileSize) {
      *error = "a file of 4 GiB or more cannot be packed";
      return false;
    }
    LzEncoder encoder;
    if (!encoder.Plan(*file.reader, file.size, scratch, error)) return false;
    // The stored body: the compressed file without its first four bytes.
    const std::vector<std::uint8_t> header = LzHeaderBytes(static_cast<std::uint32_t>(file.size));
    const std::uint64_t length = header.size() - kLeftOutSignature.size() + encoder.streamSize();
    if (length > kMaxFileSize) {
      *error = "a compressed entry of 4 GiB or more cannot be framed";
      return false;
    }
    frame.clear();
    AppendLittleEndian32(&frame, static_cast<std::uint32_t>(length));
    frame.insert(frame.end(), header.begin() + kLeftOutSignature.size(), header.end());
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
  const auto trailer = CheckTrailer(out.crc());
  if (!sink.Write(trailer)) {
    *error = sink.error();
    return false;
  }
  return true;
}

bool BuildPayload(std::span<const std::vector<std::uint8_t>> files,
                  std::vector<std::uint8_t>* payload, std::string* error,
                  const std::function<void(std::size_t)>& starting) {
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
  return WritePayload(sources, scratch, out, error, starting);
}

bool ExpandCompressedFile(std::span<const std::uint8_t> file, std::vector<std::uint8_t>* out) {
  // Checked before the output buffer is allocated, so that a size the stream
  // cannot reach never makes it huge.
  LzHeader parsed;
  if (!ParseLzHeader(file, &parsed) ||
      LzExpandedCount(file.subspan(kLzHeaderSize)) != parsed.expandedSize) {
    return false;
  }
  out->assign(parsed.expandedSize, 0);
  return LzExpandFile(file, out->data(), out->size()) == parsed.expandedSize;
}

bool ExpandEntry(const PayloadEntry& entry, std::vector<std::uint8_t>* out) {
  struct Append final : ExpandedSink {
    explicit Append(std::vector<std::uint8_t>* to) : out(to) {}
    bool Put(const std::uint8_t* bytes, std::size_t size) override {
      out->insert(out->end(), bytes, bytes + size);
      return true;
    }
    std::vector<std::uint8_t>* out;
  } sink(out);
  out->clear();
  return ExpandEntryTo(entry, sink);
}

bool ExpandEntryTo(const PayloadEntry& entry, ExpandedSink& sink) {
  if (entry.kind != EntryKind::Entry || !entry.Sound()) return false;
  std::vector<std::uint8_t> buffer(kExpansionBufferSize);
  LzFileExpander expander(buffer.data(), buffer.size(), &sink);
  expander.Feed(kLeftOutSignature);
  expander.Feed(entry.body);
  return expander.Finish() == entry.expandedSize();
}

bool CompareSink::Put(const std::uint8_t* bytes, std::size_t size) {
  while (size > 0) {
    std::size_t got = 0;
    if (!file_.Read(chunk_.data(), std::min(size, chunk_.size()), &got)) {
      readFailed_ = true;
      return false;
    }
    if (got == 0 || std::memcmp(chunk_.data(), bytes, got) != 0) return false;
    bytes += got;
    size -= got;
  }
  return true;
}

bool CompareSink::AtEnd() {
  std::size_t got = 0;
  if (!file_.Read(chunk_.data(), 1, &got)) readFailed_ = true;
  return !readFailed_ && got == 0;
}

bool WriteEntryAtomically(const std::string& path, const PayloadEntry& entry, std::string* error) {
  struct Write final : ExpandedSink {
    explicit Write(AtomicFileWriter& to) : out(to) {}
    bool Put(const std::uint8_t* bytes, std::size_t size) override {
      return out.Write({bytes, size});
    }
    AtomicFileWriter& out;
  };
  AtomicFileWriter out;
  if (!out.Create(path, error)) return false;
  Write sink(out);
  if (!ExpandEntryTo(entry, sink)) {
    *error = out.error().empty() ? path + ": the entry does not expand" : out.error();
    return false;
  }
  if (!out.Commit()) {
    *error = out.error();
    return false;
  }
  return true;
}

}  // namespace qvx::pack
