#include "tools/qvxpack/build_checks.h"

#include <cstdio>
#include <utility>

#include "payload/payload_reader.h"
#include "payload/target_names.h"
#include "tools/qvxpack/failure.h"
#include "tools/qvxpack/payload_builder.h"

namespace qvx::pack {
namespace {

// The slots that must hold Windows programs: the product's program and its
// uninstaller, which the shortcuts and the uninstall entry start.
constexpr std::size_t kProgramSlot = 0;
constexpr std::size_t kUninstallerSlot = 3;
constexpr std::size_t kProgramSlots[] = {kProgramSlot, kUninstallerSlot};
// A program's PE header lies in its first few hundred bytes.
constexpr std::size_t kHeaderBytes = 64 * 1024;

std::string Slot(const BuildRequest& request, std::size_t i) {
  return request.inputs[i] + " (given as " + std::string(kTargetNames[i]) + ")";
}

std::string MiB(std::uint64_t bytes) {
  return std::to_string(bytes) + " bytes (" + std::to_string(bytes >> 20) + " MiB)";
}

std::string MachineName(std::uint32_t machine) {
  if (machine == kMachineI386) return "32-bit (x86)";
  if (machine == kMachineAmd64) return "64-bit (x64)";
  char text[32];
  std::snprintf(text, sizeof text, "machine 0x%04X", static_cast<unsigned>(machine));
  return text;
}

// The slots of the program and the uninstaller given each other's file:
// QVX.exe the bytes of the stub's uninstaller, or QvxUninstall.exe those of
// its program. The stub's own product is the one vendors are most likely to
// mix up, since they take its uninstaller from it.
bool CheckNotSwapped(const BuildRequest& request, const std::vector<FileFacts>& inputs,
                     std::string* error) {
  std::vector<PayloadEntry> carried;
  for (PayloadWalk walk(request.stubPayload); walk.HasNextEntry(); walk.Advance()) {
    carried.push_back(walk.Entry());
  }
  if (carried.size() <= kUninstallerSlot || inputs.size() <= kUninstallerSlot) return true;
  const std::pair<std::size_t, std::size_t> swaps[] = {{kProgramSlot, kUninstallerSlot},
                                                       {kUninstallerSlot, kProgramSlot}};
  for (const auto& [slot, other] : swaps) {
    bool same = false;
    // Sizes first: a file of another size is no copy, and need not be read.
    if (carried[other].expandedSize() == inputs[slot].size &&
        !EntryMatchesFile(carried[other], request.inputs[slot], &same, error)) {
      return false;
    }
    if (same) {
      return Fail(error, Slot(request, slot) + ": the same bytes as the " +
                             std::string(kTargetNames[other]) + " that the stub " + request.stub +
                             " carries; are QVX.exe and QvxUninstall.exe swapped?");
    }
  }
  return true;
}

}  // namespace

bool CheckBuildRequest(const BuildRequest& request, const InstallerLimits& limits,
                       CheckedRequest* checked, std::string* error) {
  checked->warnings.clear();
  if (!request.stub.empty()) {
    if (!StatPath(request.stub, &checked->stub, error)) return false;
    if (!checked->stub.exists) return Fail(error, request.stub + ": stub: no such file");
    if (!checked->stub.regular) return Fail(error, request.stub + ": stub: not a regular file");
  }

  FileFacts output, folder;
  const std::string outputFolder = FolderOf(request.output);
  if (!StatPath(request.output, &output, error) || !StatPath(outputFolder, &folder, error)) {
    return false;
  }
  if (!folder.folder) {
    return Fail(error, request.output + ": output: its folder " + outputFolder +
                           (folder.exists ? " is not a folder" : " does not exist"));
  }
  if (output.exists && !output.regular) {
    return Fail(error, request.output + ": output: exists and is not a regular file");
  }

  std::vector<FileFacts> inputs(request.inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (!StatPath(request.inputs[i], &inputs[i], error)) return false;
    if (!inputs[i].exists) return Fail(error, Slot(request, i) + ": no such file");
    if (!inputs[i].regular) return Fail(error, Slot(request, i) + ": not a regular file");
    // The installer takes an expansion to nothing for a failure.
    if (inputs[i].size == 0) {
      return Fail(error, Slot(request, i) + ": empty file; the installer cannot install it");
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (inputs[i].SameFileAs(inputs[j])) {
        return Fail(error, Slot(request, i) + ": the same file as " + Slot(request, j) +
                               "; each of the six files must be a file of its own");
      }
    }
    if (inputs[i].SameFileAs(checked->stub)) {
      return Fail(error, Slot(request, i) + ": the same file as the stub " + request.stub);
    }
  }

  if (output.SameFileAs(checked->stub)) {
    return Fail(error, request.output + ": output: the same file as the stub " + request.stub +
                           ", which it would overwrite");
  }
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (output.SameFileAs(inputs[i])) {
      return Fail(error, request.output + ": output: the same file as " + Slot(request, i) +
                             ", which it would overwrite");
    }
  }

  for (std::size_t i : kProgramSlots) {
    if (i >= inputs.size()) continue;
    std::vector<std::uint8_t> start;
    ProgramKind kind;
    if (!ReadFileStart(request.inputs[i], kHeaderBytes, &start, error)) return false;
    if (!ReadProgramKind(start, &kind)) {
      return Fail(error, Slot(request, i) + ": not a Windows program (no MZ and PE header); " +
                             std::string(kTargetNames[i]) + " must be one. Are the six files " +
                             "in the order QVX.exe QVX.hlp QVX.cnt QvxUninstall.exe " +
                             "default.rex default.stg?");
    }
    if (kind.dll) {
      return Fail(error, Slot(request, i) + ": a DLL, not a program; " +
                             std::string(kTargetNames[i]) + " must be a program that Windows " +
                             "can start");
    }
    if (request.machine != 0 && kind.machine != request.machine) {
      checked->warnings.push_back(
          Slot(request, i) + " is a " + MachineName(kind.machine) + " program, the installer a " +
          MachineName(request.machine) +
          " one; taken, but check that it is the build to ship with this installer");
    }
  }

  checked->productSize = 0;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (inputs[i].size > limits.largestFile) {
      return Fail(error, Slot(request, i) + ": " + MiB(inputs[i].size) + "; the " +
                             limits.installer + " installer installs files of at most " +
                             MiB(limits.largestFile));
    }
    checked->productSize += inputs[i].size;
  }
  if (checked->productSize > limits.product) {
    return Fail(error, "the six files come to " + MiB(checked->productSize) + "; the " +
                           limits.installer + " installer installs products of at most " +
                           MiB(limits.product));
  }
  return CheckNotSwapped(request, inputs, error);
}

}  // namespace qvx::pack
