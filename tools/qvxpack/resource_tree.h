// The resource directory of an executable as a tree that can be changed and
// laid out again.
//
// In the file it is a tree of directory tables, three levels deep (type,
// name, language), whose leaves are data entries: the RVA and size of a
// resource's bytes, its code page and a reserved word. An entry is named by
// an integer or by a string (a 16-bit length and UTF-16 units). Offsets
// inside the tree are relative to its start; data is found by RVA.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvx::pack {

struct ResourceEntry;

struct ResourceTable {
  std::uint32_t characteristics = 0;
  std::uint32_t timeDateStamp = 0;
  std::uint32_t version = 0;           // major and minor, as stored
  std::vector<ResourceEntry> entries;  // in file order: named entries first
};

struct ResourceEntry {
  bool named = false;
  std::uint32_t id = 0;                 // when not named
  std::vector<std::uint8_t> nameUnits;  // when named: the UTF-16 units as stored
  // Levels 1 and 2 lead to a table, level 3 to data.
  ResourceTable table;
  // A view, not a copy: of the bytes the tree was read from, or of whatever
  // the caller puts in; they must outlive the tree.
  std::span<const std::uint8_t> data;
  std::uint32_t codePage = 0;
  std::uint32_t reserved = 0;
};

// Reads the tree from the resource section's bytes from the tree's start
// on, which the loader maps at sectionRva. Every table, name and data entry
// must lie in these bytes, every table be reached once, and the data of every
// resource lie in them too; the leaves' data are views of them.
bool ParseResourceTree(std::span<const std::uint8_t> section, std::uint32_t sectionRva,
                       ResourceTable* root, std::string* error);

// The leaf for (type, id, language), or nullptr.
ResourceEntry* FindResourceLeaf(ResourceTable& root, std::uint32_t type, std::uint32_t id,
                                std::uint32_t language);

// Lays the tree out for a section mapped at sectionRva: the tables in
// depth-first order, the name strings, the data entries, then each
// resource's data at a multiple of 8 bytes, as the resource compiler lays
// them out. The size is a multiple of 8. False, before anything is laid
// out, when the tree would not fit in the addresses from sectionRva to 4 GiB.
bool SerializeResourceTree(const ResourceTable& root, std::uint32_t sectionRva,
                           std::vector<std::uint8_t>* laidOut);

// The same layout with the data of one leaf, `streamed`, of streamedSize
// bytes, left for the caller to write: *before receives the bytes up to
// where that data goes, *after the bytes from its end to the end of the
// layout. The leaf's own data view is not read.
bool SerializeResourceTreeAround(const ResourceTable& root, std::uint32_t sectionRva,
                                 const ResourceEntry* streamed, std::uint64_t streamedSize,
                                 std::vector<std::uint8_t>* before,
                                 std::vector<std::uint8_t>* after);

}  // namespace qvx::pack
