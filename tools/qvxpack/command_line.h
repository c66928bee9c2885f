// qvxpack's command line: the help text, usage errors, and the options and
// operands of build and pack.
#pragma once

#include <string>
#include <vector>

#include "tools/qvxpack/build_checks.h"
#include "tools/qvxpack/version_record.h"

namespace qvx::pack {

// The text of qvxpack --help, made by the build from the manual's source,
// manual.txt (usage_text.cpp in the build tree).
extern const char* const kUsage;

// Prints "qvxpack: message" and the help text on standard error; returns the
// exit status of wrong usage.
int UsageError(const std::string& message);

// The options and operands of build and pack, in any order; "--" ends the
// options.
struct PackArgs {
  std::string output;
  const InstallerLimits* limits = nullptr;  // pack --for
  bool hasVersion = false;
  VersionNumber version{};
  std::vector<std::string> operands;
};

// Parses args (args[0] is the command). Returns the problem with the command
// line, or "".
std::string ParsePackArgs(const std::vector<std::string>& args, PackArgs* parsed);

}  // namespace qvx::pack
