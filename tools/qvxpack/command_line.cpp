#include "tools/qvxpack/command_line.h"

#include <cstdio>

#include "tools/qvxpack/commands.h"

namespace qvx::pack {

int UsageError(const std::string& message) {
  std::fprintf(stderr, "qvxpack: %s\nTry 'qvxpack --help' for more information.\n",
               message.c_str());
  return kExitUsage;
}

namespace {

// The options each command takes.
struct OptionSpec {
  const char* name;
  const char* command;
  bool takesValue;
};
constexpr OptionSpec kOptions[] = {
    {"-o", "build", true},        {"-o", "pack", true},
    {"--for", "pack", true},      {"--product-version", "build", true},
    {"--force", "unpack", false},
};

const OptionSpec* FindOption(const std::string& command, const std::string& name) {
  for (const OptionSpec& option : kOptions) {
    if (command == option.command && name == option.name) return &option;
  }
  return nullptr;
}

// Applies one option and its value; returns the problem, or "".
std::string Apply(const std::string& name, const std::string& value, CommandArgs* parsed) {
  if (name == "-o") {
    if (!parsed->output.empty()) {
      return "-o given twice (" + parsed->output + " and " + value + "): give one output";
    }
    parsed->output = value;
  } else if (name == "--for") {
    if (value != "win32" && value != "win64") return "--for takes win32 or win64";
    parsed->limits = value == "win32" ? &kInstaller32 : &kInstaller64;
  } else if (name == "--product-version") {
    if (parsed->hasVersion) return "--product-version given twice";
    if (!ParseVersionNumber(value, &parsed->version)) {
      return "--product-version '" + value +
             "' is not a version A.B.C.D of four numbers from 0 to 65535";
    }
    parsed->hasVersion = true;
  } else if (name == "--force") {
    parsed->force = true;
  }
  return "";
}

// What an option given without its value lacks.
std::string MissingValue(const std::string& name) {
  if (name == "-o") return "-o needs a file name";
  if (name == "--for") return "--for takes win32 or win64";
  return name + " needs a version A.B.C.D";
}

}  // namespace

std::string ParseCommandArgs(const std::vector<std::string>& args, CommandArgs* parsed) {
  const std::string& command = args[0];
  bool options = true;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options || a.size() < 2 || a[0] != '-') {
      parsed->operands.push_back(a);
      continue;
    }
    if (a == "--") {
      options = false;
      continue;
    }
    const std::size_t equals = a.rfind("--", 0) == 0 ? a.find('=') : std::string::npos;
    const std::string name = a.substr(0, equals);
    const OptionSpec* option = FindOption(command, name);
    if (!option) return "unknown option '" + name + "' for " + command;
    std::string value;
    if (equals != std::string::npos) {
      if (!option->takesValue) return name + " takes no value";
      value = a.substr(equals + 1);
    } else if (option->takesValue) {
      if (i + 1 == args.size()) return MissingValue(name);
      value = args[++i];
    }
    const std::string problem = Apply(name, value, parsed);
    if (!problem.empty()) return problem;
  }
  return "";
}

}  // namespace qvx::pack
