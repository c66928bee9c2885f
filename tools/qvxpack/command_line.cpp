#include "tools/qvxpack/command_line.h"

#include <cstdio>

#include "tools/qvxpack/commands.h"

namespace qvx::pack {

int UsageError(const std::string& message) {
  std::fprintf(stderr, "qvxpack: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

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
      parsed->limits = kind == "win32" ? &kInstaller32 : &kInstaller64;
    } else if (options && command == "build" && a == "--product-version") {
      if (!hasValue) return "--product-version needs a version A.B.C.D";
      if (parsed->hasVersion) return "--product-version given twice";
      if (!ParseVersionNumber(args[++i], &parsed->version)) {
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

}  // namespace qvx::pack
