// Fuzz target: the payload lookup and the rewriting of an installer over any
// stub bytes never leave them, and fail with a reason or give an image that
// holds the new payload and that a second build leaves as it is. The same
// bytes as a version record: a new version fails with a reason or gives a
// record that setting the version again leaves as it is.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "tools/qvxpack/installer_builder.h"
#include "tools/qvxpack/pe_resource.h"

namespace {

std::span<const std::uint8_t> FindPayload(std::span<const std::uint8_t> image) {
  std::span<const std::uint8_t> found;
  std::string error;
  if (!qvx::pack::FindResource(image, qvx::pack::kRtRcData, qvx::pack::kPayloadResourceId,
                               qvx::pack::kLangEnglishUs, &found, &error)) {
    if (error.empty()) std::abort();
    return {};
  }
  if (found.data() < image.data() || found.data() + found.size() > image.data() + image.size()) {
    std::abort();
  }
  return found;
}

void Build(std::span<const std::uint8_t> stub, std::span<const std::uint8_t> payload,
           bool stubHasPayload) {
  qvx::pack::BuiltInstaller built;
  std::string error;
  if (!qvx::pack::BuildInstaller(stub, payload, &built, &error)) {
    if (error.empty()) std::abort();
    return;
  }
  // Build reads the tree as the lookup does, and more strictly.
  if (!stubHasPayload) std::abort();
  const std::span<const std::uint8_t> found = FindPayload(built.image);
  if (!std::equal(found.begin(), found.end(), payload.begin(), payload.end())) std::abort();
  qvx::pack::BuiltInstaller again;
  if (!qvx::pack::BuildInstaller(built.image, payload, &again, &error) ||
      again.image != built.image || again.signatureDropped) {
    std::abort();
  }
}

void SetVersion(std::span<const std::uint8_t> record) {
  const qvx::pack::VersionNumber version = {1, 22, 333, 4444};
  std::vector<std::uint8_t> once, twice;
  std::string error;
  if (!qvx::pack::SetRecordVersion(record, version, &once, &error)) {
    if (error.empty()) std::abort();
    return;
  }
  if (!qvx::pack::SetRecordVersion(once, version, &twice, &error) || twice != once) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly size bytes, so that a read past the end is caught.
  const std::vector<std::uint8_t> stub(data, data + size);
  const bool stubHasPayload = FindPayload(stub).data() != nullptr;
  // No payload, and one large enough to move a section after the resources
  // by more than a page.
  Build(stub, {}, stubHasPayload);
  const std::vector<std::uint8_t> large(5000, 0x5A);
  Build(stub, large, stubHasPayload);
  SetVersion(stub);
  return 0;
}
