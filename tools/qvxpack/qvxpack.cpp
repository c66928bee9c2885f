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
#include "payload/payload_check.h"
#include "payload/payload_reader.h"
#include "payload/target_names.h"
#include "tools/qvxpack/build_checks.h"
#include "tools/qvxpack/file_io.h"
#include "tools/qvxpack/installer_builder.h"
#include "tools/qvxpack/installer_writer.h"
#include "tools/qvxpack/lz_compress.h"
#include "tools/qvxpack/payload_builder.h"
#include "tools/qvxpack/pe_image.h"
#include "tools/qvxpack/pe_resource.h"
#include "tools/qvxpack/version_record.h"

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
    "    --for win32|win64      the installer it is for, whose limits it must\n"
    "                           meet (default: win64's, with a warning past\n"
    "                           win32's)\n"
    "  build -o OUT STUB F0..F5 make an installer: the built installer STUB with\n"
    "                           a payload of the six files in place of its own;\n"
    "                           a signature of STUB is dropped (sign OUT anew)\n"
    "    --product-version A.B.C.D  the file and product version of OUT's\n"
    "                           version record (default: the stub's)\n"
    "  list PAYLOAD             list the entries: offset, stored length,\n"
    "                           expanded size, ratio, target name; and the\n"
    "                           check value, if any, and whether it holds\n"
    "  verify PAYLOAD F0..F5    test the check value, expand every entry and\n"
    "                           compare it with its file\n"
    "  unpack PAYLOAD DIR       expand every entry into DIR under its target name\n"
    "  --help                   show this text\n"
    "  --version                show qvxpack's version\n"
    "\n"
    "PAYLOAD may also be a built installer (PE32 or PE32+): its resource\n"
    "RT_RCDATA 129, language 1033, is the payload.\n"
    "Outputs are written whole or not at all; the exit status is 0 on success,\n"
    "1 on failure, 2 on wrong usage. build and pack check the files before they\n"
    "compress anything: none given twice, OUT none of them, QVX.exe and\n"
    "QvxUninstall.exe Windows programs, the product within the installer's\n"
    "limits (32-bit: 512 MiB; 64-bit: 1792 MiB).\n";

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

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

// What the payload's check value says, as one line of text; false when the
// payload is damaged: the value does not hold, or the payload ends in neither
// its terminator nor a check value.
bool DescribeCheck(std::span<const std::uint8_t> payload, std::string* text) {
  const qvx::PayloadCheck check = qvx::CheckPayload(payload);
  switch (check.state) {
    case qvx::CheckState::Absent:
      *text = "no check value (the installer takes the payload unchecked)";
      return true;
    case qvx::CheckState::Holds:
      *text = "check value CRC-32 " + Hex32(check.stored) + " holds";
      return true;
    case qvx::CheckState::Fails:
      *text = "check value does not hold: stored CRC-32 " + Hex32(check.stored) + ", computed " +
              Hex32(check.computed) + ": the payload is corrupt and the installer refuses it";
      return false;
    case qvx::CheckState::Unreadable:
      break;
  }
  *text =
      "check value unreadable: the payload ends in neither its terminator nor a check value "
      "(cut off or overwritten) and the installer refuses it";
  return false;
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

// Products above this size show which file is being compressed, on a
// terminal.
constexpr std::uint64_t kProgressFrom = 4u << 20;

// Redraws one line on standard error: the file being compressed and how
// much of the product is done.
class Progress {
 public:
  explicit Progress(const std::vector<qvx::pack::FileReader>& files) : files_(files) {
    for (const qvx::pack::FileReader& file : files) total_ += file.size();
    shown_ = total_ > kProgressFrom && qvx::pack::ErrorsGoToTerminal();
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
  const std::vector<qvx::pack::FileReader>& files_;
  std::uint64_t total_ = 0;
  std::uint64_t done_ = 0;
  bool shown_ = false;
};

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
  Progress progress(files);
  qvx::pack::ScratchFile scratch;
  return scratch.Create(output, error) &&
         qvx::pack::WritePayload(sources, scratch, out, error,
                                 [&](std::size_t i) { progress.Starting(i); });
}

// Passes bytes on and counts them.
class CountingWriter : public qvx::pack::ByteWriter {
 public:
  CountingWriter(qvx::pack::ByteWriter& out, std::uint64_t* count) : out_(out), count_(count) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    *count_ += bytes.size();
    return out_.Write(bytes);
  }
  const std::string& error() const override { return out_.error(); }

 private:
  qvx::pack::ByteWriter& out_;
  std::uint64_t* count_;
};

// The options and operands of build and pack, in any order; "--" ends the
// options.
struct PackArgs {
  std::string output;
  const qvx::pack::InstallerLimits* limits = nullptr;  // pack --for
  bool hasVersion = false;
  qvx::pack::VersionNumber version{};
  std::vector<std::string> operands;
};

