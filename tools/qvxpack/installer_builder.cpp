#include "tools/qvxpack/installer_builder.h"

#include <algorithm>

#include "tools/qvxpack/byte_fields.h"
#include "tools/qvxpack/failure.h"
#include "tools/qvxpack/pe_image.h"
#include "tools/qvxpack/pe_resource.h"
#include "tools/qvxpack/resource_tree.h"

namespace qvx::pack {
namespace {

constexpr std::uint64_t kMaxRva = 0xFFFFFFFFu;
constexpr std::size_t kSectionEntrySize = 40;
constexpr std::uint32_t kRelocationPage = 0x1000;
constexpr std::uint32_t kRelocationPadding = 0;  // an entry of type 0 changes nothing

// True when no base relocation patches a place at or after `limit`: the
// places there are the ones that move.
bool RelocationsStayBelow(std::span<const std::uint8_t> stub, const PeLayout& pe,
                          const PeSection& section, std::uint32_t limit) {
  const DataDirectory* relocs = pe.Directory(kBaseRelocDirectory);
  const std::size_t start = section.rawOffset + (relocs->rva - section.virtualAddress);
  std::size_t at = 0;
  while (at + 8 <= relocs->size) {
    std::uint32_t page = 0, blockSize = 0;
    if (!ReadField(stub, start + at, 4, &page) || !ReadField(stub, start + at + 4, 4, &blockSize) ||
        blockSize < 8 || blockSize > relocs->size - at) {
      return false;
    }
    for (std::size_t e = 8; e + 2 <= blockSize; e += 2) {
      std::uint32_t entry = 0;
      if (!ReadField(stub, start + at + e, 2, &entry)) return false;
      if (entry >> 12 != kRelocationPadding &&
          std::uint64_t{page} + (entry & (kRelocationPage - 1)) >= limit) {
        return false;
      }
    }
    at += blockSize;
  }
  return true;
}

// Checks that every section after the resource section can move: it holds
// the base relocations and nothing else that a data directory points to.
bool CheckFollowingSections(std::span<const std::uint8_t> stub, const PeLayout& pe,
                            std::size_t resourceIndex, std::string* error) {
  const PeSection& resources = pe.sections[resourceIndex];
  for (std::size_t j = resourceIndex + 1; j < pe.sections.size(); ++j) {
    const PeSection& s = pe.sections[j];
    const DataDirectory* relocs = pe.Directory(kBaseRelocDirectory);
    bool onlyRelocations = relocs && s.Contains(relocs->rva) &&
                           relocs->size <= s.virtualAddress + s.memorySize() - relocs->rva &&
                           relocs->rva - s.virtualAddress + relocs->size <= s.rawSize;
    for (std::size_t d = 0; d < pe.directories.size(); ++d) {
      if (d != kBaseRelocDirectory && d != kSecurityDirectory && pe.Directory(d) &&
          s.Contains(pe.directories[d].rva)) {
        onlyRelocations = false;
      }
    }
    if (!onlyRelocations || s.virtualAddress < resources.virtualAddress ||
        (s.rawSize && s.rawOffset < resources.rawOffset + resources.rawSize)) {
      return Fail(error, "section " + s.name +
                             " follows the resource section and is not a relocation section; "
                             "only a stub whose resource section is last, or followed by its "
                             "relocations only, can be rewritten");
    }
    if (!RelocationsStayBelow(stub, pe, s, resources.virtualAddress)) {
      return Fail(error, "the base relocations are malformed or patch the resource section");
    }
  }
  return true;
}

// Finds where the sections' data ends and checks what follows it: a
// certificate table, which is dropped, and zero padding. *signature tells
// whether there was a certificate table.
bool CheckTrailingData(std::span<const std::uint8_t> stub, const PeLayout& pe, bool* signature,
                       std::string* error) {
  std::size_t end = pe.sizeOfHeaders;
  for (const PeSection& s : pe.sections) {
    if (s.rawSize) end = std::max<std::size_t>(end, std::size_t{s.rawOffset} + s.rawSize);
  }
  const DataDirectory* certificates = pe.Directory(kSecurityDirectory);
  *signature = certificates != nullptr;
  if (certificates &&
      (certificates->rva < end || !HasBytes(stub, certificates->rva, certificates->size))) {
    return Fail(error,
                "truncated or malformed executable: its certificate table lies outside "
                "the end of the file");
  }
  for (std::size_t i = end; i < stub.size(); ++i) {
    const bool inCertificates =
        certificates && i >= certificates->rva && i - certificates->rva < certificates->size;
    if (!inCertificates && stub[i] != 0) {
      return Fail(error, "the file carries " + std::to_string(stub.size() - end) +
                             " bytes after its last section that are not a signature; they "
                             "would be lost");
    }
  }
  return true;
}

// The version record's leaf: the first language of the first name under
// RT_VERSION, as the resource compiler writes the one record there is.
ResourceEntry* FindVersionLeaf(ResourceTable& root) {
  for (ResourceEntry& type : root.entries) {
    if (type.named || type.id != kRtVersion || type.table.entries.empty()) continue;
    ResourceEntry& name = type.table.entries.front();
    return name.table.entries.empty() ? nullptr : &name.table.entries.front();
  }
  return nullptr;
}

}  // namespace

bool InstallerStub::Parse(std::span<const std::uint8_t> stub, std::string* error) {
  stub_ = stub;
  PeLayout& pe = pe_;
  std::size_t& r = resourceIndex_;
  if (!ParsePeLayout(stub, &pe, error) || !ReadResourceTree(stub, pe, &root_, &r, error)) {
    return false;
  }
  const PeSection& resources = pe.sections[r];
  if (pe.directories[kResourceDirectory].rva != resources.virtualAddress) {
    return Fail(error, "the resource directory does not fill a section of its own (" +
                           resources.name + ")");
  }
  // Addresses from the resource section on move; what lies in a following
  // section is checked below. A directory past them all would come to point
  // into a moved section.
  for (std::size_t d = 0; d < pe.directories.size(); ++d) {
    if (d == kResourceDirectory || d == kSecurityDirectory || !pe.Directory(d)) continue;
    const std::uint32_t rva = pe.directories[d].rva;
    if (resources.Contains(rva)) {
      return Fail(error, "data directory " + std::to_string(d) + " lies in the resource section");
    }
    if (rva >= resources.virtualAddress && pe.SectionIndexOf(rva) == pe.sections.size()) {
      return Fail(error, "data directory " + std::to_string(d) +
                             " points past the resource section into no section");
    }
  }
  for (std::size_t i = 0; i < r; ++i) {
    const PeSection& s = pe.sections[i];
    if (s.rawSize && std::size_t{s.rawOffset} + s.rawSize > resources.rawOffset) {
      return Fail(error, "section " + s.name + " lies after the resource section in the file");
    }
  }
  if (pe.sections.back().headerOffset + kSectionEntrySize > resources.rawOffset) {
    return Fail(error, "the section table overlaps the resource section");
  }
  if (!CheckFollowingSections(stub, pe, r, error)) return false;
  if (!CheckTrailingData(stub, pe, &signature_, error)) return false;

  payloadLeaf_ = FindResourceLeaf(root_, kRtRcData, kPayloadResourceId, kLangEnglishUs);
  if (!payloadLeaf_) {
    return Fail(error, "no payload resource (RT_RCDATA 129, language 1033): not an installer");
  }
  return true;
}

bool InstallerStub::SetVersion(const VersionNumber& version, std::string* error) {
  ResourceEntry* versionLeaf = FindVersionLeaf(root_);
  if (!versionLeaf) return Fail(error, "it has no version record (RT_VERSION) to set");
  if (!SetRecordVersion(versionLeaf->data, version, &versionRecord_, error)) return false;
  versionLeaf->data = versionRecord_;
  return true;
}

// The file up to the resource section, the new section, then the sections
// that follow it at their new places; the payload's bytes are left out
// between head and tail.
bool InstallerStub::LayOut(std::uint64_t payloadSize, std::vector<std::uint8_t>* head,
                           std::vector<std::uint8_t>* tail, std::string* error) const {
  const PeLayout& pe = pe_;
  const PeSection& resources = pe.sections[resourceIndex_];
  std::vector<std::uint8_t> before, after;
  if (!SerializeResourceTreeAround(root_, resources.virtualAddress, payloadLeaf_, payloadSize,
                                   &before, &after)) {
    return Fail(error, "the payload is too large for an executable");
  }
  const std::uint64_t treeSize = before.size() + payloadSize + after.size();

  std::vector<std::uint8_t>& out = *head;
  out.assign(stub_.begin(), stub_.begin() + resources.rawOffset);
  out.insert(out.end(), before.begin(), before.end());
  *tail = std::move(after);
  // The file offset of the tail's end.
  auto fileSize = [&] { return out.size() + payloadSize + tail->size(); };
  const std::uint64_t newRawSize = AlignUp(treeSize, pe.fileAlignment);
  tail->resize(tail->size() + (resources.rawOffset + newRawSize - fileSize()));
  std::uint64_t nextRva =
      AlignUp(std::uint64_t{resources.virtualAddress} + treeSize, pe.sectionAlignment);
  if (nextRva > kMaxRva || newRawSize > kMaxRva) {
    return Fail(error, "the payload is too large for an executable");
  }
  WriteField(out, resources.headerOffset + 8, 4, static_cast<std::uint32_t>(treeSize));
  WriteField(out, resources.headerOffset + 16, 4, static_cast<std::uint32_t>(newRawSize));
  WriteField(out, pe.DirectoryField(kResourceDirectory) + 4, 4,
             static_cast<std::uint32_t>(treeSize));
  for (std::size_t j = resourceIndex_ + 1; j < pe.sections.size(); ++j) {
    const PeSection& s = pe.sections[j];
    const std::uint32_t newRva = static_cast<std::uint32_t>(nextRva);
    WriteField(out, s.headerOffset + 12, 4, newRva);
    if (s.rawSize) {
      tail->resize(tail->size() + (AlignUp(fileSize(), pe.fileAlignment) - fileSize()));
      if (fileSize() > kMaxRva) return Fail(error, "the payload is too large for an executable");
      WriteField(out, s.headerOffset + 20, 4, static_cast<std::uint32_t>(fileSize()));
      tail->insert(tail->end(), stub_.begin() + s.rawOffset,
                   stub_.begin() + s.rawOffset + s.rawSize);
    }
    // Parse made sure that this is the relocation section.
    const std::uint32_t relocs = pe.directories[kBaseRelocDirectory].rva;
    WriteField(out, pe.DirectoryField(kBaseRelocDirectory), 4, relocs - s.virtualAddress + newRva);
    nextRva = AlignUp(nextRva + s.memorySize(), pe.sectionAlignment);
    if (nextRva > kMaxRva) return Fail(error, "the payload is too large for an executable");
  }
  WriteField(out, pe.sizeOfImageField, 4, static_cast<std::uint32_t>(nextRva));
  if (resources.characteristics & kSectionInitializedData) {
    std::uint32_t initialized = 0;
    ReadField(stub_, pe.sizeOfInitializedDataField, 4, &initialized);
    WriteField(out, pe.sizeOfInitializedDataField, 4,
               initialized - resources.rawSize + static_cast<std::uint32_t>(newRawSize));
  }
  if (signature_) {
    WriteField(out, pe.DirectoryField(kSecurityDirectory), 4, 0);
    WriteField(out, pe.DirectoryField(kSecurityDirectory) + 4, 4, 0);
  }
  WriteField(out, pe.checksumField, 4, 0);
  return true;
}

bool BuildInstaller(std::span<const std::uint8_t> stub, std::span<const std::uint8_t> payload,
                    BuiltInstaller* built, std::string* error, const VersionNumber* version) {
  InstallerStub parsed;
  std::vector<std::uint8_t> head, tail;
  if (!parsed.Parse(stub, error) || (version && !parsed.SetVersion(*version, error)) ||
      !parsed.LayOut(payload.size(), &head, &tail, error)) {
    return false;
  }
  std::vector<std::uint8_t> out = std::move(head);
  out.insert(out.end(), payload.begin(), payload.end());
  out.insert(out.end(), tail.begin(), tail.end());
  WriteField(out, parsed.checksumField(), 4, PeChecksum(out, parsed.checksumField()));
  built->image = std::move(out);
  built->signatureDropped = parsed.signatureDropped();
  return true;
}

}  // namespace qvx::pack
