// Sequential byte sources and sinks, so that files of any size pass through
// the encoder and into an output in pieces of a fixed size: a file on disk
// and a buffer in memory look the same to the code that moves the bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace qvx::pack {

class ByteReader {
 public:
  virtual ~ByteReader() = default;
  // Reads up to size bytes into data; *got is 0 only at the end. False on a
  // failure, with the reason in error().
  virtual bool Read(std::uint8_t* data, std::size_t size, std::size_t* got) = 0;
  // Back to the first byte.
  virtual bool Rewind() = 0;
  virtual const std::string& error() const = 0;
};

class ByteWriter {
 public:
  virtual ~ByteWriter() = default;
  // Appends all of bytes. False on a failure, with the reason in error().
  virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
  virtual const std::string& error() const = 0;
};

// Copies up to size bytes of bytes from *at on into data and moves *at past
// them; returns how many.
inline std::size_t ReadFrom(std::span<const std::uint8_t> bytes, std::size_t* at,
                            std::uint8_t* data, std::size_t size) {
  const std::size_t n = std::min(size, bytes.size() - *at);
  if (n) std::memcpy(data, bytes.data() + *at, n);
  *at += n;
  return n;
}

// Reads bytes held in memory; `piece` limits each read, so that tests can
// cut the input anywhere.
class MemoryReader : public ByteReader {
 public:
  explicit MemoryReader(std::span<const std::uint8_t> bytes, std::size_t piece = SIZE_MAX)
      : bytes_(bytes), piece_(piece) {}
  bool Read(std::uint8_t* data, std::size_t size, std::size_t* got) override {
    *got = ReadFrom(bytes_, &at_, data, std::min(size, piece_));
    return true;
  }
  bool Rewind() override {
    at_ = 0;
    return true;
  }
  std::uint64_t size() const { return bytes_.size(); }
  const std::string& error() const override { return error_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t piece_;
  std::size_t at_ = 0;
  std::string error_;
};

class VectorWriter : public ByteWriter {
 public:
  explicit VectorWriter(std::vector<std::uint8_t>* out) : out_(out) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    out_->insert(out_->end(), bytes.begin(), bytes.end());
    return true;
  }
  const std::string& error() const override { return error_; }

 private:
  std::vector<std::uint8_t>* out_;
  std::string error_;
};

// Space to put bytes aside and read them back in the same order, as often as
// needed: a file on disk for large inputs, memory for small ones.
// Writing after Rewind writes over what is there from the first byte on.
class ScratchSpace : public ByteWriter, public ByteReader {
 public:
  // One reason for both sides.
  const std::string& error() const override = 0;
};

class MemoryScratch : public ScratchSpace {
 public:
  bool Write(std::span<const std::uint8_t> bytes) override {
    if (bytes_.size() < at_ + bytes.size()) bytes_.resize(at_ + bytes.size());
    std::copy(bytes.begin(), bytes.end(), bytes_.begin() + at_);
    at_ += bytes.size();
    return true;
  }
  bool Read(std::uint8_t* data, std::size_t size, std::size_t* got) override {
    *got = ReadFrom(bytes_, &at_, data, size);
    return true;
  }
  bool Rewind() override {
    at_ = 0;
    return true;
  }
  const std::string& error() const override { return error_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t at_ = 0;
  std::string error_;
};

// Fills data completely unless the reader ends first; *got tells how much.
inline bool ReadFull(ByteReader& reader, std::uint8_t* data, std::size_t size, std::size_t* got) {
  *got = 0;
  while (*got < size) {
    std::size_t n = 0;
    if (!reader.Read(data + *got, size - *got, &n)) return false;
    if (n == 0) break;
    *got += n;
  }
  return true;
}

}  // namespace qvx::pack
