// A minimal Windows executable image with a resource section, made in memory
// for the tests of the resource lookup and rewriting: headers, a ".rsrc"
// section with a three-level resource directory (type, id, language), and
// optionally sections after it and a certificate table at the end.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace qvx::test {

struct SyntheticResource {
  std::uint32_t type;
  std::uint32_t id;
  std::uint32_t language;
  std::vector<std::uint8_t> data;
};

struct SyntheticLayout {
  bool pe32Plus = false;
  // Sections after ".rsrc", each 16 bytes. ".reloc" holds one block of base
  // relocations, for the place at relocationTarget, and the base
  // relocation directory points at it; others hold 0xAB bytes.
  std::vector<std::string> sectionsAfter;
  std::uint32_t relocationTarget = 0x100;
  // When not empty: appended at a multiple of 8, and the security directory
  // points at it, as a signing tool leaves it.
  std::vector<std::uint8_t> certificate;
};

inline std::vector<std::uint8_t> SyntheticPe(const SyntheticLayout& layout,
                                             const std::vector<SyntheticResource>& resources);

inline std::vector<std::uint8_t> SyntheticPe(bool pe32Plus,
                                             const std::vector<SyntheticResource>& resources) {
  return SyntheticPe(SyntheticLayout{.pe32Plus = pe32Plus}, resources);
}

