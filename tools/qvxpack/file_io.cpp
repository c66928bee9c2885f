#include "tools/qvxpack/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "tools/qvxpack/failure.h"

namespace qvx::pack {
namespace {

constexpr std::string_view kScratchName = "scratch file";

std::string Reason(std::string_view name, const char* what, int err) {
  return std::string(name) + ": " + what + (err != 0 ? std::string(": ") + std::strerror(err) : "");
}

// Opens a regular file for reading and gives its size; -1 with the reason
// in *error.
int OpenRegular(const std::string& path, std::uint64_t maxSize, std::uint64_t* size,
                std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = Reason(path, "cannot open", errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = Reason(path, "not a regular file", 0);
    ::close(fd);
    return -1;
  }
  if (static_cast<std::uint64_t>(st.st_size) > maxSize) {
    *error = Reason(path, "too large (a file must be under 4 GiB)", 0);
    ::close(fd);
    return -1;
  }
  *size = static_cast<std::uint64_t>(st.st_size);
  return fd;
}

// Reads up to size bytes; *got is 0 only at the end of the file. Fails with
// the reason, naming the file by name.
bool ReadPiece(int fd, std::string_view name, std::uint8_t* data, std::size_t size,
               std::size_t* got, std::string* error) {
  *got = 0;
  for (;;) {
    const ssize_t n = ::read(fd, data, size);
    if (n >= 0) {
      *got = static_cast<std::size_t>(n);
      return true;
    }
    if (errno != EINTR) return Fail(error, Reason(name, "cannot read", errno));
  }
}

bool RewindFile(int fd, std::string_view name, std::string* error) {
  return ::lseek(fd, 0, SEEK_SET) == 0 || Fail(error, Reason(name, "cannot read", errno));
}

// Writes all of data at the file's position, or at offset when it is not
// negative. Fails with the reason, naming the file by name.
bool WriteAll(int fd, std::string_view name, std::span<const std::uint8_t> data, std::string* error,
              off_t offset = -1) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = offset < 0 ? ::write(fd, data.data() + done, data.size() - done)
                                   : ::pwrite(fd, data.data() + done, data.size() - done,
                                              offset + static_cast<off_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return Fail(error, Reason(name, "cannot write", put < 0 ? errno : ENOSPC));
    done += static_cast<std::size_t>(put);
  }
  return true;
}

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t CleanupSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kCleanupSignals) sigaddset(&set, s);
  return set;
}

// Holds the cleanup signals off while alive, so that their handler never
// sees a file that exists but is not yet on the list of outputs being
// written, or a list half changed.
class SignalsHeld {
 public:
  SignalsHeld() {
    const sigset_t set = CleanupSignals();
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

void RemovePartialAndDie(int signal) {
  RemovePartialOutputs();
  // The default action ends the program with the signal's status, as the
  // shell expects of an interrupted command. The signal stays blocked until
  // the handler returns, and the mask the handler interrupted lets it in.
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigaction(signal, &byDefault, nullptr);
  std::raise(signal);
}

// A name of its own in the folder of path for a file that stands in for it:
// the name of path and then suffix, which ends in the XXXXXX that mkostemp
// fills. Where the two together pass the folder's limit on a name, path's
// name is cut short; UTF-8 continuation bytes are recognisable by
// themselves, so the cut falls between characters.
std::string NameBeside(const std::string& path, std::string_view suffix) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  const long found = ::pathconf(FolderOf(path).c_str(), _PC_NAME_MAX);
  const std::size_t limit = found > 0 ? static_cast<std::size_t>(found) : NAME_MAX;
  const std::size_t room = limit > suffix.size() ? limit - suffix.size() : 0;
  std::size_t keep = std::min(path.size() - nameAt, room);
  while (keep > 0 && keep < path.size() - nameAt &&
         (static_cast<unsigned char>(path[nameAt + keep]) & 0xC0) == 0x80) {
    --keep;
  }
  return path.substr(0, nameAt + keep) + std::string(suffix);
}

}  // namespace

