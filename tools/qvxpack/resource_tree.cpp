#include "tools/qvxpack/resource_tree.h"

#include <algorithm>
#include <map>
#include <set>

#include "tools/qvxpack/byte_fields.h"
#include "tools/qvxpack/failure.h"

namespace qvx::pack {
namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;  // subdirectory or string name
constexpr std::size_t kTableHeaderSize = 16;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;
constexpr int kLevels = 3;  // type, name, language
constexpr std::uint32_t kDataAlignment = 8;
constexpr std::uint64_t kMaxRva = 0xFFFFFFFFu;

class TreeReader {
 public:
  TreeReader(std::span<const std::uint8_t> section, std::uint32_t sectionRva)
      : section_(section), sectionRva_(sectionRva) {}

  bool ReadTable(std::size_t offset, int level, ResourceTable* table) {
    std::uint32_t named = 0, ids = 0;
    if (!tables_.insert(offset).second) return Fail(&error_, "a resource table is reached twice");
    if (!ReadField(section_, offset, 4, &table->characteristics) ||
        !ReadField(section_, offset + 4, 4, &table->timeDateStamp) ||
        !ReadField(section_, offset + 8, 4, &table->version) ||
        !ReadField(section_, offset + 12, 2, &named) ||
        !ReadField(section_, offset + 14, 2, &ids) ||
        !HasBytes(section_, offset + kTableHeaderSize, kEntrySize * (named + ids))) {
      return Fail(&error_, "a resource table lies outside the resource section");
    }
    table->entries.resize(named + ids);
    for (std::uint32_t i = 0; i < named + ids; ++i) {
      const std::size_t at = offset + kTableHeaderSize + kEntrySize * i;
      std::uint32_t name = 0, target = 0;
      ReadField(section_, at, 4, &name);
      ReadField(section_, at + 4, 4, &target);
      ResourceEntry& entry = table->entries[i];
      if (!ReadName(name, &entry)) return false;
      const bool subdirectory = (target & kHighBit) != 0;
      if (subdirectory != (level < kLevels)) {
        return Fail(&error_, "malformed resource directory: it is not three levels deep");
      }
      if (subdirectory ? !ReadTable(target & ~kHighBit, level + 1, &entry.table)
                       : !ReadData(target, &entry)) {
        return false;
      }
    }
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  bool ReadName(std::uint32_t name, ResourceEntry* entry) {
    entry->named = (name & kHighBit) != 0;
    if (!entry->named) {
      entry->id = name;
      return true;
    }
    const std::size_t at = name & ~kHighBit;
    std::uint32_t units = 0;
    if (!ReadField(section_, at, 2, &units) || !HasBytes(section_, at + 2, 2 * units)) {
      return Fail(&error_, "a resource name lies outside the resource section");
    }
    entry->nameUnits.assign(section_.begin() + at + 2, section_.begin() + at + 2 + 2 * units);
    return true;
  }

  bool ReadData(std::size_t offset, ResourceEntry* entry) {
    std::uint32_t rva = 0, size = 0;
    if (!dataEntries_.insert(offset).second)
      return Fail(&error_, "resource data is shared by two entries");
    if (!ReadField(section_, offset, 4, &rva) || !ReadField(section_, offset + 4, 4, &size) ||
        !ReadField(section_, offset + 8, 4, &entry->codePage) ||
        !ReadField(section_, offset + 12, 4, &entry->reserved)) {
      return Fail(&error_, "a resource data entry lies outside the resource section");
    }
    if (rva < sectionRva_ || !HasBytes(section_, rva - sectionRva_, size)) {
      return Fail(&error_, "a resource's data lies outside the resource section");
    }
    entry->data = section_.subspan(rva - sectionRva_, size);
    return true;
  }

  std::span<const std::uint8_t> section_;
  std::uint32_t sectionRva_;
  std::set<std::size_t> tables_;
  std::set<std::size_t> dataEntries_;
  std::string error_;
};

// The parts of the tree in the order they are laid out: a depth-first walk.
struct Parts {
  struct Table {
    const ResourceTable* table;
    int level;
  };
  std::vector<Table> tables;
  std::vector<const ResourceEntry*> names;
  std::vector<const ResourceEntry*> leaves;

