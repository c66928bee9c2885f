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

// Reads up to size bytes; 0 only at the end of the file.
ssize_t ReadSome(int fd, std::uint8_t* data, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd, data, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}

// Writes all of data at the file's position, or at offset when it is not
// negative; 0 or an errno value.
int WriteAll(int fd, std::span<const std::uint8_t> data, off_t offset = -1) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t put =
        offset < 0 ? ::write(fd, data.data() + done, data.size() - done)
                   : ::pwrite(fd, data.data() + done, data.size() - done,
                              offset + static_cast<off_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return put < 0 ? errno : ENOSPC;
    done += static_cast<std::size_t>(put);
  }
  return 0;
}

// The outputs being written, for RemovePartialOutputs: there is rarely more
// than one.
AtomicFileWriter* g_open[8] = {};

void Track(AtomicFileWriter* writer, AtomicFileWriter* replacing) {
  for (AtomicFileWriter*& slot : g_open) {
    if (slot == replacing) {
      slot = writer;
      return;
    }
  }
}

}  // namespace

void RemovePartialOutputs() {
  for (AtomicFileWriter* writer : g_open) {
    if (writer) writer->Discard();
  }
}

bool ReadWholeFile(const std::string& path, std::uint64_t maxSize, std::vector<std::uint8_t>* data,
                   std::string* error) {
  FileReader file;
  if (!file.Open(path, maxSize, error)) return false;
  data->resize(static_cast<std::size_t>(file.size()));
  std::size_t done = 0;
  while (done < data->size()) {
    std::size_t got = 0;
    if (!file.Read(data->data() + done, data->size() - done, &got) || got == 0) {
      *error = got == 0 && file.error().empty() ? Reason(path, "changed while being read", 0)
                                                : file.error();
      return false;
    }
    done += got;
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> data,
                         std::string* error) {
  AtomicFileWriter out;
  if (!out.Create(path, error)) return false;
  if (!out.Write(data) || !out.Commit()) {
    *error = out.error();
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

FileReader::~FileReader() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool FileReader::Open(const std::string& path, std::uint64_t maxSize, std::string* error) {
  path_ = path;
  handle_ = OpenRegular(path, maxSize, &size_, error);
  return handle_ >= 0;
}

bool FileReader::Rewind() {
  if (::lseek(static_cast<int>(handle_), 0, SEEK_SET) == 0) return true;
  error_ = Reason(path_, "cannot read", errno);
  return false;
}

bool FileReader::Read(std::uint8_t* data, std::size_t size, std::size_t* got) {
  const ssize_t n = ReadSome(static_cast<int>(handle_), data, size);
  *got = n > 0 ? static_cast<std::size_t>(n) : 0;
  if (n >= 0) return true;
  error_ = Reason(path_, "cannot read", errno);
  return false;
}

ScratchFile::~ScratchFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool ScratchFile::Create(const std::string& beside, std::string* error) {
  std::string name = beside + ".scratch-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = Reason(beside, "cannot create a scratch file beside it", errno);
    return false;
  }
  // Unlinked at once: the space comes back when the file is closed, however
  // the process ends.
  ::unlink(name.c_str());
  handle_ = fd;
  return true;
}

bool ScratchFile::Write(std::span<const std::uint8_t> bytes) {
  const int err = WriteAll(static_cast<int>(handle_), bytes);
  if (err == 0) return true;
  error_ = Reason("scratch file", "cannot write", err);
  return false;
}

bool ScratchFile::Read(std::uint8_t* data, std::size_t size, std::size_t* got) {
  const ssize_t n = ReadSome(static_cast<int>(handle_), data, size);
  *got = n > 0 ? static_cast<std::size_t>(n) : 0;
  if (n >= 0) return true;
  error_ = Reason("scratch file", "cannot read", errno);
  return false;
}

bool ScratchFile::Rewind() {
  if (::lseek(static_cast<int>(handle_), 0, SEEK_SET) == 0) return true;
  error_ = Reason("scratch file", "cannot read", errno);
  return false;
}

AtomicFileWriter::~AtomicFileWriter() {
  Discard();
  Track(nullptr, this);
}

bool AtomicFileWriter::Create(const std::string& path, std::string* error) {
  path_ = path;
  temp_ = path + ".partial-XXXXXX";
  const int fd = ::mkostemp(temp_.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = Reason(path, "cannot create", errno);
    return false;
  }
  ::fchmod(fd, 0644);
  handle_ = fd;
  Track(nullptr, this);
  Track(this, nullptr);
  return true;
}

bool AtomicFileWriter::Write(std::span<const std::uint8_t> bytes) {
  const int err = WriteAll(static_cast<int>(handle_), bytes);
  if (err == 0) return true;
  error_ = Reason(path_, "cannot write", err);
  return false;
}

bool AtomicFileWriter::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  const int err = WriteAll(static_cast<int>(handle_), bytes, static_cast<off_t>(offset));
  if (err == 0) return true;
  error_ = Reason(path_, "cannot write", err);
  return false;
}

bool AtomicFileWriter::Commit() {
  int err = ::close(static_cast<int>(handle_)) != 0 ? errno : 0;
  handle_ = -1;
  if (err == 0 && ::rename(temp_.c_str(), path_.c_str()) != 0) err = errno;
  if (err == 0) {
    temp_.clear();
    return true;
  }
  error_ = Reason(path_, "cannot write", err);
  Discard();
  return false;
}

void AtomicFileWriter::Discard() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

}  // namespace qvx::pack
