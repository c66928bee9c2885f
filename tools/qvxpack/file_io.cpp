#include "tools/qvxpack/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qvx::pack {
namespace {

std::string Reason(const std::string& path, const char* what, int err) {
  return path + ": " + what + (err != 0 ? std::string(": ") + std::strerror(err) : "");
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::uint64_t maxSize, std::vector<std::uint8_t>* data,
                   std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = Reason(path, "cannot open", errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = Reason(path, "not a regular file", 0);
    ::close(fd);
    return false;
  }
  if (static_cast<std::uint64_t>(st.st_size) > maxSize) {
    *error = Reason(path, "too large (a file must be under 4 GiB)", 0);
    ::close(fd);
    return false;
  }
  data->resize(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < data->size()) {
    const ssize_t got = ::read(fd, data->data() + done, data->size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      *error = Reason(path, got == 0 ? "changed while being read" : "cannot read", errno);
      ::close(fd);
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  ::close(fd);
  return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> data,
                         std::string* error) {
  std::string temp = path + ".partial-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    *error = Reason(path, "cannot create", errno);
    return false;
  }
  ::fchmod(fd, 0644);
  std::size_t done = 0;
  int err = 0;
  while (done < data.size()) {
    const ssize_t put = ::write(fd, data.data() + done, data.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      err = put < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<std::size_t>(put);
  }
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    *error = Reason(path, "cannot write", err);
    return false;
  }
  return true;
}

bool CreateFolder(const std::string& path, std::string* error) {
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    *error = Reason(path, "cannot create folder", errno);
    return false;
  }
  return true;
}

}  // namespace qvx::pack
