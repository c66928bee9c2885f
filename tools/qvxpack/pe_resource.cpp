#include "tools/qvxpack/pe_resource.h"

namespace qvx::pack {

bool ReadResourceTree(std::span<const std::uint8_t> file, const PeLayout& pe, ResourceTable* root,
                      std::size_t* sectionIndex, std::string* error) {
  const DataDirectory* directory = pe.Directory(kResourceDirectory);
  if (!directory) {
    *error = "the executable has no resources";
    return false;
  }
  const std::size_t r = pe.SectionIndexOf(directory->rva);
  if (r == pe.sections.size()) {
    *error = "the resource directory lies in no section";
    return false;
  }
  // ParsePeLayout made sure that the section's raw data lies in the file.
  const PeSection& section = pe.sections[r];
  const std::uint32_t start = directory->rva - section.virtualAddress;
  if (start >= section.mappedFileSize()) {
    *error = "the resource directory lies past the data of section " + section.name;
    return false;
  }
  const auto tree =
      file.subspan(std::size_t{section.rawOffset} + start, section.mappedFileSize() - start);
  if (!ParseResourceTree(tree, directory->rva, root, error)) return false;
  *sectionIndex = r;
  return true;
}

bool FindResource(std::span<const std::uint8_t> file, std::uint32_t type, std::uint32_t id,
                  std::uint32_t language, std::span<const std::uint8_t>* data, std::string* error) {
  PeLayout pe;
  ResourceTable root;
  std::size_t sectionIndex = 0;
  if (!ParsePeLayout(file, &pe, error) ||
      !ReadResourceTree(file, pe, &root, &sectionIndex, error)) {
    return false;
  }
  const ResourceEntry* leaf = FindResourceLeaf(root, type, id, language);
  if (!leaf) {
    *error = "no resource type " + std::to_string(type) + ", id " + std::to_string(id) +
             ", language " + std::to_string(language);
    return false;
  }
  *data = leaf->data;
  return true;
}

}  // namespace qvx::pack
