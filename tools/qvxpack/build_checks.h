// What `qvxpack build` and `pack` check before they compress anything: the
// files are what they claim to be, none is given twice, the output replaces
// none of them, and the product is one the installer can install.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/qvxpack/file_io.h"
#include "tools/qvxpack/pe_image.h"

namespace qvx::pack {

// The largest product an installer can install, from its file sizes alone,
// since nothing is compressed yet. The installer holds its own image, whose
// payload is at most 9/8 of the product (literals only: one flag byte per
// eight), and a 2,000,000-byte expansion buffer, through which a larger file
// goes a bufferful at a time; its count of expanded bytes is a signed 32-bit
// number.
struct InstallerLimits {
  const char* installer;  // for messages: "32-bit" or "64-bit"
  std::uint64_t largestFile;
  std::uint64_t product;  // the six files together
  std::uint32_t machine;  // the processor its programs are built for
};

// The 32-bit installer keeps its image well within 1 GiB, half of the 2 GiB
// of addresses a process has on 32-bit Windows, where the system's DLLs,
// heaps and stack take the rest in pieces: 9/8 of 512 MiB is 576 MiB. One
// file may be the whole product.
inline constexpr InstallerLimits kInstaller32 = {"32-bit", 512u << 20, 512u << 20, kMachineI386};
// The 64-bit twin has the addresses but not a larger image: an executable
// image stays under 2 GiB, and 9/8 of 1,792 MiB leaves it 32 MiB.
inline constexpr InstallerLimits kInstaller64 = {"64-bit", 1792u << 20, 1792u << 20, kMachineAmd64};

struct BuildRequest {
  std::string output;
  std::string stub;  // empty for pack
  std::vector<std::string> inputs;
  // The processor of the installer the product goes into, or 0 when that is
  // not known (pack without --for). A program built for another is taken
  // with a warning.
  std::uint32_t machine = 0;
  // build: the payload the stub carries. Its program and its uninstaller
  // tell a QVX.exe and a QvxUninstall.exe given in each other's slot.
  std::span<const std::uint8_t> stubPayload = {};
};

struct CheckedRequest {
  FileFacts stub;                 // for build: its permission bits go to the output
  std::uint64_t productSize = 0;  // the six files together
  std::vector<std::string> warnings;
};

// Checks, in this order: the stub exists and is a regular file; the output's
// folder exists; each input exists, is a regular file, is not empty and is
// not given twice; the output is neither the stub nor an input; QVX.exe and
// QvxUninstall.exe are Windows programs, not DLLs; the product is within
// limits; QVX.exe is not the stub's uninstaller, nor QvxUninstall.exe the
// stub's program. False, with a message naming the slot and the file, at the
// first problem.
bool CheckBuildRequest(const BuildRequest& request, const InstallerLimits& limits,
                       CheckedRequest* checked, std::string* error);

}  // namespace qvx::pack
