#include "tools/qvxpack/pe_image.h"

#include <algorithm>

#include "tools/qvxpack/byte_fields.h"

namespace qvx::pack {
namespace {

constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint32_t kPe32Magic = 0x10B;
constexpr std::uint32_t kPe32PlusMagic = 0x20B;
constexpr std::uint32_t kMaxDirectories = 16;
constexpr std::size_t kSectionEntrySize = 40;
constexpr std::size_t kPeOffsetField = 0x3C;  // e_lfanew of the DOS header

bool IsPowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// "MZ", then at the offset the DOS header gives, inside the file, "PE\0\0".
bool FindPeHeader(std::span<const std::uint8_t> file, std::uint32_t* peOffset) {
  std::uint32_t signature = 0;
  return HasBytes(file, 0, 2) && file[0] == 'M' && file[1] == 'Z' &&
         ReadField(file, kPeOffsetField, 4, peOffset) &&
         ReadField(file, *peOffset, 4, &signature) && signature == kPeSignature;
}

}  // namespace

bool LooksLikeExecutable(std::span<const std::uint8_t> file) {
  std::uint32_t peOffset = 0;
  return FindPeHeader(file, &peOffset);
}

bool ReadProgramKind(std::span<const std::uint8_t> file, ProgramKind* kind) {
  constexpr std::uint32_t kFileDll = 0x2000;  // the file header's IMAGE_FILE_DLL
  std::uint32_t peOffset = 0, characteristics = 0;
  if (!FindPeHeader(file, &peOffset) ||
      !ReadField(file, peOffset + std::size_t{4}, 2, &kind->machine) ||
      !ReadField(file, peOffset + std::size_t{4 + 18}, 2, &characteristics)) {
    return false;
  }
  kind->dll = (characteristics & kFileDll) != 0;
  return true;
}

bool ParsePeLayout(std::span<const std::uint8_t> file, PeLayout* layout, std::string* error) {
  std::uint32_t peOffset = 0;
  if (!FindPeHeader(file, &peOffset)) {
    *error = "not a Windows executable";
    return false;
  }
  const std::size_t coff = std::size_t{peOffset} + 4;
  const std::size_t optional = coff + 20;
  std::uint32_t sectionCount = 0, optionalSize = 0, magic = 0;
  if (!ReadField(file, coff + 2, 2, &sectionCount) ||
      !ReadField(file, coff + 16, 2, &optionalSize) || !ReadField(file, optional, 2, &magic)) {
    *error = "truncated executable header";
    return false;
  }
  if (magic != kPe32Magic && magic != kPe32PlusMagic) {
    *error = "unknown optional header kind";
    return false;
  }
  PeLayout pe;
  pe.pe32Plus = magic == kPe32PlusMagic;
  pe.sizeOfInitializedDataField = optional + 8;
  pe.sizeOfImageField = optional + 56;
  pe.checksumField = optional + 64;
  const std::size_t countField = optional + (pe.pe32Plus ? 108 : 92);
  pe.directoriesField = countField + 4;
  std::uint32_t directoryCount = 0;
  if (!ReadField(file, optional + 32, 4, &pe.sectionAlignment) ||
      !ReadField(file, optional + 36, 4, &pe.fileAlignment) ||
      !ReadField(file, optional + 60, 4, &pe.sizeOfHeaders) ||
      !ReadField(file, countField, 4, &directoryCount) ||
      !HasBytes(file, coff, 20 + std::size_t{optionalSize})) {
    *error = "truncated executable header";
    return false;
  }
  if (directoryCount > kMaxDirectories ||
      pe.directoriesField + 8 * std::size_t{directoryCount} > optional + optionalSize) {
    *error = "malformed optional header: its data directories do not fit in it";
    return false;
  }
  if (!IsPowerOfTwo(pe.fileAlignment) || !IsPowerOfTwo(pe.sectionAlignment) ||
      pe.sectionAlignment < pe.fileAlignment) {
    *error = "malformed optional header: the section or file alignment is not a power of two";
    return false;
  }
  for (std::uint32_t i = 0; i < directoryCount; ++i) {
    DataDirectory d;
    ReadField(file, pe.DirectoryField(i), 4, &d.rva);
    ReadField(file, pe.DirectoryField(i) + 4, 4, &d.size);
    pe.directories.push_back(d);
  }

  const std::size_t table = optional + optionalSize;
  if (!HasBytes(file, table, kSectionEntrySize * sectionCount)) {
    *error = "truncated section table";
    return false;
  }
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    PeSection s;
    s.headerOffset = table + kSectionEntrySize * i;
    // The name goes into messages: anything but printable ASCII shows as '?'.
    for (std::size_t k = 0; k < 8 && file[s.headerOffset + k]; ++k) {
      const std::uint8_t c = file[s.headerOffset + k];
      s.name += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    ReadField(file, s.headerOffset + 8, 4, &s.virtualSize);
    ReadField(file, s.headerOffset + 12, 4, &s.virtualAddress);
    ReadField(file, s.headerOffset + 16, 4, &s.rawSize);
    ReadField(file, s.headerOffset + 20, 4, &s.rawOffset);
    ReadField(file, s.headerOffset + 36, 4, &s.characteristics);
    if (s.rawSize != 0 && !HasBytes(file, s.rawOffset, s.rawSize)) {
      *error = "truncated executable: section " + s.name + " runs past the end of the file";
      return false;
    }
    pe.sections.push_back(s);
  }
  *layout = pe;
  return true;
}

std::uint32_t PeChecksum(std::span<const std::uint8_t> file, std::size_t checksumField) {
  // The field counts as zero wherever it lies, aligned or not.
  PeChecksumSum sum;
  const std::size_t split = std::min(checksumField, file.size());
  sum.Add(0, file.first(split));
  if (file.size() - split > 4) sum.Add(split + 4, file.subspan(split + 4));
  return sum.Finish(file.size());
}

void PeChecksumSum::Add(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  // A byte at an even offset is a word's low half, at an odd one its high.
  std::size_t i = 0;
  if (offset % 2 && !bytes.empty()) total_ += std::uint64_t{bytes[i++]} << 8;
  std::uint64_t words = 0;
  for (; i + 1 < bytes.size(); i += 2) words += bytes[i] | bytes[i + 1] << 8;
  if (i < bytes.size()) words += bytes[i];
  total_ += words;
}

std::uint32_t PeChecksumSum::Finish(std::uint64_t fileSize) const {
  // Summing word by word with end-around carry keeps the sum below 0x10000
  // and congruent to the total modulo 0xFFFF; it is 0 only while every word
  // is 0.
  const std::uint64_t folded = total_ == 0 ? 0 : (total_ - 1) % 0xFFFF + 1;
  return static_cast<std::uint32_t>(folded + fileSize);
}

}  // namespace qvx::pack
