// qvxpack: builds, lists, verifies and unpacks installer payloads, and
// compresses and expands single files. This page picks the command; each
// command has a page of its own (command_*.cpp).
#include <algorithm>
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

namespace {

int RunPackOrBuild(const std::vector<std::string>& args) {
  const std::string& command = args[0];
  PackArgs parsed;
  const std::string problem = ParsePackArgs(args, &parsed);
  if (!problem.empty()) return UsageError(problem);
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
  const std::size_t operands = args.size() - 1;

  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (command == "--version") {
    std::printf("qvxpack %s\n", QVXPACK_VERSION);
    return kExitOk;
  }
  if (command == "pack" || command == "build") return RunPackOrBuild(args);
  for (std::size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
    if (args[i].size() > 1 && args[i][0] == '-') {
      return UsageError("unknown option '" + args[i] + "' for " + command);
    }
  }
  if (command == "compress" || command == "expand") {
    if (operands != 2) return UsageError(command + " takes IN and OUT");
    return command == "compress" ? Compress(args[1], args[2]) : Expand(args[1], args[2]);
  }
  if (command == "list") {
    if (operands != 1) return UsageError("list takes one PAYLOAD");
    return List(args[1]);
  }
  if (command == "verify") {
    const std::vector<std::string> inputs(args.begin() + std::min<std::size_t>(2, args.size()),
                                          args.end());
    if (operands < 1 || inputs.size() != kTargetCount) {
      return UsageError("verify takes PAYLOAD and exactly six files");
    }
    return Verify(args[1], inputs);
  }
  if (command == "unpack") {
    if (operands != 2) return UsageError("unpack takes PAYLOAD and DIR");
    return Unpack(args[1], args[2]);
  }
  if (command.size() > 1 && command[0] == '-')
    return UsageError("unknown option '" + command + "'");
  return UsageError("unknown command '" + command + "'");
}

// An allocation that fails ends the program with a message and exit code 1,
// not an abort. The temporary files of the outputs being written go with it,
// so no output is left half written. The handler allocates nothing itself.
[[noreturn]] void OutOfMemory() {
  RemovePartialOutputs();
  std::fputs("qvxpack: out of memory\n", stderr);
  std::exit(kExitFailure);
}

}  // namespace
}  // namespace qvx::pack

int main(int argc, char** argv) {
  std::set_new_handler(qvx::pack::OutOfMemory);
  qvx::pack::RemovePartialOutputOnSignals();
  return qvx::pack::RunCommand(std::vector<std::string>(argv + 1, argv + argc));
}
