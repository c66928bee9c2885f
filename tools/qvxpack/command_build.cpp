// build and pack: the six product files compressed into a payload, written
// alone or stamped into a built installer.
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "payload/target_names.h"
#include "tools/qvxpack/build_checks.h"
#include "tools/qvxpack/commands.h"
#include "tools/qvxpack/file_io.h"
#include "tools/qvxpack/installed_stub.h"
#include "tools/qvxpack/installer_builder.h"
#include "tools/qvxpack/installer_writer.h"
#include "tools/qvxpack/payload_builder.h"
#include "tools/qvxpack/pe_resource.h"

namespace qvx::pack {
namespace {

// Products above this size show which file is being compressed, on a
// terminal.
constexpr std::uint64_t kProgressFrom = 4u << 20;

// Redraws one line on standard error: the file being compressed and how
// much of the product is done.
class Progress {
 public:
  explicit Progress(const std::vector<FileReader>& files) : files_(files) {
    for (const FileReader& file : files) total_ += file.size();
    shown_ = total_ > kProgressFrom && ErrorsGoToTerminal();
  }
  ~Progress() {
    if (shown_) std::fprintf(stderr, "\r%79s\r", "");
  }
  void Starting(std::size_t i) {
    if (!shown_) return;
    std::fprintf(stderr, "\rqvxpack: compressing %s, file %zu of %zu (%llu of %llu MiB done)",
                 std::string(kTargetNames[i]).c_str(), i + 1, files_.size(),
                 static_cast<unsigned long long>(done_ >> 20),
                 static_cast<unsigned long long>(total_ >> 20));
    std::fflush(stderr);
    done_ += files_[i].size();
  }

 private:
  const std::vector<FileReader>& files_;
  std::uint64_t total_ = 0;
  std::uint64_t done_ = 0;
  bool shown_ = false;
};

// Opens the six product files, which the installer cannot take empty.
bool OpenInputs(const std::vector<std::string>& inputs, std::vector<FileReader>* files,
                std::string* error) {
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (!(*files)[i].Open(inputs[i], kMaxFileSize, error)) return false;
    // The installer takes an expansion to nothing for a failure.
    if ((*files)[i].size() == 0) {
      *error = inputs[i] + ": empty file; the installer cannot install it";
      return false;
    }
  }
  return true;
}

// Compresses the files one after the other into a payload written to out;
// only one file's parse is held in memory at a time, its match distances in
// a scratch file beside the output.
bool WriteProductPayload(std::vector<FileReader>& files, const std::string& output, ByteWriter& out,
                         std::string* error) {
  std::vector<PayloadSource> sources;
  for (FileReader& file : files) sources.push_back({&file, file.size(), file.path()});
  Progress progress(files);
  ScratchFile scratch;
  return scratch.Create(output, error) &&
         WritePayload(sources, scratch, out, error, [&](std::size_t i) { progress.Starting(i); });
}

// Passes bytes on and counts them.
class CountingWriter : public ByteWriter {
 public:
  CountingWriter(ByteWriter& out, std::uint64_t* count) : out_(out), count_(count) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    *count_ += bytes.size();
    return out_.Write(bytes);
  }
  const std::string& error() const override { return out_.error(); }

 private:
  ByteWriter& out_;
  std::uint64_t* count_;
};

// A stub the rewrite cannot take: what the vendor can do about it comes
// first, then why.
std::string StubRefused(const std::string& stub, const std::string& why) {
  return "use a QvxSetup.exe as its build leaves it (dist/QvxSetup.exe, dist/win64/QvxSetup.exe), "
         "not one changed since by another tool: " +
         stub + " cannot be stamped: " + why;
}

// One line for the vendor's log: what was written and how well it packed.
void Summary(const std::string& out, std::uint64_t size, std::uint64_t product,
             std::uint64_t payload) {
  std::printf("%s: %llu bytes; product %llu bytes, payload %llu bytes (%.1f%%)\n", out.c_str(),
              static_cast<unsigned long long>(size), static_cast<unsigned long long>(product),
              static_cast<unsigned long long>(payload),
              product ? 100.0 * static_cast<double>(payload) / static_cast<double>(product) : 0.0);
}

