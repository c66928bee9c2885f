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

#include "tools/qvxpack/pe_image.h"
#include "tools/qvxpack/resource_tree.h"
#include "tools/qvxpack/version_record.h"

namespace qvx::pack {

// A stub taken apart and checked, ready to be laid out around a payload of
// any size without holding the payload: the layout depends only on its size.
class InstallerStub {
 public:
  InstallerStub() = default;
  InstallerStub(const InstallerStub&) = delete;
  InstallerStub& operator=(const InstallerStub&) = delete;

  // False, with the reason in *error, when the stub is not an executable, is
  // cut short, has no payload resource, or is laid out in a way the rewrite
  // cannot follow. The stub's bytes must outlive this object.
  bool Parse(std::span<const std::uint8_t> stub, std::string* error);

  // Sets the file and product version of the stub's version record. False
  // when it has none, or one that cannot be read.
  bool SetVersion(const VersionNumber& version, std::string* error);

  // The installer's bytes before the payload (*head, from the start of the
  // file) and after it (*tail, to the end of the file) for a payload of
  // payloadSize bytes. The head's checksum field is 0: the caller sums the
  // whole file and puts the checksum there. False when the payload would not
  // fit an executable.
  bool LayOut(std::uint64_t payloadSize, std::vector<std::uint8_t>* head,
              std::vector<std::uint8_t>* tail, std::string* error) const;

  std::size_t checksumField() const { return pe_.checksumField; }
  bool pe32Plus() const { return pe_.pe32Plus; }
  // True when the stub was signed: its certificate table is left out.
  bool signatureDropped() const { return signature_; }

 private:
  std::span<const std::uint8_t> stub_;
  PeLayout pe_;
  ResourceTable root_;
  std::size_t resourceIndex_ = 0;
  ResourceEntry* payloadLeaf_ = nullptr;  // in root_
  std::vector<std::uint8_t> versionRecord_;  // the version leaf views it
  bool signature_ = false;
};

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