// The problem with the command line, or "".
std::string ParsePackArgs(const std::vector<std::string>& args, PackArgs* parsed) {
  const std::string& command = args[0];
  bool options = true;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (options && a == "--") {
      options = false;
    } else if (options && a == "-o") {
      if (!hasValue) return "-o needs a file name";
      if (!parsed->output.empty()) {
        return "-o given twice (" + parsed->output + " and " + args[i + 1] + "): give one output";
      }
      parsed->output = args[++i];
    } else if (options && command == "pack" && a == "--for") {
      const std::string kind = hasValue ? args[++i] : "";
      if (kind != "win32" && kind != "win64") return "--for takes win32 or win64";
      parsed->limits = kind == "win32" ? &qvx::pack::kInstaller32 : &qvx::pack::kInstaller64;
    } else if (options && command == "build" && a == "--product-version") {
      if (!hasValue) return "--product-version needs a version A.B.C.D";
      if (parsed->hasVersion) return "--product-version given twice";
      if (!qvx::pack::ParseVersionNumber(args[++i], &parsed->version)) {
        return "--product-version '" + args[i] +
               "' is not a version A.B.C.D of four numbers from 0 to 65535";
      }
      parsed->hasVersion = true;
    } else if (options && a.size() > 1 && a[0] == '-') {
      return "unknown option '" + a + "' for " + command;
    } else {
      parsed->operands.push_back(a);
    }
  }
  return "";
}

// One line for the vendor's log: what was written and how well it packed.
void Summary(const std::string& out, std::uint64_t size, std::uint64_t product,
             std::uint64_t payload) {
  std::printf("%s: %llu bytes; product %llu bytes, payload %llu bytes (%.1f%%)\n", out.c_str(),
              static_cast<unsigned long long>(size), static_cast<unsigned long long>(product),
              static_cast<unsigned long long>(payload),
              product ? 100.0 * static_cast<double>(payload) / static_cast<double>(product) : 0.0);
}

int Pack(const std::string& out, const std::vector<std::string>& inputs,
         const qvx::pack::InstallerLimits* limits) {
  std::vector<qvx::pack::FileReader> files(inputs.size());
  qvx::pack::AtomicFileWriter writer;
  std::string error;
  // Without --for, a payload may go into either installer: the 64-bit limits
  // hold, and the vendor hears when the shipping 32-bit one could not
  // install it.
  qvx::pack::CheckedRequest checked;
  if (!qvx::pack::CheckBuildRequest({out, "", inputs}, limits ? *limits : qvx::pack::kInstaller64,
                                    &checked, &error)) {
    return Fail(error);
  }
  qvx::pack::CheckedRequest for32;
  if (!limits &&
      !qvx::pack::CheckBuildRequest({out, "", inputs}, qvx::pack::kInstaller32, &for32, &error)) {
    std::fprintf(stderr, "qvxpack: warning: only a 64-bit installer can carry this payload: %s\n",
                 error.c_str());
  }
  if (!OpenInputs(inputs, &files, &error)) return Fail(error);
  if (!writer.Create(out, &error)) return Fail(error);
  std::uint64_t size = 0;
  CountingWriter counted(writer, &size);
  if (!WriteProductPayload(files, out, counted, &error)) return Fail(error);
  if (!writer.Commit()) return Fail(writer.error());
  Summary(out, size, checked.productSize, size);
  return kExitOk;
}