  void Gather(const ResourceTable& table, int level) {
    tables.push_back({&table, level});
    for (const ResourceEntry& e : table.entries) {
      if (e.named) names.push_back(&e);
      if (level < kLevels) {
        Gather(e.table, level + 1);
      } else {
        leaves.push_back(&e);
      }
    }
  }
};

ResourceEntry* FindById(std::vector<ResourceEntry>& entries, std::uint32_t id) {
  for (ResourceEntry& e : entries) {
    if (!e.named && e.id == id) return &e;
  }
  return nullptr;
}

}  // namespace

bool ParseResourceTree(std::span<const std::uint8_t> section, std::uint32_t sectionRva,
                       ResourceTable* root, std::string* error) {
  TreeReader reader(section, sectionRva);
  if (!reader.ReadTable(0, 1, root)) {
    *error = reader.error();
    return false;
  }
  return true;
}

ResourceEntry* FindResourceLeaf(ResourceTable& root, std::uint32_t type, std::uint32_t id,
                                std::uint32_t language) {
  ResourceEntry* typeEntry = FindById(root.entries, type);
  ResourceEntry* idEntry = typeEntry ? FindById(typeEntry->table.entries, id) : nullptr;
  return idEntry ? FindById(idEntry->table.entries, language) : nullptr;
}

bool SerializeResourceTree(const ResourceTable& root, std::uint32_t sectionRva,
                           std::vector<std::uint8_t>* laidOut) {
  std::vector<std::uint8_t> none;
  return SerializeResourceTreeAround(root, sectionRva, nullptr, 0, laidOut, &none);
}

bool SerializeResourceTreeAround(const ResourceTable& root, std::uint32_t sectionRva,
                                 const ResourceEntry* streamed, std::uint64_t streamedSize,
                                 std::vector<std::uint8_t>* before,
                                 std::vector<std::uint8_t>* after) {
  Parts parts;
  parts.Gather(root, 1);
  auto sizeOf = [&](const ResourceEntry* e) -> std::uint64_t {
    return e == streamed ? streamedSize : e->data.size();
  };
  // Where each table, name, data entry and resource's data goes.
  std::map<const ResourceTable*, std::size_t> tableAt;
  std::map<const ResourceEntry*, std::size_t> nameAt, dataEntryAt, dataAt;
  std::uint64_t end = 0;
  for (const Parts::Table& t : parts.tables) {
    tableAt[t.table] = end;
    end += kTableHeaderSize + kEntrySize * t.table->entries.size();
  }
  for (const ResourceEntry* e : parts.names) {
    nameAt[e] = end;
    end += 2 + e->nameUnits.size();
  }
  end = AlignUp(end, kDataAlignment);
  for (const ResourceEntry* e : parts.leaves) {
    dataEntryAt[e] = end;
    end += kDataEntrySize;
  }
  for (const ResourceEntry* e : parts.leaves) {
    dataAt[e] = AlignUp(end, kDataAlignment);
    end = dataAt[e] + sizeOf(e);
  }
  // Checked before the bytes are allocated: the leaves of a stub may all
  // view the same data, so that a few megabytes ask for terabytes.
  end = AlignUp(end, kDataAlignment);
  if (end > kMaxRva - sectionRva) return false;

  // The streamed data's bytes are left out: what comes before them goes to
  // *before, what follows them to *after. Tables, names and data entries
  // all lie before any resource's data.
  const std::uint64_t split = streamed ? dataAt[streamed] : end;
  const std::uint64_t resume = streamed ? split + streamedSize : end;
  before->assign(static_cast<std::size_t>(split), 0);
  after->assign(static_cast<std::size_t>(end - resume), 0);
  std::vector<std::uint8_t>& out = *before;
  auto put = [&out](std::size_t offset, std::size_t value) {
    WriteField(out, offset, 4, static_cast<std::uint32_t>(value));
  };
  for (const auto& [t, level] : parts.tables) {
    const std::size_t table = tableAt[t];
    std::size_t named = 0;
    for (const ResourceEntry& e : t->entries) named += e.named;
    put(table, t->characteristics);
    put(table + 4, t->timeDateStamp);
    put(table + 8, t->version);
    WriteField(out, table + 12, 2, static_cast<std::uint32_t>(named));
    WriteField(out, table + 14, 2, static_cast<std::uint32_t>(t->entries.size() - named));
    for (std::size_t i = 0; i < t->entries.size(); ++i) {
      const ResourceEntry& e = t->entries[i];
      const std::size_t entry = table + kTableHeaderSize + kEntrySize * i;
      put(entry, e.named ? kHighBit | nameAt[&e] : e.id);
      put(entry + 4, level < kLevels ? kHighBit | tableAt[&e.table] : dataEntryAt[&e]);
    }
  }
  for (const ResourceEntry* e : parts.names) {
    WriteField(out, nameAt[e], 2, static_cast<std::uint32_t>(e->nameUnits.size() / 2));
    std::copy(e->nameUnits.begin(), e->nameUnits.end(), out.begin() + nameAt[e] + 2);
  }
  for (const ResourceEntry* e : parts.leaves) {
    put(dataEntryAt[e], sectionRva + dataAt[e]);
    put(dataEntryAt[e] + 4, static_cast<std::size_t>(sizeOf(e)));
    put(dataEntryAt[e] + 8, e->codePage);
    put(dataEntryAt[e] + 12, e->reserved);
    // An empty leaf may share its place with the streamed data's start.
    if (e == streamed || e->data.empty()) continue;
    std::copy(e->data.begin(), e->data.end(),
              dataAt[e] < split ? out.begin() + dataAt[e] : after->begin() + (dataAt[e] - resume));
  }
  return true;
}

}  // namespace qvx::pack
