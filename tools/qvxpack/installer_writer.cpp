#include "tools/qvxpack/installer_writer.h"

#include <vector>

#include "tools/qvxpack/byte_fields.h"
#include "tools/qvxpack/pe_image.h"

namespace qvx::pack {
namespace {

// Passes bytes on to the output, counting them and adding them to the
// file's checksum at the place they take in the file.
class ChecksumWriter : public ByteWriter {
 public:
  ChecksumWriter(ByteWriter& out, PeChecksumSum& sum, std::uint64_t offset)
      : out_(out), sum_(sum), offset_(offset) {}

  bool Write(std::span<const std::uint8_t> bytes) override {
    sum_.Add(offset_, bytes);
    offset_ += bytes.size();
    return out_.Write(bytes);
  }
  const std::string& error() const override { return out_.error(); }
  std::uint64_t offset() const { return offset_; }

 private:
  ByteWriter& out_;
  PeChecksumSum& sum_;
  std::uint64_t offset_;
};

}  // namespace

bool WriteInstaller(const InstallerStub& stub, const PayloadProducer& producePayload,
                    AtomicFileWriter& out, std::string* error) {
  // The head's size does not depend on the payload's size: its room is
  // kept with zeros until the payload is written.
  std::vector<std::uint8_t> head, tail;
  if (!stub.LayOut(0, &head, &tail, error)) return false;
  const std::uint64_t headSize = head.size();
  if (!out.Write(std::vector<std::uint8_t>(head.size(), 0))) {
    *error = out.error();
    return false;
  }

  PeChecksumSum sum;
  ChecksumWriter payload(out, sum, headSize);
  if (!producePayload(payload, error)) return false;
  const std::uint64_t payloadSize = payload.offset() - headSize;

  if (!stub.LayOut(payloadSize, &head, &tail, error)) return false;
  if (head.size() != headSize) {
    *error = "internal error: the headers' size changed with the payload's";
    return false;
  }
  ChecksumWriter rest(out, sum, payload.offset());
  if (!rest.Write(tail)) {
    *error = out.error();
    return false;
  }
  sum.Add(0, head);  // its checksum field is 0
  WriteField(head, stub.checksumField(), 4, sum.Finish(rest.offset()));
  if (!out.WriteAt(0, head)) {
    *error = out.error();
    return false;
  }
  return true;
}

}  // namespace qvx::pack