// The installer installed with qvxpack, for a build given no stub.
bool FindInstalledStub(std::string* path, std::string* error) {
  FileFacts facts;
  if (!InstalledStubPath(path, error) || !StatPath(*path, &facts, error)) return false;
  if (facts.exists) return true;
  *error = "no STUB given, and no installer is installed at " + *path +
           ": give the installer to stamp before the six files";
  return false;
}

}  // namespace

int Pack(const std::string& out, const std::vector<std::string>& inputs,
         const InstallerLimits* limits) {
  std::vector<FileReader> files(inputs.size());
  AtomicFileWriter writer;
  std::string error;
  // Without --for, a payload may go into either installer: the 64-bit limits
  // hold, and the vendor hears when the shipping 32-bit one could not
  // install it.
  // Without a stub there is no product to tell swapped programs by; the
  // processor is known only from --for.
  CheckedRequest checked;
  if (!CheckBuildRequest({out, "", inputs, limits ? limits->machine : 0},
                         limits ? *limits : kInstaller64, &checked, &error)) {
    return Report(error);
  }
  for (const std::string& warning : checked.warnings) Warn(warning);
  CheckedRequest for32;
  if (!limits && !CheckBuildRequest({out, "", inputs}, kInstaller32, &for32, &error)) {
    Warn("only a 64-bit installer can carry this payload: " + error);
  }
  if (!OpenInputs(inputs, &files, &error)) return Report(error);
  if (!writer.Create(out, &error)) return Report(error);
  std::uint64_t size = 0;
  CountingWriter counted(writer, &size);
  if (!WriteProductPayload(files, out, counted, &error)) return Report(error);
  if (!writer.Commit()) return Report(writer.error());
  Summary(out, size, checked.productSize, size);
  return kExitOk;
}

int Build(const std::string& out, const std::string& givenStub,
          const std::vector<std::string>& inputs, const VersionNumber* version) {
  std::vector<std::uint8_t> stub;
  InstallerStub parsed;
  std::vector<FileReader> files(inputs.size());
  AtomicFileWriter writer;
  std::string error;
  std::string stubPath = givenStub;
  if (stubPath.empty() && !FindInstalledStub(&stubPath, &error)) return Report(error);
  // The stub is read and laid out first, around an empty payload, so that a
  // file that is no installer of ours, or one the rewrite cannot follow, is
  // refused before anything is compressed.
  if (!ReadWholeFile(stubPath, kMaxInputSize, &stub, &error)) return Report(error);
  std::vector<std::uint8_t> head, tail;
  if (!parsed.Parse(stub, &error)) return Report(StubRefused(stubPath, error));
  if (version && !parsed.SetVersion(*version, &error)) {
    return Report(stubPath + ": --product-version cannot be set: " + error);
  }
  if (!parsed.LayOut(4, &head, &tail, &error)) return Report(StubRefused(stubPath, error));
  std::span<const std::uint8_t> carried;
  std::string noPayload;
  FindResource(stub, kRtRcData, kPayloadResourceId, kLangEnglishUs, &carried, &noPayload);
  const InstallerLimits& limits = parsed.pe32Plus() ? kInstaller64 : kInstaller32;
  CheckedRequest checked;
  if (!CheckBuildRequest({out, stubPath, inputs, limits.machine, carried}, limits, &checked,
                         &error)) {
    return Report(error);
  }
  for (const std::string& warning : checked.warnings) Warn(warning);
  if (!OpenInputs(inputs, &files, &error)) return Report(error);
  if (!writer.Create(out, &error, checked.stub.mode)) return Report(error);
  std::uint64_t payloadSize = 0;
  const auto payload = [&](ByteWriter& to, std::string* why) {
    CountingWriter counted(to, &payloadSize);
    return WriteProductPayload(files, out, counted, why);
  };
  if (!WriteInstaller(parsed, payload, writer, &error)) return Report(error);
  if (!writer.Commit()) return Report(writer.error());
  FileFacts written;
  if (!StatPath(out, &written, &error)) return Report(error);
  Summary(out, written.size, checked.productSize, payloadSize);
  if (parsed.signatureDropped()) {
    std::fprintf(stderr,
                 "qvxpack: %s was signed; its signature does not cover the new payload and was "
                 "dropped: sign %s anew\n",
                 stubPath.c_str(), out.c_str());
  }
  return kExitOk;
}

}  // namespace qvx::pack
