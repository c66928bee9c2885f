// A minimal Windows executable image with a resource section, made in memory
// for the tests of the resource lookup and rewriting: headers, a ".rsrc"
// section with a three-level resource directory (type, id, language),
// optionally sections before and after it and a certificate table at the
// end, and the right checksum.
//
// The directory is laid out as the resource compiler lays it out: the tables
// depth first, the name strings, zeros up to a multiple of 8, the data
// entries, then each resource's data at a multiple of 8. Every table carries
// nonzero Characteristics, TimeDateStamp and version, which a rewrite keeps.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace qvx::test {

struct SyntheticResource {
  std::uint32_t type;
  std::uint32_t id;
  std::uint32_t language;
  std::vector<std::uint8_t> data;
  // When not empty: the resource is named by this ASCII text, not by its id.
  std::string name = {};
};

struct SyntheticLayout {
  bool pe32Plus = false;
  // Sections after ".rsrc", each 16 bytes. ".reloc" holds one block of base
  // relocations, for the place at relocationTarget, and the base
  // relocation directory points at it; others hold 0xAB bytes.
  std::vector<std::string> sectionsAfter;
  std::uint32_t relocationTarget = 0x100;
  // When not empty: appended at certificateAt, or at the next multiple of 8
  // when that is 0, and the security directory points at it, as a signing
  // tool leaves it. Zeros fill the file up to it.
  std::vector<std::uint8_t> certificate;
  // Sections before ".rsrc", each 16 bytes of 0xAB; ".bss" has no raw data,
  // and its PointerToRawData lies far past the end of the file, where the
  // loader never looks.
  std::vector<std::string> sectionsBefore = {};
  std::uint32_t certificateAt = 0;
  // The VirtualSize of ".rsrc" when set (0: the loader takes the raw size);
  // otherwise the size of its directory.
  std::optional<std::uint32_t> resourceVirtualSize = {};
  std::uint32_t resourceCharacteristics = 0x40000040;  // initialized data, readable
  std::uint32_t sectionAlignment = 0x1000;
  // Data directories written last: {index, RVA, size}.
  std::vector<std::array<std::uint32_t, 3>> directories = {};
};

inline std::vector<std::uint8_t> SyntheticPe(const SyntheticLayout& layout,
                                             const std::vector<SyntheticResource>& resources);

inline std::vector<std::uint8_t> SyntheticPe(bool pe32Plus,
                                             const std::vector<SyntheticResource>& resources) {
  return SyntheticPe(SyntheticLayout{.pe32Plus = pe32Plus}, resources);
}

// The checksum over image with its own 4 bytes at field counted as zero:
// 16-bit words summed with end-around carry, plus the file's length.
inline std::uint32_t SyntheticChecksum(const std::vector<std::uint8_t>& image, std::size_t field) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < image.size(); i += 2) {
    const std::uint32_t lo = i - field < 4 ? 0 : image[i];
    const std::uint32_t hi = i + 1 >= image.size() || i + 1 - field < 4 ? 0 : image[i + 1];
    sum += lo | hi << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return sum + static_cast<std::uint32_t>(image.size());
}

