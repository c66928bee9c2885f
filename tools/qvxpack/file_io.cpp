#include "tools/qvxpack/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace qvx::pack {
namespace {

std::string Reason(const std::string& path, const char* what, int err) {
  return path + ": " + what + (err != 0 ? std::string(": ") + std::strerror(err) : "");
}

// The temporary file being written, for the signal handler: set with the
// signals blocked, so that the handler never sees half a name.
char partialPath[4096];
volatile std::sig_atomic_t partialSet = 0;
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

void RemovePartialAndDie(int signal) {
  if (partialSet) ::unlink(partialPath);
  // The default action ends the program with the signal's status, as the
  // shell expects of an interrupted command.
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Blocks the cleanup signals while alive.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kCleanupSignals) sigaddset(&set, s);
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

void SetPartial(const std::string& temp) {
  const std::size_t n = std::min(temp.size(), sizeof partialPath - 1);
  std::memcpy(partialPath, temp.data(), n);
  partialPath[n] = '\0';
  partialSet = 1;
}

}  // namespace

bool ErrorsGoToTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void RemovePartialOutputOnSignals() {
  for (int s : kCleanupSignals) std::signal(s, RemovePartialAndDie);
}

bool StatPath(const std::string& path, FileFacts* facts, std::string* error) {
  struct stat st {};
  *facts = FileFacts{};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return true;
    *error = Reason(path, "cannot examine", errno);
    return false;
  }
  facts->exists = true;
  facts->regular = S_ISREG(st.st_mode);
  facts->folder = S_ISDIR(st.st_mode);
  facts->size = static_cast<std::uint64_t>(st.st_size);
  facts->device = static_cast<std::uint64_t>(st.st_dev);
  facts->index = static_cast<std::uint64_t>(st.st_ino);
  facts->mode = st.st_mode & 07777;
  return true;
}

// '/' is never part of another character in the encodings Linux uses.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool ReadFileStart(const std::string& path, std::size_t maxSize, std::vector<std::uint8_t>* data,
                   std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = Reason(path, "cannot open", errno);
    return false;
  }
  data->resize(maxSize);
  std::size_t done = 0;
  while (done < maxSize) {
    const ssize_t got = ::read(fd, data->data() + done, maxSize - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = Reason(path, "cannot read", errno);
      ::close(fd);
      return false;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  ::close(fd);
  data->resize(done);
  return true;
}

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
                         std::string* error, std::uint32_t mode) {
  std::string temp = path + ".partial-XXXXXX";
  int fd = -1;
  {
    SignalsHeld held;
    fd = ::mkstemp(temp.data());
    if (fd >= 0) SetPartial(temp);
  }
  if (fd < 0) {
    *error = Reason(path, "cannot create", errno);
    return false;
  }
  ::fchmod(fd, mode & 07777);
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
  {
    SignalsHeld held;
    if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) ::unlink(temp.c_str());
    partialSet = 0;
  }
  if (err != 0) {
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
