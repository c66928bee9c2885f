// Linux: the installer lies in ../share/qvxpack/ from the program's folder,
// as in /usr/bin/qvxpack and /usr/share/qvxpack/QvxSetup.exe.
#include "tools/qvxpack/installed_stub.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/qvxpack/file_io.h"

namespace qvx::pack {

bool InstalledStubPath(std::string* path, std::string* error) {
  // The kernel's link names the program file itself, with every symbolic
  // link on the way resolved: a link to it elsewhere finds the same files.
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self);
  if (n <= 0 || static_cast<std::size_t>(n) == sizeof self) {
    *error = std::string("cannot tell where qvxpack runs from: /proc/self/exe: ") +
             (n < 0 ? std::strerror(errno) : "name too long");
    return false;
  }
  const std::string prefix = FolderOf(FolderOf(std::string(self, static_cast<std::size_t>(n))));
  *path = (prefix == "/" ? "" : prefix) + "/share/qvxpack/QvxSetup.exe";
  return true;
}

}  // namespace qvx::pack
