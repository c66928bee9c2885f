// A minimal Windows executable image with a resource section, made in memory
// for the tests of the resource lookup: headers, one ".rsrc" section, and a
// three-level resource directory (type, id, language).
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

namespace qvx::test {

struct SyntheticResource {
  std::uint32_t type;
  std::uint32_t id;
  std::uint32_t language;
  std::vector<std::uint8_t> data;
};

inline std::vector<std::uint8_t> SyntheticPe(bool pe32Plus,
                                             const std::vector<SyntheticResource>& resources) {
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
  image.insert(image.end(), rsrc.begin(), rsrc.end());
  return image;
}

}  // namespace qvx::test