int Build(const std::string& out, const std::string& stubPath,
          const std::vector<std::string>& inputs, const qvx::pack::VersionNumber* version) {
  Bytes stub;
  qvx::pack::InstallerStub parsed;
  std::vector<qvx::pack::FileReader> files(inputs.size());
  qvx::pack::AtomicFileWriter writer;
  std::string error;
  // The stub is read and laid out first, around an empty payload, so that a
  // file that is no installer of ours, or one the rewrite cannot follow, is
  // refused before anything is compressed.
  if (!qvx::pack::ReadWholeFile(stubPath, kMaxInputSize, &stub, &error)) return Fail(error);
  std::vector<std::uint8_t> head, tail;
  if (!parsed.Parse(stub, &error) || (version && !parsed.SetVersion(*version, &error)) ||
      !parsed.LayOut(4, &head, &tail, &error)) {
    return Fail(stubPath + " is not a Quorvex installer that qvxpack can stamp.\nqvxpack: " +
                stubPath + ": " + error);
  }
  qvx::pack::CheckedRequest checked;
  if (!qvx::pack::CheckBuildRequest({out, stubPath, inputs},
                                    parsed.pe32Plus() ? qvx::pack::kInstaller64
                                                      : qvx::pack::kInstaller32,
                                    &checked, &error)) {
    return Fail(error);
  }
  if (!OpenInputs(inputs, &files, &error)) return Fail(error);
  if (!writer.Create(out, &error, checked.stub.mode)) return Fail(error);
  std::uint64_t payloadSize = 0;
  const auto payload = [&](qvx::pack::ByteWriter& to, std::string* why) {
    CountingWriter counted(to, &payloadSize);
    return WriteProductPayload(files, out, counted, why);
  };
  if (!qvx::pack::WriteInstaller(parsed, payload, writer, &error)) return Fail(error);
  if (!writer.Commit()) return Fail(writer.error());
  qvx::pack::FileFacts written;
  if (!qvx::pack::StatPath(out, &written, &error)) return Fail(error);
  Summary(out, written.size, checked.productSize, payloadSize);
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
  std::string check;
  const bool intact = DescribeCheck(payload, &check);
  std::printf("%s\n", check.c_str());
  return intact ? kExitOk : Fail(path + ": " + check);
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
  // A damaged payload fails whatever its entries show; they are still
  // compared, to tell which of them the damage reached.
  std::string check;
  int status = DescribeCheck(payload, &check) ? kExitOk : Fail(path + ": " + check);
  if (status == kExitOk) std::printf("ok %s\n", check.c_str());
  qvx::PayloadWalk walk(payload);
  for (; walk.HasNextEntry(); walk.Advance()) {
    const std::string& input = inputs[walk.Index()];
    const std::string name(kTargetNames[walk.Index()]);
    const std::string entry = path + ": entry " + std::to_string(walk.Index()) + " (" + name + ")";
    qvx::pack::FileReader expected;
    if (!expected.Open(input, qvx::pack::kMaxFileSize, &error)) return Fail(error);
    qvx::pack::CompareSink compare(expected);
    const bool same = qvx::pack::ExpandEntryTo(walk.Entry(), compare) && compare.AtEnd();
    if (compare.readFailed()) return Fail(expected.error());
    if (same) {
      std::printf("ok %s\n", name.c_str());
    } else if (walk.Entry().kind != qvx::EntryKind::Entry || !walk.Entry().Sound()) {
      status = Fail(entry + " does not expand to its stated size");
    } else {
      status = Fail(entry + " differs from " + input);
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
  std::string check;
  if (!DescribeCheck(payload, &check)) return Fail(path + ": " + check);
  // Every entry is checked before anything is written, so that a corrupt
  // payload leaves no files at all.
  qvx::PayloadWalk walk(payload);
  for (; walk.HasNextEntry(); walk.Advance()) {
    if (walk.Entry().kind != qvx::EntryKind::Entry || !walk.Entry().Sound()) {
      return Fail(path + ": entry " + std::to_string(walk.Index()) +
                  " is corrupt: it does not expand to its stated size");
    }
  }
  if (!qvx::pack::CreateFolder(dir, &error)) return Fail(error);
  for (qvx::PayloadWalk entries(payload); entries.HasNextEntry(); entries.Advance()) {
    const std::string target = dir + "/" + std::string(kTargetNames[entries.Index()]);
    if (!qvx::pack::WriteEntryAtomically(target, entries.Entry(), &error)) return Fail(error);
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
  if (command == "--version") {
    std::printf("qvxpack %s\n", QVXPACK_VERSION);
    return kExitOk;
  }
  if (command == "pack" || command == "build") {
    PackArgs parsed;
    const std::string problem = ParsePackArgs(args, &parsed);
    if (!problem.empty()) return Usage(problem);
    const std::size_t stubs = command == "build" ? 1 : 0;
    if (parsed.output.empty() || parsed.operands.size() < stubs) {
      return Usage(command == "build" ? "build takes -o OUT, STUB and six files"
                                      : "pack takes -o PAYLOAD and six files");
    }
    const std::vector<std::string> inputs(parsed.operands.begin() + stubs, parsed.operands.end());
    if (inputs.size() != kTargetCount) {
      return Usage(command + " takes exactly six files, " + std::to_string(inputs.size()) +
                   " given");
    }
    if (command == "pack") return Pack(parsed.output, inputs, parsed.limits);
    return Build(parsed.output, parsed.operands[0], inputs,
                 parsed.hasVersion ? &parsed.version : nullptr);
  }
  for (std::size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
    if (args[i].size() > 1 && args[i][0] == '-') {
      return Usage("unknown option '" + args[i] + "' for " + command);
    }
  }
  if (command == "compress" || command == "expand") {
    if (operands != 2) return Usage(command + " takes IN and OUT");
    return command == "compress" ? Compress(args[1], args[2]) : Expand(args[1], args[2]);
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
  if (command.size() > 1 && command[0] == '-') return Usage("unknown option '" + command + "'");
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
  qvx::pack::RemovePartialOutputOnSignals();
  return RunCommand(argc, argv);
}
