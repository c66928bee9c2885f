#include "tools/qvxpack/pe_resource.h"

#include <algorithm>
#include <cstddef>

namespace qvx::pack {
namespace {

// A bounds-checked view: every read that would leave the bytes fails.
class Bytes {
 public:
  explicit Bytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool Has(std::size_t offset, std::size_t size) const {
    return offset <= bytes_.size() && bytes_.size() - offset >= size;
  }
  bool U16(std::size_t offset, std::uint32_t* value) const {
    if (!Has(offset, 2)) return false;
    *value = bytes_[offset] | static_cast<std::uint32_t>(bytes_[offset + 1]) << 8;
    return true;
  }
  bool U32(std::size_t offset, std::uint32_t* value) const {
    if (!Has(offset, 4)) return false;
    *value = bytes_[offset] | static_cast<std::uint32_t>(bytes_[offset + 1]) << 8 |
             static_cast<std::uint32_t>(bytes_[offset + 2]) << 16 |
             static_cast<std::uint32_t>(bytes_[offset + 3]) << 24;
    return true;
  }
  std::span<const std::uint8_t> span() const { return bytes_; }

 private:
  std::span<const std::uint8_t> bytes_;
};

constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::size_t kPeOffsetField = 0x3C;        // e_lfanew of the DOS header
constexpr std::uint32_t kPe32Magic = 0x10B;
constexpr std::uint32_t kPe32PlusMagic = 0x20B;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;
constexpr std::uint32_t kNameStringBit = 0x80000000u;

// "MZ", then at the offset the DOS header gives, inside the file, "PE\0\0".
bool HasPeSignature(const Bytes& file, std::uint32_t* peOffset) {
  std::uint32_t signature = 0;
  return file.Has(0, 2) && file.span()[0] == 'M' && file.span()[1] == 'Z' &&
         file.U32(kPeOffsetField, peOffset) && file.U32(*peOffset, &signature) &&
         signature == kPeSignature;
}

struct Section {
  std::uint32_t virtualAddress = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawOffset = 0;
};

class PeFile {
 public:
  explicit PeFile(std::span<const std::uint8_t> file) : file_(file) {}

  bool Parse(std::string* error) {
    std::uint32_t peOffset = 0;
    if (!HasPeSignature(file_, &peOffset)) {
      *error = "not a Windows executable";
      return false;
    }
    const std::size_t coff = std::size_t{peOffset} + 4;
    std::uint32_t sectionCount = 0, optionalSize = 0, magic = 0;
    if (!file_.U16(coff + 2, &sectionCount) || !file_.U16(coff + 16, &optionalSize) ||
        !file_.U16(coff + 20, &magic)) {
      *error = "truncated executable header";
      return false;
    }
    const std::size_t optional = coff + 20;
    std::size_t countOffset = 0;
    if (magic == kPe32Magic) {
      countOffset = optional + 92;
    } else if (magic == kPe32PlusMagic) {
      countOffset = optional + 108;
    } else {
      *error = "unknown optional header kind";
      return false;
    }
    std::uint32_t directoryCount = 0;
    if (!file_.U32(countOffset, &directoryCount) || directoryCount <= kResourceDirectoryIndex ||
        !file_.U32(countOffset + 4 + 8 * kResourceDirectoryIndex, &resourceRva_) ||
        resourceRva_ == 0) {
      *error = "the executable has no resources";
      return false;
    }
    const std::size_t sectionTable = optional + optionalSize;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
      Section s;
      const std::size_t at = sectionTable + 40 * std::size_t{i};
      if (!file_.U32(at + 12, &s.virtualAddress) || !file_.U32(at + 16, &s.rawSize) ||
          !file_.U32(at + 20, &s.rawOffset)) {
        *error = "truncated section table";
        return false;
      }
      if (resourceRva_ >= s.virtualAddress && resourceRva_ - s.virtualAddress < s.rawSize) {
        resourceSection_ = s;
        haveResources_ = true;
      }
    }
    if (!haveResources_) {
      *error = "the resource directory lies in no section";
      return false;
    }
    return true;
  }

