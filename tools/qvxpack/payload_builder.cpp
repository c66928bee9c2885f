#include "tools/qvxpack/payload_builder.h"

#include <algorithm>
#include <cstring>

#include "payload/little_endian.h"
#include "payload/lz_expand.h"
#include "payload/payload_check.h"
#include "payload/target_names.h"
#include "tools/qvxpack/failure.h"
#include "tools/qvxpack/file_io.h"
#include "tools/qvxpack/lz_compress.h"

namespace qvx::pack {
namespace {

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

// Passes an entry's compressed stream on to the output and expands it as it
// goes, keeping the check value of what it expands to: a stream that does
// not give back the bytes that were read (a fault in the encoder, or a
// scratch file that read back wrong) is then caught before the payload is
// called done.
class ExpandingWriter final : public ByteWriter, ExpandedSink {
 public:
  ExpandingWriter(ByteWriter& out, std::vector<std::uint8_t>& buffer,
                  std::span<const std::uint8_t> header)
      : out_(out), expander_(buffer.data(), buffer.size(), this) {
    expander_.Feed(header);
  }
  bool Write(std::span<const std::uint8_t> bytes) override {
    expander_.Feed(bytes);
    return out_.Write(bytes);
  }
  const std::string& error() const override { return out_.error(); }
  // True when the stream expanded to exactly size bytes with this CRC-32.
  bool GaveBack(std::uint64_t size, std::uint32_t crc) {
    return expander_.Finish() == size && count_ == size && crc_.Value() == crc;
  }

 private:
  bool Put(const std::uint8_t* bytes, std::size_t size) override {
    crc_.Update({bytes, size});
    count_ += size;
    return true;
  }

  ByteWriter& out_;
  LzFileExpander expander_;
  Crc32 crc_;
  std::uint64_t count_ = 0;
};

// Reads a file for the encoder's two passes and notices when it changes
// meanwhile, as a parallel build step or a sync tool may rewrite it: each
// pass, from a Rewind, takes a CRC-32 and a count of its bytes.
class SteadySource : public ByteReader {
 public:
  SteadySource(ByteReader& in, std::uint64_t size) : in_(in), size_(size) {}
  bool Read(std::uint8_t* data, std::size_t size, std::size_t* got) override {
    if (!in_.Read(data, size, got)) return false;
    crc_.Update({data, *got});
    count_ += *got;
    changed_ = changed_ || (*got == 0 && count_ < size_);
    return true;
  }
  bool Rewind() override {
    crc_ = Crc32();
    count_ = 0;
    return in_.Rewind();
  }
  const std::string& error() const override { return in_.error(); }

  // Ends a pass: true when the file ends where its size does and, for a pass
  // after the first, when it read the same bytes as the first.
  bool EndPass(std::string* error) {
    std::uint8_t probe = 0;
    std::size_t got = 0;
    if (!in_.Read(&probe, 1, &got)) return Fail(error, in_.error());
    changed_ = changed_ || got != 0 || count_ != size_ || (passes_ > 0 && crc_.Value() != first_);
    if (passes_++ == 0) first_ = crc_.Value();
    return !changed_;
  }
  bool changed() const { return changed_; }
  // The CRC-32 of the bytes its first pass read.
  std::uint32_t crc() const { return first_; }

 private:
  ByteReader& in_;
  std::uint64_t size_;
  Crc32 crc_;
  std::uint64_t count_ = 0;
  std::uint32_t first_ = 0;
  int passes_ = 0;
  bool changed_ = false;
};

// Compares expanded bytes with the next bytes of a file.
class CompareSink final : public ExpandedSink {
 public:
  explicit CompareSink(ByteReader& file) : file_(file), chunk_(1 << 20) {}
  bool Put(const std::uint8_t* bytes, std::size_t size) override {
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
  // True when the file holds no more bytes than were compared.
  bool AtEnd() {
    std::size_t got = 0;
    if (!file_.Read(chunk_.data(), 1, &got)) readFailed_ = true;
    return !readFailed_ && got == 0;
  }
  bool readFailed() const { return readFailed_; }

 private:
  ByteReader& file_;
  std::vector<std::uint8_t> chunk_;
  bool readFailed_ = false;
};

}  // namespace

bool WritePayload(std::span<const PayloadSource> files, ScratchSpace& scratch, ByteWriter& sink,
                  std::string* error, const std::function<void(std::size_t)>& starting) {
  CheckedWriter out(sink);
  std::vector<std::uint8_t> frame;
  std::vector<std::uint8_t> expansion(kExpansionBufferSize);
  for (const PayloadSource& file : files) {
    const std::size_t index = static_cast<std::size_t>(&file - files.data());
    if (starting) starting(index);
    if (file.size > kMaxFileSize) {
      *error = "a file of 4 GiB or more cannot be packed";
      return false;
    }
    SteadySource source(*file.reader, file.size);
    // A failed pass of a file that changed fails for that reason.
    const std::string slot(index < kTargetCount ? kTargetNames[index] : "a file");
    const std::string named = file.name.empty() ? slot : file.name + " (given as " + slot + ")";
    const auto failed = [&] {
      if (source.changed()) *error = named + " changed while it was read; build again";
      return false;
    };
    LzEncoder encoder;
    if (!encoder.Plan(source, file.size, scratch, error) || !source.EndPass(error)) return failed();
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
    ExpandingWriter stream(out, expansion, header);
    if (!encoder.Write(source, scratch, stream, error) || !source.EndPass(error)) return failed();
    if (!stream.GaveBack(file.size, source.crc())) {
      return Fail(error, named + ": its compressed bytes do not expand back to the bytes read " +
                             "(a fault in qvxpack, or its scratch file read back wrong)");
    }
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

bool EntryMatchesFile(const PayloadEntry& entry, const std::string& path, bool* same,
                      std::string* error) {
  *same = false;
  FileReader file;
  if (!file.Open(path, kMaxFileSize, error)) return false;
  CompareSink compare(file);
  *same = ExpandEntryTo(entry, compare) && compare.AtEnd();
  return !compare.readFailed() || Fail(error, file.error());
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
