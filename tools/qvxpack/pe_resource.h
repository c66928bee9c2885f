// Finds the resources of a Windows executable file (PE32 or PE32+) held in
// memory: for reading the payload out of a built installer and for
// rewriting it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "tools/qvxpack/pe_image.h"
#include "tools/qvxpack/resource_tree.h"

namespace qvx::pack {

inline constexpr std::uint32_t kRtRcData = 10;
inline constexpr std::uint32_t kPayloadResourceId = 129;
inline constexpr std::uint32_t kLangEnglishUs = 1033;

// The resource tree of an executable whose headers are pe, and the index of
// the section that holds it, or false with the reason in *error. The tree
// starts where the resource directory points, which need not be the start
// of the section; its data are views of file.
bool ReadResourceTree(std::span<const std::uint8_t> file, const PeLayout& pe, ResourceTable* root,
                      std::size_t* sectionIndex, std::string* error);

// The bytes of resource (type, id, language), or false with the reason in
// *error. Every offset of the file is checked against its size.
bool FindResource(std::span<const std::uint8_t> file, std::uint32_t type, std::uint32_t id,
                  std::uint32_t language, std::span<const std::uint8_t>* data, std::string* error);

}  // namespace qvx::pack
