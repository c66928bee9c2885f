// Makes an installer out of a built one without a compiler: the stub's
// payload resource (RT_RCDATA 129, language 1033) replaced by a new payload.
//
// The resource section is laid out anew with the same resources, each kept
// byte for byte, and only the new payload in place of the old. Sections
// before it are untouched. A relocation section after it moves with it (its
// contents describe places in other sections, which stay where they are);
// any other section after it makes the stub unusable. The headers follow:
// section sizes and addresses, the resource and relocation directories,
// SizeOfImage, SizeOfInitializedData and the checksum. A certificate table
// (a signature) would no longer match and is dropped.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/qvxpack/version_record.h"

namespace qvx::pack {

struct BuiltInstaller {
  std::vector<std::uint8_t> image;
  bool signatureDropped = false;
};

// False, with the reason in *error, when the stub is not an executable, is
// cut short, has no payload resource, or is laid out in a way the rewrite
// cannot follow. With a version, the file and product version of the
// stub's version record are set to it as well.
bool BuildInstaller(std::span<const std::uint8_t> stub, std::span<const std::uint8_t> payload,
                    BuiltInstaller* built, std::string* error,
                    const VersionNumber* version = nullptr);

}  // namespace qvx::pack
