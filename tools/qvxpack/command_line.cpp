#include "tools/qvxpack/command_line.h"

#include <cstdio>

#include "tools/qvxpack/commands.h"

namespace qvx::pack {

const char* const kUsage =
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