inline std::vector<std::uint8_t> SyntheticPe(const SyntheticLayout& layout,
                                             const std::vector<SyntheticResource>& resources) {
  const bool pe32Plus = layout.pe32Plus;
  using Tree = std::map<std::uint32_t, std::map<std::uint32_t, std::map<std::uint32_t, int>>>;
  Tree tree;
  for (int i = 0; i < static_cast<int>(resources.size()); ++i) {
    tree[resources[i].type][resources[i].id][resources[i].language] = i;
  }
  std::vector<std::uint8_t> rsrc;
  auto put32 = [](std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
  };
  auto table = [&](std::size_t entries) {
    const std::size_t at = rsrc.size();
    rsrc.resize(at + 16 + 8 * entries);
    rsrc[at + 14] = static_cast<std::uint8_t>(entries);  // id entries
    return at;
  };
  constexpr std::uint32_t kSectionRva = 0x1000;
  constexpr std::uint32_t kSub = 0x80000000u;
  struct Leaf {
    std::size_t dataEntry;
    int resource;
  };
  std::vector<Leaf> leaves;
  const std::size_t root = table(tree.size());
  std::size_t i = 0;
  for (const auto& [type, ids] : tree) {
    const std::size_t t = table(ids.size());
    put32(rsrc, root + 16 + 8 * i, type);
    put32(rsrc, root + 20 + 8 * i, kSub | static_cast<std::uint32_t>(t));
    std::size_t j = 0;
    for (const auto& [id, languages] : ids) {
      const std::size_t n = table(languages.size());
      put32(rsrc, t + 16 + 8 * j, id);
      put32(rsrc, t + 20 + 8 * j, kSub | static_cast<std::uint32_t>(n));
      std::size_t k = 0;
      for (const auto& [language, index] : languages) {
        const std::size_t entry = rsrc.size();
        rsrc.resize(entry + 16);
        put32(rsrc, n + 16 + 8 * k, language);
        put32(rsrc, n + 20 + 8 * k, static_cast<std::uint32_t>(entry));
        leaves.push_back({entry, index});
        ++k;
      }
      ++j;
    }
    ++i;
  }
  for (const Leaf& leaf : leaves) {
    const std::vector<std::uint8_t>& data = resources[leaf.resource].data;
    put32(rsrc, leaf.dataEntry, kSectionRva + static_cast<std::uint32_t>(rsrc.size()));
    put32(rsrc, leaf.dataEntry + 4, static_cast<std::uint32_t>(data.size()));
    rsrc.insert(rsrc.end(), data.begin(), data.end());
  }

  constexpr std::size_t kPeOffset = 0x40;
  constexpr std::size_t kRawOffset = 0x200;
  const std::size_t optionalSize = pe32Plus ? 240 : 224;
  std::vector<std::uint8_t> image(kRawOffset, 0);
  image[0] = 'M';
  image[1] = 'Z';
  put32(image, 0x3C, kPeOffset);
  std::memcpy(&image[kPeOffset], "PE\0\0", 4);
  const std::size_t coff = kPeOffset + 4;
  image[coff] = pe32Plus ? 0x64 : 0x4C;
  image[coff + 1] = pe32Plus ? 0x86 : 0x01;
  image[coff + 2] = 1;  // one section
  image[coff + 16] = static_cast<std::uint8_t>(optionalSize);
  const std::size_t optional = coff + 20;
  image[optional] = 0x0B;
  image[optional + 1] = pe32Plus ? 0x02 : 0x01;
  const std::size_t count = optional + (pe32Plus ? 108 : 92);
  put32(image, count, 16);
  put32(image, count + 4 + 8 * 2, kSectionRva);
  put32(image, count + 8 + 8 * 2, static_cast<std::uint32_t>(rsrc.size()));
  const std::size_t section = optional + optionalSize;
  std::memcpy(&image[section], ".rsrc\0\0\0", 8);
  put32(image, section + 8, static_cast<std::uint32_t>(rsrc.size()));
  put32(image, section + 12, kSectionRva);
  put32(image, section + 16, static_cast<std::uint32_t>(rsrc.size()));
  put32(image, section + 20, kRawOffset);
  put32(image, section + 36, 0x40000040);  // initialized data, readable
  image.insert(image.end(), rsrc.begin(), rsrc.end());

  // Alignments 0x1000 in memory and 0x200 in the file.
  auto alignUp = [](std::size_t v, std::size_t a) { return (v + a - 1) / a * a; };
  put32(image, optional + 32, 0x1000);
  put32(image, optional + 36, 0x200);
  put32(image, optional + 60, kRawOffset);  // SizeOfHeaders
  std::uint32_t rva = static_cast<std::uint32_t>(alignUp(kSectionRva + rsrc.size(), 0x1000));
  for (std::size_t k = 0; k < layout.sectionsAfter.size(); ++k) {
    std::vector<std::uint8_t> body(16, 0xAB);
    const std::string& name = layout.sectionsAfter[k];
    if (name == ".reloc") {
      body.assign(16, 0);
      put32(body, 0, layout.relocationTarget & ~0xFFFu);  // page
      put32(body, 4, 12);                                 // block size: one entry and padding
      body[8] = static_cast<std::uint8_t>(layout.relocationTarget);
      body[9] = static_cast<std::uint8_t>(0x30 | (layout.relocationTarget >> 8 & 0xF));
      put32(image, count + 4 + 8 * 5, rva);
      put32(image, count + 8 + 8 * 5, 12);
    }
    image.resize(alignUp(image.size(), 0x200));
    const std::size_t header = section + 40 * (k + 1);
    std::memcpy(&image[header], name.c_str(), name.size());
    put32(image, header + 8, 16);
    put32(image, header + 12, rva);
    put32(image, header + 16, 16);
    put32(image, header + 20, static_cast<std::uint32_t>(image.size()));
    put32(image, header + 36, 0x42000040);
    image.insert(image.end(), body.begin(), body.end());
    rva += 0x1000;
  }
  image[coff + 2] = static_cast<std::uint8_t>(1 + layout.sectionsAfter.size());
  put32(image, optional + 56, rva);  // SizeOfImage
  if (!layout.certificate.empty()) {
    image.resize(alignUp(image.size(), 8));
    put32(image, count + 4 + 8 * 4, static_cast<std::uint32_t>(image.size()));
    put32(image, count + 8 + 8 * 4, static_cast<std::uint32_t>(layout.certificate.size()));
    image.insert(image.end(), layout.certificate.begin(), layout.certificate.end());
  }
  return image;
}

}  // namespace qvx::test