bool ErrorsGoToTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void RemovePartialOutputOnSignals() {
  struct sigaction handler {};
  handler.sa_handler = RemovePartialAndDie;
  handler.sa_mask = CleanupSignals();  // one clean-up at a time
  for (int s : kCleanupSignals) {
    struct sigaction old {};
    if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(s, &handler, nullptr);
  }
}

void RemovePartialOutputs() {
  // For good: the process ends after this, and neither a writer nor another
  // signal's handler may change the list meanwhile.
  const sigset_t set = CleanupSignals();
  sigprocmask(SIG_BLOCK, &set, nullptr);
  ForEachPartialOutput([](const char* temporary) { ::unlink(temporary); });
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
  if (fd < 0) return Fail(error, Reason(path, "cannot open", errno));
  data->resize(maxSize);
  std::size_t done = 0;
  std::size_t got = 1;
  bool read = true;
  while (read && got > 0 && done < maxSize) {
    read = ReadPiece(fd, path, data->data() + done, maxSize - done, &got, error);
    done += got;
  }
  ::close(fd);
  data->resize(done);
  return read;
}

bool CreateFolder(const std::string& path, std::string* error) {
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    *error = Reason(path, "cannot create folder", errno);
    return false;
  }
  return true;
}

FileReader::~FileReader() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool FileReader::Open(const std::string& path, std::uint64_t maxSize, std::string* error) {
  path_ = path;
  handle_ = OpenRegular(path, maxSize, &size_, error);
  return handle_ >= 0;
}

bool FileReader::Rewind() { return RewindFile(static_cast<int>(handle_), path_, &error_); }

bool FileReader::Read(std::uint8_t* data, std::size_t size, std::size_t* got) {
  return ReadPiece(static_cast<int>(handle_), path_, data, size, got, &error_);
}

ScratchFile::~ScratchFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool ScratchFile::Create(const std::string& beside, std::string* error) {
  std::string name = NameBeside(beside, ".scratch-XXXXXX");
  SignalsHeld held;
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = Reason(beside, "cannot create a scratch file beside it", errno);
    return false;
  }
  // Unlinked at once, before a signal can end the process: the space comes
  // back when the file is closed, however the process ends.
  ::unlink(name.c_str());
  handle_ = fd;
  return true;
}

bool ScratchFile::Write(std::span<const std::uint8_t> bytes) {
  return WriteAll(static_cast<int>(handle_), kScratchName, bytes, &error_);
}

bool ScratchFile::Read(std::uint8_t* data, std::size_t size, std::size_t* got) {
  return ReadPiece(static_cast<int>(handle_), kScratchName, data, size, got, &error_);
}

bool ScratchFile::Rewind() { return RewindFile(static_cast<int>(handle_), kScratchName, &error_); }

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

bool AtomicFileWriter::Create(const std::string& path, std::string* error, std::uint32_t mode) {
  Discard();
  path_ = path;
  temp_ = NameBeside(path, ".partial-XXXXXX");
  int fd = -1;
  {
    SignalsHeld held;
    fd = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd >= 0) Track();
  }
  if (fd < 0) {
    *error = Reason(path, "cannot create", errno);
    temp_.clear();
    return false;
  }
  ::fchmod(fd, mode & 07777);
  handle_ = fd;
  return true;
}

bool AtomicFileWriter::Write(std::span<const std::uint8_t> bytes) {
  return WriteAll(static_cast<int>(handle_), path_, bytes, &error_);
}

bool AtomicFileWriter::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  return WriteAll(static_cast<int>(handle_), path_, bytes, &error_, static_cast<off_t>(offset));
}

bool AtomicFileWriter::Commit() {
  int err = ::close(static_cast<int>(handle_)) != 0 ? errno : 0;
  handle_ = -1;
  if (err == 0) {
    SignalsHeld held;
    if (::rename(temp_.c_str(), path_.c_str()) == 0) {
      Untrack();
      temp_.clear();
      return true;
    }
    err = errno;
  }
  error_ = Reason(path_, "cannot write", err);
  Discard();
  return false;
}

void AtomicFileWriter::Discard() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  if (temp_.empty()) return;
  {
    SignalsHeld held;
    ::unlink(temp_.c_str());
    Untrack();
  }
  temp_.clear();
}

}  // namespace qvx::pack
