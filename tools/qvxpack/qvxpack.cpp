// qvxpack: builds, lists, verifies and unpacks installer payloads, and
// compresses and expands single files. This page picks the command; each
// command has a page of its own (command_*.cpp), and each system its entry
// point (main_*.cpp).
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "payload/target_names.h"
#include "tools/qvxpack/command_line.h"
#include "tools/qvxpack/commands.h"
#include "tools/qvxpack/file_io.h"

namespace qvx::pack {

int Report(const std::string& message) {
  std::fprintf(stderr, "qvxpack: %s\n", message.c_str());
  return kExitFailure;
}

void Warn(const std::string& message) {
  std::fprintf(stderr, "qvxpack: warning: %s\n", message.c_str());
}

namespace {

bool IsCommand(const std::string& name) {
  for (const char* command : {"compress", "expand", "pack", "build", "list", "verify", "unpack"}) {
    if (name == command) return true;
  }
  return false;
}

int RunPackOrBuild(const std::string& command, const CommandArgs& parsed) {
  if (parsed.output.empty()) {
    return UsageError(command == "build" ? "build takes -o OUT, an optional STUB and six files"
                                         : "pack takes -o PAYLOAD and six files");
  }
  // build's first operand is STUB when there are more than six; six are the
  // files alone, for the installed installer.
  const std::size_t stubs = command == "build" && parsed.operands.size() > kTargetCount;
  const std::vector<std::string> inputs(parsed.operands.begin() + stubs, parsed.operands.end());
  if (inputs.size() != kTargetCount) {
    return UsageError(command + " takes exactly six files, " + std::to_string(inputs.size()) +
                      " given");
  }
  if (command == "pack") return Pack(parsed.output, inputs, parsed.limits);
  return Build(parsed.output, stubs ? parsed.operands[0] : "", inputs,
               parsed.hasVersion ? &parsed.version : nullptr);
}

int RunCommand(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError("no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (command == "--version") {
    std::printf("qvxpack %s\n", QVXPACK_VERSION);
    return kExitOk;
  }
  if (!IsCommand(command)) {
    return UsageError(command.size() > 1 && command[0] == '-'
                          ? "unknown option '" + command + "'"
                          : "unknown command '" + command + "'");
  }
  CommandArgs parsed;
  const std::string problem = ParseCommandArgs(args, &parsed);
  if (!problem.empty()) return UsageError(problem);
  if (command == "pack" || command == "build") return RunPackOrBuild(command, parsed);

  const std::vector<std::string>& operands = parsed.operands;
  if (command == "compress" || command == "expand") {
    if (operands.size() != 2) return UsageError(command + " takes IN and OUT");
    return command == "compress" ? Compress(operands[0], operands[1])
                                 : Expand(operands[0], operands[1]);
  }
  if (command == "list") {
    if (operands.size() != 1) return UsageError("list takes one PAYLOAD");
    return List(operands[0]);
  }
  if (command == "verify") {
    if (operands.size() != 1 + kTargetCount) {
      return UsageError("verify takes PAYLOAD and exactly six files");
    }
    return Verify(operands[0], std::vector<std::string>(operands.begin() + 1, operands.end()));
  }
  if (operands.size() != 2) return UsageError("unpack takes PAYLOAD and DIR");
  return Unpack(operands[0], operands[1], parsed.force);
}

// An allocation that fails ends the program with a message and exit code 1,
// not an abort. The temporary file of an output being written goes with it,
// so no output is left half written. The handler allocates nothing itself.
[[noreturn]] void OutOfMemory() {
  RemovePartialOutputs();
  std::fputs("qvxpack: out of memory\n", stderr);
  std::exit(kExitFailure);
}

}  // namespace

int RunQvxpack(const std::vector<std::string>& args) {
  std::set_new_handler(OutOfMemory);
  RemovePartialOutputOnSignals();
  return RunCommand(args);
}

}  // namespace qvx::pack