inline std::vector<std::uint8_t> SyntheticPe(const SyntheticLayout& layout,
                                             const std::vector<SyntheticResource>& resources) {
  const bool pe32Plus = layout.pe32Plus;
  auto put32 = [](std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
  };
  auto alignUp = [](std::size_t v, std::size_t a) { return (v + a - 1) / a * a; };
  constexpr std::uint32_t kSub = 0x80000000u;

  // type -> (named ones first, by name; then by id) -> language -> resource.
  using IdKey = std::tuple<bool, std::string, std::uint32_t>;
  std::map<std::uint32_t, std::map<IdKey, std::map<std::uint32_t, int>>> tree;
  for (int i = 0; i < static_cast<int>(resources.size()); ++i) {
    const SyntheticResource& r = resources[i];
    tree[r.type][{r.name.empty(), r.name, r.name.empty() ? r.id : 0}][r.language] = i;
  }
  std::vector<std::uint8_t> rsrc;
  auto table = [&](std::size_t named, std::size_t ids, int level) {
    const std::size_t at = rsrc.size();
    rsrc.resize(at + 16 + 8 * (named + ids));
    put32(rsrc, at, 0x100u * level);            // Characteristics
    put32(rsrc, at + 4, 0x3A4B5C00u + level);  // TimeDateStamp
    put32(rsrc, at + 8, 0x00020004u);          // major and minor version
    rsrc[at + 12] = static_cast<std::uint8_t>(named);
    rsrc[at + 14] = static_cast<std::uint8_t>(ids);
    return at;
  };
  // Entries whose name string or data entry comes after the tables.
  std::vector<std::pair<std::size_t, std::string>> namedEntries;
  std::vector<std::pair<std::size_t, int>> leafEntries;
  const std::size_t root = table(0, tree.size(), 1);
  std::size_t i = 0;
  for (const auto& [type, ids] : tree) {
    std::size_t named = 0;
    for (const auto& [key, languages] : ids) named += !std::get<0>(key);
    const std::size_t t = table(named, ids.size() - named, 2);
    put32(rsrc, root + 16 + 8 * i, type);
    put32(rsrc, root + 20 + 8 * i, kSub | static_cast<std::uint32_t>(t));
    std::size_t j = 0;
    for (const auto& [key, languages] : ids) {
      const std::size_t n = table(0, languages.size(), 3);
      const auto& [byId, name, id] = key;
      if (!byId) namedEntries.push_back({t + 16 + 8 * j, name});
      put32(rsrc, t + 16 + 8 * j, id);
      put32(rsrc, t + 20 + 8 * j, kSub | static_cast<std::uint32_t>(n));
      std::size_t k = 0;
      for (const auto& [language, index] : languages) {
        put32(rsrc, n + 16 + 8 * k, language);
        leafEntries.push_back({n + 20 + 8 * k, index});
        ++k;
      }
      ++j;
    }
    ++i;
  }
  for (const auto& [entry, name] : namedEntries) {
    put32(rsrc, entry, kSub | static_cast<std::uint32_t>(rsrc.size()));
    rsrc.push_back(static_cast<std::uint8_t>(name.size()));
    rsrc.push_back(0);
    for (char c : name) rsrc.insert(rsrc.end(), {static_cast<std::uint8_t>(c), 0});
  }
  rsrc.resize(alignUp(rsrc.size(), 8));
  std::vector<std::size_t> dataEntries;
  for (const auto& [entry, index] : leafEntries) {
    put32(rsrc, entry, static_cast<std::uint32_t>(rsrc.size()));
    dataEntries.push_back(rsrc.size());
    rsrc.resize(rsrc.size() + 16);
  }

  constexpr std::size_t kPeOffset = 0x40;
  constexpr std::size_t kHeadersSize = 0x200;
  constexpr std::uint32_t kFileAlignment = 0x200;
  constexpr std::uint32_t kFirstRva = 0x1000;
  const std::uint32_t sectionAlignment = layout.sectionAlignment;
  const std::size_t optionalSize = pe32Plus ? 240 : 224;
  std::vector<std::uint8_t> image(kHeadersSize, 0);
  image[0] = 'M';
  image[1] = 'Z';
  put32(image, 0x3C, kPeOffset);
  std::memcpy(&image[kPeOffset], "PE\0\0", 4);
  const std::size_t coff = kPeOffset + 4;
  image[coff] = pe32Plus ? 0x64 : 0x4C;
  image[coff + 1] = pe32Plus ? 0x86 : 0x01;
  image[coff + 16] = static_cast<std::uint8_t>(optionalSize);
  const std::size_t optional = coff + 20;
  image[optional] = 0x0B;
  image[optional + 1] = pe32Plus ? 0x02 : 0x01;
  put32(image, optional + 32, sectionAlignment);
  put32(image, optional + 36, kFileAlignment);
  put32(image, optional + 60, kHeadersSize);  // SizeOfHeaders
  const std::size_t count = optional + (pe32Plus ? 108 : 92);
  put32(image, count, 16);
  auto directory = [&](std::size_t index, std::uint32_t rva, std::uint32_t size) {
    put32(image, count + 4 + 8 * index, rva);
    put32(image, count + 8 + 8 * index, size);
  };

  // The sections in order, each at the next aligned place in memory and, if
  // it has raw data, in the file.
  std::size_t header = optional + optionalSize;
  std::uint32_t rva = kFirstRva;
  std::uint32_t initialized = 0;
  auto section = [&](const std::string& name, const std::vector<std::uint8_t>& body,
                     std::uint32_t virtualSize, std::uint32_t characteristics) {
    std::memcpy(&image[header], name.c_str(), std::min<std::size_t>(name.size(), 8));
    put32(image, header + 8, virtualSize);
    put32(image, header + 12, rva);
    put32(image, header + 36, characteristics);
    if (name == ".bss") {
      put32(image, header + 20, 0xFFFFF000u);
    } else {
      image.resize(alignUp(image.size(), kFileAlignment));
      put32(image, header + 16, static_cast<std::uint32_t>(body.size()));
      put32(image, header + 20, static_cast<std::uint32_t>(image.size()));
      image.insert(image.end(), body.begin(), body.end());
      if (characteristics & 0x40) initialized += static_cast<std::uint32_t>(body.size());
    }
    const std::uint32_t start = rva;
    const std::size_t inMemory = virtualSize ? virtualSize : body.size();
    rva = static_cast<std::uint32_t>(alignUp(rva + inMemory, sectionAlignment));
    header += 40;
    return start;
  };
  for (const std::string& name : layout.sectionsBefore) {
    section(name, std::vector<std::uint8_t>(16, 0xAB), 16,
            name == ".bss" ? 0xC0000080 : 0x60000020);
  }
  const std::uint32_t resourceRva = rva;
  for (std::size_t k = 0; k < leafEntries.size(); ++k) {
    const std::vector<std::uint8_t>& data = resources[leafEntries[k].second].data;
    rsrc.resize(alignUp(rsrc.size(), 8));
    put32(rsrc, dataEntries[k], resourceRva + static_cast<std::uint32_t>(rsrc.size()));
    put32(rsrc, dataEntries[k] + 4, static_cast<std::uint32_t>(data.size()));
    rsrc.insert(rsrc.end(), data.begin(), data.end());
  }
  rsrc.resize(alignUp(rsrc.size(), 8));
  const std::uint32_t treeSize = static_cast<std::uint32_t>(rsrc.size());
  rsrc.resize(alignUp(rsrc.size(), kFileAlignment));
  section(".rsrc", rsrc, layout.resourceVirtualSize.value_or(treeSize),
          layout.resourceCharacteristics);
  directory(2, resourceRva, treeSize);
  for (const std::string& name : layout.sectionsAfter) {
    std::vector<std::uint8_t> body(16, 0xAB);
    if (name == ".reloc") {
      body.assign(16, 0);
      put32(body, 0, layout.relocationTarget & ~0xFFFu);  // page
      put32(body, 4, 12);                                 // block size: one entry and padding
      body[8] = static_cast<std::uint8_t>(layout.relocationTarget);
      body[9] = static_cast<std::uint8_t>(0x30 | (layout.relocationTarget >> 8 & 0xF));
      directory(5, rva, 12);
    }
    section(name, body, 16, 0x42000040);
  }
  image[coff + 2] = static_cast<std::uint8_t>(1 + layout.sectionsBefore.size() +
                                              layout.sectionsAfter.size());
  put32(image, optional + 8, initialized);  // SizeOfInitializedData
  put32(image, optional + 56, rva);         // SizeOfImage
  if (!layout.certificate.empty()) {
    image.resize(layout.certificateAt ? layout.certificateAt : alignUp(image.size(), 8));
    directory(4, static_cast<std::uint32_t>(image.size()),
              static_cast<std::uint32_t>(layout.certificate.size()));
    image.insert(image.end(), layout.certificate.begin(), layout.certificate.end());
  }
  for (const auto& [index, at, size] : layout.directories) directory(index, at, size);
  put32(image, optional + 64, SyntheticChecksum(image, optional + 64));
  return image;
}

}  // namespace qvx::test
