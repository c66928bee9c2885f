#include "tools/qvxpack/build_checks.h"

#include "payload/target_names.h"
#include "tools/qvxpack/failure.h"
#include "tools/qvxpack/pe_image.h"

namespace qvx::pack {
namespace {

// The slots that must hold Windows programs: the product's program and its
// uninstaller, which the shortcuts and the uninstall entry start.
constexpr std::size_t kProgramSlots[] = {0, 3};
// A program's PE header lies in its first few hundred bytes.
constexpr std::size_t kHeaderBytes = 64 * 1024;

std::string Slot(const BuildRequest& request, std::size_t i) {
  return request.inputs[i] + " (given as " + std::string(kTargetNames[i]) + ")";
}

std::string MiB(std::uint64_t bytes) {
  return std::to_string(bytes) + " bytes (" + std::to_string(bytes >> 20) + " MiB)";
}

}  // namespace

bool CheckBuildRequest(const BuildRequest& request, const InstallerLimits& limits,
                       CheckedRequest* checked, std::string* error) {
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
    if (!ReadFileStart(request.inputs[i], kHeaderBytes, &start, error)) return false;
    if (!LooksLikeExecutable(start)) {
      return Fail(error, Slot(request, i) + ": not a Windows program (no MZ and PE header); " +
                             std::string(kTargetNames[i]) + " must be one. Are the six files " +
                             "in the order QVX.exe QVX.hlp QVX.cnt QvxUninstall.exe " +
                             "default.rex default.stg?");
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
  return true;
}

}  // namespace qvx::pack
