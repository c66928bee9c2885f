// The layout of a Windows executable (PE32 or PE32+) in the detail needed to
// find its resources and rewrite its sections: alignments, data directories,
// the section table, and where each of these fields lies in the file so that
// it can be changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvx::pack {

inline constexpr std::size_t kResourceDirectory = 2;
inline constexpr std::size_t kSecurityDirectory = 4;  // its "RVA" is a file offset
inline constexpr std::size_t kBaseRelocDirectory = 5;
inline constexpr std::uint32_t kSectionInitializedData = 0x40;

struct PeSection {
  std::string name;
  std::uint32_t virtualSize = 0;
  std::uint32_t virtualAddress = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawOffset = 0;
  std::uint32_t characteristics = 0;
  std::size_t headerOffset = 0;  // of its 40-byte entry in the section table

  // The size it takes in memory: loaders take the raw size when the virtual
  // size is 0.
  std::uint32_t memorySize() const { return virtualSize ? virtualSize : rawSize; }
  bool Contains(std::uint32_t rva) const {
    return rva >= virtualAddress && rva - virtualAddress < memorySize();
  }
  // The size of what the file gives it: the loader maps no more than the
  // raw data, nor more than its size in memory.
  std::uint32_t mappedFileSize() const { return rawSize < memorySize() ? rawSize : memorySize(); }
};

struct DataDirectory {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
};

struct PeLayout {
  bool pe32Plus = false;
  std::uint32_t sectionAlignment = 0;
  std::uint32_t fileAlignment = 0;
  std::uint32_t sizeOfHeaders = 0;
  // File offsets of the optional-header fields that a rewrite changes.
  std::size_t sizeOfInitializedDataField = 0;
  std::size_t sizeOfImageField = 0;
  std::size_t checksumField = 0;
  std::size_t directoriesField = 0;  // the first data directory's 8 bytes
  std::vector<DataDirectory> directories;
  std::vector<PeSection> sections;

  std::size_t DirectoryField(std::size_t index) const { return directoriesField + 8 * index; }
  const DataDirectory* Directory(std::size_t index) const {
    return index < directories.size() && directories[index].size ? &directories[index] : nullptr;
  }
  // The index of the section that holds rva, or the section count.
  std::size_t SectionIndexOf(std::uint32_t rva) const {
    for (std::size_t i = 0; i < sections.size(); ++i) {
      if (sections[i].Contains(rva)) return i;
    }
    return sections.size();
  }
};

// True when the bytes carry a PE header: "MZ", a header offset (at 0x3C)
// inside the file, and the signature "PE\0\0" there. "MZ" alone is no sign:
// a payload whose first entry is 23,117 bytes long begins with it too.
bool LooksLikeExecutable(std::span<const std::uint8_t> file);

inline constexpr std::uint32_t kMachineI386 = 0x14C;
inline constexpr std::uint32_t kMachineAmd64 = 0x8664;

// What a program's file header says of it: the processor it is built for,
// and whether it is a DLL rather than a program to start.
struct ProgramKind {
  std::uint32_t machine = 0;
  bool dll = false;
};

// Reads the file header that LooksLikeExecutable finds; false when there is
// none, or when it is cut short.
bool ReadProgramKind(std::span<const std::uint8_t> file, ProgramKind* kind);

// Reads and checks the headers: a PE header as LooksLikeExecutable finds it,
// a known optional header, power-of-two alignments, and a section table
// whose raw data lies inside the file.
bool ParsePeLayout(std::span<const std::uint8_t> file, PeLayout* layout, std::string* error);

// The checksum the loader checks for drivers and system DLLs and signing
// tools report: the file's 16-bit words summed with end-around carry, the
// checksum field itself left out, plus the file's length.
std::uint32_t PeChecksum(std::span<const std::uint8_t> file, std::size_t checksumField);

// The same checksum over a file that passes by in pieces, in any order: each
// piece is added with its offset in the file, the checksum field's bytes as
// zeros. The folded sum depends only on the total of the words, so pieces
// need not come in file order.
class PeChecksumSum {
 public:
  void Add(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  std::uint32_t Finish(std::uint64_t fileSize) const;

 private:
  std::uint64_t total_ = 0;  // 16-bit words summed without folding
};

}  // namespace qvx::pack