  // The file bytes of the resource section from the resource directory on;
  // offsets inside the directory are relative to its start.
  Bytes ResourceDirectory() const {
    const std::size_t start =
        std::size_t{resourceSection_.rawOffset} + (resourceRva_ - resourceSection_.virtualAddress);
    const std::size_t end = std::size_t{resourceSection_.rawOffset} + resourceSection_.rawSize;
    if (start > file_.span().size()) return Bytes({});
    const std::size_t available = file_.span().size() - start;
    return Bytes(file_.span().subspan(start, std::min(available, end - start)));
  }

  // The file bytes at an RVA inside the resource section.
  bool DataAt(std::uint32_t rva, std::uint32_t size, std::span<const std::uint8_t>* data) const {
    const Section& s = resourceSection_;
    if (rva < s.virtualAddress || rva - s.virtualAddress > s.rawSize ||
        s.rawSize - (rva - s.virtualAddress) < size) {
      return false;
    }
    const std::size_t offset = std::size_t{s.rawOffset} + (rva - s.virtualAddress);
    if (!file_.Has(offset, size)) return false;
    *data = file_.span().subspan(offset, size);
    return true;
  }

 private:
  Bytes file_;
  std::uint32_t resourceRva_ = 0;
  Section resourceSection_;
  bool haveResources_ = false;
};

// Looks up an integer id in the directory table at offset; the entry's
// target offset (with its subdirectory bit) goes to *target.
bool FindEntry(const Bytes& dir, std::uint32_t offset, std::uint32_t id, std::uint32_t* target) {
  std::uint32_t named = 0, ids = 0;
  if (!dir.U16(std::size_t{offset} + 12, &named) || !dir.U16(std::size_t{offset} + 14, &ids)) {
    return false;
  }
  for (std::uint32_t i = 0; i < named + ids; ++i) {
    const std::size_t at = std::size_t{offset} + 16 + 8 * std::size_t{i};
    std::uint32_t name = 0;
    if (!dir.U32(at, &name) || !dir.U32(at + 4, target)) return false;
    if ((name & kNameStringBit) == 0 && name == id) return true;
  }
  return false;
}

}  // namespace

bool LooksLikeExecutable(std::span<const std::uint8_t> file) {
  std::uint32_t peOffset = 0;
  return HasPeSignature(Bytes(file), &peOffset);
}

bool FindResource(std::span<const std::uint8_t> file, std::uint32_t type, std::uint32_t id,
                  std::uint32_t language, std::span<const std::uint8_t>* data, std::string* error) {
  PeFile pe(file);
  if (!pe.Parse(error)) return false;
  const Bytes dir = pe.ResourceDirectory();

  // Three levels: type, then name, then language; the first two lead to
  // subdirectories, the last to a data entry.
  std::uint32_t offset = 0;
  const std::uint32_t path[3] = {type, id, language};
  for (int level = 0; level < 3; ++level) {
    std::uint32_t target = 0;
    if (!FindEntry(dir, offset, path[level], &target)) {
      *error = "no resource type " + std::to_string(type) + ", id " + std::to_string(id) +
               ", language " + std::to_string(language);
      return false;
    }
    const bool subdirectory = (target & kSubdirectoryBit) != 0;
    if (subdirectory != (level < 2)) {
      *error = "malformed resource directory";
      return false;
    }
    offset = target & ~kSubdirectoryBit;
  }
  std::uint32_t rva = 0, size = 0;
  if (!dir.U32(offset, &rva) || !dir.U32(std::size_t{offset} + 4, &size) ||
      !pe.DataAt(rva, size, data)) {
    *error = "the resource's data lies outside the file";
    return false;
  }
  return true;
}

}  // namespace qvx::pack
