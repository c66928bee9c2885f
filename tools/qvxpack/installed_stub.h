// Where `qvxpack build` finds the installer to stamp when it is given none:
// the 32-bit installer installed with qvxpack, found from the folder of the
// running program, so that the tool works wherever its files were unpacked.
#pragma once

#include <string>

namespace qvx::pack {

// The path at which the installed 32-bit installer is looked for, or false
// with the reason in *error when the program cannot tell where it runs from.
// The file itself need not exist.
bool InstalledStubPath(std::string* path, std::string* error);

}  // namespace qvx::pack
