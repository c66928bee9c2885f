// qvxpack's command line: the help text, usage errors, and the options and
// operands of the commands.
#pragma once

#include <string>
#include <vector>

#include "tools/qvxpack/build_checks.h"
#include "tools/qvxpack/version_record.h"

namespace qvx::pack {

// The text of qvxpack --help, made by the build from the manual's source,
// manual.txt (usage_text.cpp in the build tree).
extern const char* const kUsage;

// Prints "qvxpack: message" and a line pointing to --help on standard
// error; returns the exit status of wrong usage.
int UsageError(const std::string& message);

// A command's options and operands, in any order; "--" ends the options. An
// option's value follows it as the next argument or, for a long option,
// after "=" (--for=win32).
struct CommandArgs {
  std::string output;                       // build, pack: -o
  const InstallerLimits* limits = nullptr;  // pack --for
  bool hasVersion = false;                  // build --product-version
  VersionNumber version{};
  bool force = false;  // unpack --force
  std::vector<std::string> operands;
};

// Parses args (args[0] is the command). Returns the problem with the command
// line, or "".
std::string ParseCommandArgs(const std::vector<std::string>& args, CommandArgs* parsed);

}  // namespace qvx::pack
