// qvxpack: builds, lists, verifies and unpacks installer payloads, and
// compresses and expands single files.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "payload/lz_expand.h"
#include "payload/payload_reader.h"
#include "payload/target_names.h"
#include "tools/qvxpack/file_io.h"
#include "tools/qvxpack/installer_builder.h"
#include "tools/qvxpack/installer_writer.h"
#include "tools/qvxpack/lz_compress.h"
#include "tools/qvxpack/payload_builder.h"
#include "tools/qvxpack/pe_image.h"
#include "tools/qvxpack/pe_resource.h"

namespace {

using qvx::kTargetCount;
using qvx::kTargetNames;
using Bytes = std::vector<std::uint8_t>;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// A payload or executable to read is never near this; it only bounds memory.
constexpr std::uint64_t kMaxInputSize = qvx::pack::kMaxFileSize;

constexpr const char* kUsage =
    "usage: qvxpack COMMAND ARGS\n"
    "\n"
    "  compress IN OUT          compress one file (mode A, no missing character)\n"
    "  expand IN OUT            expand one compressed file\n"
    "  pack -o PAYLOAD F0..F5   build a payload of the six product files, in\n"
    "                           target-name order: QVX.exe QVX.hlp QVX.cnt\n"
    "                           QvxUninstall.exe default.rex default.stg\n"
    "  build -o OUT STUB F0..F5 make an installer: the built installer STUB with\n"
    "                           a payload of the six files in place of its own;\n"
    "                           a signature of STUB is dropped (sign OUT anew)\n"
    "  list PAYLOAD             list the entries: offset, stored length,\n"
    "                           expanded size, ratio, target name\n"
    "  verify PAYLOAD F0..F5    expand every entry and compare it with its file\n"
    "  unpack PAYLOAD DIR       expand every entry into DIR under its target name\n"
    "  --help                   show this text\n"
    "\n"
    "PAYLOAD may also be a built installer (PE32 or PE32+): its resource\n"
    "RT_RCDATA 129, language 1033, is the payload.\n"
    "Outputs are written whole or not at all; the exit status is 0 on success,\n"
    "1 on failure, 2 on wrong usage.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "qvxpack: %s\n", message.c_str());
  return kExitFailure;
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "qvxpack: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

// Why a header's expanded size cannot be the size of its data stream's
// expansion, or "" when it can be.
std::string UnreachableSize(std::uint32_t expandedSize, std::size_t streamLength) {
  const std::uint64_t most = qvx::LzMaxExpandedSize(streamLength);
  if (expandedSize <= most) return "";
  return "claims an expanded size of " + std::to_string(expandedSize) + " bytes; its " +
         std::to_string(streamLength) + "-byte data stream can yield at most " +
         std::to_string(most);
}

// Checks the payload's structure: the entries the installer walks are whole,
// their streams can yield the sizes they claim, and the walk ends at the
// terminator. *count receives their number.
bool CheckStructure(const std::string& path, std::span<const std::uint8_t> payload,
                    std::size_t* count, std::string* error) {
  qvx::PayloadWalk walk(payload);
  for (; walk.HasNextEntry(); walk.Advance()) {
    const qvx::PayloadEntry& e = walk.Entry();
    std::string problem;
    if (e.kind == qvx::EntryKind::Broken && e.length > 0 && e.length < qvx::kStoredHeaderSize) {
      problem = "is " + std::to_string(e.length) + " bytes long, shorter than its " +
                std::to_string(qvx::kStoredHeaderSize) + " header bytes";
    } else if (e.kind == qvx::EntryKind::Broken) {
      problem = "runs past the end";
    } else {
      problem = UnreachableSize(e.expandedSize(), e.streamLength());
    }
    if (!problem.empty()) {
      *error = path + ": corrupt or truncated payload: entry " + std::to_string(walk.Index()) +
               " at offset " + std::to_string(e.offset) + " " + problem;
      return false;
    }
  }
  *count = walk.Index();
  return true;
}

// Reads a payload file, or the payload resource of an executable, and checks
// its structure. *payload points into *file; *count receives the number of
// entries the installer walks.
bool LoadPayload(const std::string& path, Bytes* file, std::span<const std::uint8_t>* payload,
                 std::size_t* count, std::string* error) {
  if (!qvx::pack::ReadWholeFile(path, kMaxInputSize, file, error)) return false;
  if (!qvx::pack::LooksLikeExecutable(*file)) {
    *payload = *file;
  } else if (!qvx::pack::FindResource(*file, qvx::pack::kRtRcData, qvx::pack::kPayloadResourceId,
                                      qvx::pack::kLangEnglishUs, payload, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return CheckStructure(path, *payload, count, error);
}

int Compress(const std::string& in, const std::string& out) {
  Bytes data;
  std::string error;
  if (!qvx::pack::ReadWholeFile(in, qvx::pack::kMaxFileSize, &data, &error)) return Fail(error);
  const Bytes compressed = qvx::pack::LzCompressFile(data);
  if (!qvx::pack::WriteFileAtomically(out, compressed, &error)) return Fail(error);
  return kExitOk;
}

int Expand(const std::string& in, const std::string& out) {
  Bytes data;
  Bytes expanded;
  std::string error;
  if (!qvx::pack::ReadWholeFile(in, kMaxInputSize, &data, &error)) return Fail(error);
  qvx::LzHeader header;
  if (qvx::ParseLzHeader(data, &header)) {
    const std::string problem =
        UnreachableSize(header.expandedSize, data.size() - qvx::kLzHeaderSize);
    if (!problem.empty()) return Fail(in + ": not a sound compressed file: it " + problem);
  }
  if (!qvx::pack::ExpandCompressedFile(data, &expanded)) {
    return Fail(in + ": not a sound compressed file (bad header, or corrupt or truncated data)");
  }
  if (!qvx::pack::WriteFileAtomically(out, expanded, &error)) return Fail(error);
  return kExitOk;
}

// Opens the six product files, which the installer cannot take empty.
bool OpenInputs(const std::vector<std::string>& inputs, std::vector<qvx::pack::FileReader>* files,
                std::string* error) {
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (!(*files)[i].Open(inputs[i], qvx::pack::kMaxFileSize, error)) return false;
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
bool WriteProductPayload(std::vector<qvx::pack::FileReader>& files, const std::string& output,
                         qvx::pack::ByteWriter& out, std::string* error) {
  std::vector<qvx::pack::PayloadSource> sources;
  for (qvx::pack::FileReader& file : files) sources.push_back({&file, file.size()});
  qvx::pack::ScratchFile scratch;
  return scratch.Create(output, error) && qvx::pack::WritePayload(sources, scratch, out, error);
}

int Pack(const std::string& out, const std::vector<std::string>& inputs) {
  std::vector<qvx::pack::FileReader> files(inputs.size());
  qvx::pack::AtomicFileWriter writer;
  std::string error;
  if (!OpenInputs(inputs, &files, &error)) return Fail(error);
  if (!writer.Create(out, &error)) return Fail(error);
  if (!WriteProductPayload(files, out, writer, &error)) return Fail(error);
  if (!writer.Commit()) return Fail(writer.error());
  return kExitOk;
}

int Build(const std::string& out, const std::string& stubPath,
          const std::vector<std::string>& inputs) {
  Bytes stub;
  qvx::pack::InstallerStub parsed;
  std::vector<qvx::pack::FileReader> files(inputs.size());
  qvx::pack::AtomicFileWriter writer;
  std::string error;
  // The stub and the inputs are checked before anything is compressed.
  if (!qvx::pack::ReadWholeFile(stubPath, kMaxInputSize, &stub, &error)) return Fail(error);
  if (!parsed.Parse(stub, &error)) return Fail(stubPath + ": " + error);
  if (!OpenInputs(inputs, &files, &error)) return Fail(error);
  if (!writer.Create(out, &error)) return Fail(error);
  const auto payload = [&files, &out](qvx::pack::ByteWriter& to, std::string* why) {
    return WriteProductPayload(files, out, to, why);
  };
  if (!qvx::pack::WriteInstaller(parsed, payload, writer, &error)) return Fail(error);
  if (!writer.Commit()) return Fail(writer.error());
  if (parsed.signatureDropped()) {
    std::fprintf(stderr,
                 "qvxpack: %s was signed; its signature does not cover the new payload and was "
                 "dropped: sign %s anew\n",
                 stubPath.c_str(), out.c_str());
  }
  return kExitOk;
}

int List(const std::string& path) {
  Bytes file;
  std::span<const std::uint8_t> payload;
  std::string error;
  std::size_t count = 0;
  if (!LoadPayload(path, &file, &payload, &count, &error)) return Fail(error);

  std::printf("%10s %10s %10s %7s  %s\n", "offset", "stored", "expanded", "ratio", "name");
  std::uint64_t stored = 0;
  std::uint64_t expanded = 0;
  std::size_t next = 0;
  qvx::PayloadWalk walk(payload);
  for (; walk.HasNextEntry(); walk.Advance()) {
    const qvx::PayloadEntry& e = walk.Entry();
    const double ratio = e.expandedSize() ? 100.0 * e.length / e.expandedSize() : 0.0;
    std::printf("%10zu %10u %10u %6.1f%%  %s\n", e.offset, e.length, e.expandedSize(), ratio,
                std::string(kTargetNames[walk.Index()]).c_str());
    stored += e.length;
    expanded += e.expandedSize();
    next = e.next();
  }
  std::printf("%zu entries, %llu stored bytes for %llu expanded", count,
              static_cast<unsigned long long>(stored), static_cast<unsigned long long>(expanded));
  if (qvx::EntryAt(payload, next).kind == qvx::EntryKind::End) {
    std::printf(", terminator at %zu, payload %zu bytes\n", next, payload.size());
  } else {
    std::printf("; what follows the sixth entry is never read by the installer\n");
  }
  return kExitOk;
}

int Verify(const std::string& path, const std::vector<std::string>& inputs) {
  Bytes file;
  std::span<const std::uint8_t> payload;
  std::string error;
  std::size_t count = 0;
  if (!LoadPayload(path, &file, &payload, &count, &error)) return Fail(error);
  if (count != inputs.size()) {
    return Fail(path + ": holds " + std::to_string(count) + " entries, " +
                std::to_string(inputs.size()) + " files given");
  }
  int status = kExitOk;
  qvx::PayloadWalk walk(payload);
  for (; walk.HasNextEntry(); walk.Advance()) {
    const std::string& input = inputs[walk.Index()];
    const std::string name(kTargetNames[walk.Index()]);
    Bytes expected;
    Bytes expanded;
    if (!qvx::pack::ReadWholeFile(input, qvx::pack::kMaxFileSize, &expected, &error)) {
      return Fail(error);
    }
    if (!qvx::pack::ExpandEntry(walk.Entry(), &expanded)) {
      status = Fail(path + ": entry " + std::to_string(walk.Index()) + " (" + name +
                    ") does not expand to its stated size");
    } else if (expanded != expected) {
      status = Fail(path + ": entry " + std::to_string(walk.Index()) + " (" + name +
                    ") differs from " + input);
    } else {
      std::printf("ok %s\n", name.c_str());
    }
  }
  return status;
}

int Unpack(const std::string& path, const std::string& dir) {
  Bytes file;
  std::span<const std::uint8_t> payload;
  std::string error;
  std::size_t count = 0;
  if (!LoadPayload(path, &file, &payload, &count, &error)) return Fail(error);
  // Every entry is expanded before anything is written, so that a corrupt
  // payload leaves no files at all.
  std::vector<Bytes> expanded(count);
  qvx::PayloadWalk walk(payload);
  for (; walk.HasNextEntry(); walk.Advance()) {
    if (!qvx::pack::ExpandEntry(walk.Entry(), &expanded[walk.Index()])) {
      return Fail(path + ": entry " + std::to_string(walk.Index()) +
                  " is corrupt: it does not expand to its stated size");
    }
  }
  if (!qvx::pack::CreateFolder(dir, &error)) return Fail(error);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string target = dir + "/" + std::string(kTargetNames[i]);
    if (!qvx::pack::WriteFileAtomically(target, expanded[i], &error)) return Fail(error);
  }
  return kExitOk;
}

int RunCommand(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("no command given");
  const std::string& command = args[0];
  const std::size_t operands = args.size() - 1;

  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (command == "compress" || command == "expand") {
    if (operands != 2) return Usage(command + " takes IN and OUT");
    return command == "compress" ? Compress(args[1], args[2]) : Expand(args[1], args[2]);
  }
  if (command == "pack") {
    if (operands < 2 || args[1] != "-o") return Usage("pack takes -o PAYLOAD and six files");
    const std::vector<std::string> inputs(args.begin() + 3, args.end());
    if (inputs.size() != kTargetCount) {
      return Usage("pack takes exactly six files, " + std::to_string(inputs.size()) + " given");
    }
    return Pack(args[2], inputs);
  }
  if (command == "build") {
    if (operands < 3 || args[1] != "-o") return Usage("build takes -o OUT, STUB and six files");
    const std::vector<std::string> inputs(args.begin() + 4, args.end());
    if (inputs.size() != kTargetCount) {
      return Usage("build takes exactly six files, " + std::to_string(inputs.size()) + " given");
    }
    return Build(args[2], args[3], inputs);
  }
  if (command == "list") {
    if (operands != 1) return Usage("list takes one PAYLOAD");
    return List(args[1]);
  }
  if (command == "verify") {
    const std::vector<std::string> inputs(args.begin() + std::min<std::size_t>(2, args.size()),
                                          args.end());
    if (operands < 1 || inputs.size() != kTargetCount) {
      return Usage("verify takes PAYLOAD and exactly six files");
    }
    return Verify(args[1], inputs);
  }
  if (command == "unpack") {
    if (operands != 2) return Usage("unpack takes PAYLOAD and DIR");
    return Unpack(args[1], args[2]);
  }
  return Usage("unknown command '" + command + "'");
}

// An allocation that fails ends the program with a message and exit code 1,
// not an abort. The temporary file of an output being written goes with it,
// so no output is left half written. The handler allocates nothing itself.
[[noreturn]] void OutOfMemory() {
  qvx::pack::RemovePartialOutputs();
  std::fputs("qvxpack: out of memory\n", stderr);
  std::exit(kExitFailure);
}

}  // namespace

int main(int argc, char** argv) {
  std::set_new_handler(OutOfMemory);
  return RunCommand(argc, argv);
}
