// The Windows side of file_io.h: the same contracts through the Win32 file
// calls. Paths are ANSI; MoveFileExA replaces the target in one step.
#include <windows.h>

#include <algorithm>

#include "tools/qvxpack/file_io.h"

namespace qvx::pack {
namespace {

std::string Reason(const std::string& path, const char* what, DWORD err) {
  std::string text = path + ": " + what;
  char message[256] = {};
  if (err != 0 && FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, err, 0, message, sizeof message, nullptr)) {
    std::string reason(message);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == '.' || reason.back() == ' ')) {
      reason.pop_back();
    }
    text += ": " + reason;
  }
  return text;
}

// WriteFile and ReadFile move at most this much per call.
constexpr DWORD kChunk = 1 << 24;

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Reads up to size bytes, at most one chunk, into data; 0 or a system error.
DWORD ReadSome(HANDLE file, std::uint8_t* data, std::size_t size, std::size_t* got) {
  DWORD n = 0;
  const BOOL ok =
      ReadFile(file, data, static_cast<DWORD>(std::min<std::size_t>(kChunk, size)), &n, nullptr);
  *got = n;
  return ok ? 0 : GetLastError();
}

// Writes all of data; 0 or a system error.
DWORD WriteAll(HANDLE file, std::span<const std::uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(kChunk, data.size() - done));
    DWORD put = 0;
    if (!WriteFile(file, data.data() + done, want, &put, nullptr) || put == 0) {
      return put == 0 && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError();
    }
    done += put;
  }
  return 0;
}

bool Seek(HANDLE file, std::uint64_t offset) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

// Guards the list of outputs being written against the console handler,
// which runs on a thread of its own. The files are open with
// FILE_SHARE_DELETE, so that deleting one there takes effect when the ending
// process closes it.
SRWLOCK partialsLock = SRWLOCK_INIT;

class PartialsHeld {
 public:
  PartialsHeld() { AcquireSRWLockExclusive(&partialsLock); }
  ~PartialsHeld() { ReleaseSRWLockExclusive(&partialsLock); }
};

BOOL WINAPI RemovePartial(DWORD) {
  RemovePartialOutputs();
  return FALSE;  // the default handler ends the process
}

}  // namespace

bool ErrorsGoToTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void RemovePartialOutputOnSignals() { SetConsoleCtrlHandler(RemovePartial, TRUE); }

void RemovePartialOutputs() {
  // Kept for good: the process ends after this, and no writer may start or
  // finish meanwhile.
  AcquireSRWLockExclusive(&partialsLock);
  ForEachPartialOutput([](const char* temporary) { DeleteFileA(temporary); });
}

bool StatPath(const std::string& path, FileFacts* facts, std::string* error) {
  *facts = FileFacts{};
  // FILE_FLAG_BACKUP_SEMANTICS opens folders too; links are followed.
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return true;
    *error = Reason(path, "cannot examine", err);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(file, &info) != 0;
  const DWORD err = GetLastError();
  CloseHandle(file);
  if (!ok) {
    *error = Reason(path, "cannot examine", err);
    return false;
  }
  facts->exists = true;
  facts->folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts->regular = !facts->folder;
  facts->size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  facts->device = info.dwVolumeSerialNumber;
  facts->index = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  return true;
}

// A path in the ANSI code page is walked forward by characters: in a
// double-byte code page a 0x5C byte may be the second half of one.
std::string FolderOf(const std::string& path) {
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < path.size();) {
    if (path[i] == '\\' || path[i] == '/') last = i;
    i += IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size() ? 2 : 1;
  }
  const bool drive = path.size() >= 2 && path[1] == ':';
  if (last == std::string::npos) return drive ? path.substr(0, 2) + "." : ".";
  if (last == 0 || (drive && last == 2)) return path.substr(0, last + 1);
  return path.substr(0, last);
}

bool ReadFileStart(const std::string& path, std::size_t maxSize, std::vector<std::uint8_t>* data,
                   std::string* error) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = Reason(path, "cannot open", GetLastError());
    return false;
  }
  data->resize(maxSize);
  std::size_t done = 0;
  while (done < maxSize) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(kChunk, maxSize - done));
    DWORD got = 0;
    if (!ReadFile(file, data->data() + done, want, &got, nullptr)) {
      *error = Reason(path, "cannot read", GetLastError());
      CloseHandle(file);
      return false;
    }
    if (got == 0) break;
    done += got;
  }
  CloseHandle(file);
  data->resize(done);
  return true;
}

FileReader::~FileReader() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
}

bool FileReader::Open(const std::string& path, std::uint64_t maxSize, std::string* error) {
  path_ = path;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = Reason(path, "cannot open", GetLastError());
    return false;
  }
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    *error = Reason(path, "not a regular file", 0);
    CloseHandle(file);
    return false;
  }
  if (static_cast<std::uint64_t>(size.QuadPart) > maxSize) {
    *error = Reason(path, "too large (a file must be under 4 GiB)", 0);
    CloseHandle(file);
    return false;
  }
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool FileReader::Rewind() {
  if (Seek(AsHandle(handle_), 0)) return true;
  error_ = Reason(path_, "cannot read", GetLastError());
  return false;
}

bool FileReader::Read(std::uint8_t* data, std::size_t size, std::size_t* got) {
  const DWORD err = ReadSome(AsHandle(handle_), data, size, got);
  if (err == 0) return true;
  error_ = Reason(path_, "cannot read", err);
  return false;
}

ScratchFile::~ScratchFile() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
}

bool ScratchFile::Create(const std::string& beside, std::string* error) {
  // Deleted by the system when the last handle goes, however the process
  // ends; CREATE_NEW never opens another's file.
  HANDLE file = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    const std::string name = beside + ".scratch-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(attempt);
    file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    *error = Reason(beside, "cannot create a scratch file beside it", GetLastError());
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool ScratchFile::Write(std::span<const std::uint8_t> bytes) {
  const DWORD err = WriteAll(AsHandle(handle_), bytes);
  if (err == 0) return true;
  error_ = Reason("scratch file", "cannot write", err);
  return false;
}

bool ScratchFile::Read(std::uint8_t* data, std::size_t size, std::size_t* got) {
  const DWORD err = ReadSome(AsHandle(handle_), data, size, got);
  if (err == 0) return true;
  error_ = Reason("scratch file", "cannot read", err);
  return false;
}

bool ScratchFile::Rewind() {
  if (Seek(AsHandle(handle_), 0)) return true;
  error_ = Reason("scratch file", "cannot read", GetLastError());
  return false;
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

bool AtomicFileWriter::Create(const std::string& path, std::string* error, std::uint32_t /*mode*/) {
  // A name of its own beside the target: CREATE_NEW never opens another's file.
  path_ = path;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    temp_ =
        path + ".partial-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    file = CreateFileA(temp_.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    *error = Reason(path, "cannot create", GetLastError());
    temp_.clear();
    return false;
  }
  {
    PartialsHeld held;
    Track();
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool AtomicFileWriter::Write(std::span<const std::uint8_t> bytes) {
  const DWORD err = WriteAll(AsHandle(handle_), bytes);
  if (err == 0) return true;
  error_ = Reason(path_, "cannot write", err);
  return false;
}

bool AtomicFileWriter::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  LARGE_INTEGER here{}, zero{};
  HANDLE file = AsHandle(handle_);
  DWORD err = 0;
  if (!SetFilePointerEx(file, zero, &here, FILE_CURRENT) || !Seek(file, offset)) {
    err = GetLastError();
  } else {
    err = WriteAll(file, bytes);
    if (!Seek(file, static_cast<std::uint64_t>(here.QuadPart)) && err == 0) err = GetLastError();
  }
  if (err == 0) return true;
  error_ = Reason(path_, "cannot write", err);
  return false;
}

bool AtomicFileWriter::Commit() {
  DWORD err = CloseHandle(AsHandle(handle_)) ? 0 : GetLastError();
  handle_ = -1;
  if (err == 0 && !MoveFileExA(temp_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    err = GetLastError();
  }
  if (err == 0) {
    {
      PartialsHeld held;
      Untrack();
    }
    temp_.clear();
    return true;
  }
  error_ = Reason(path_, "cannot write", err);
  Discard();
  return false;
}

void AtomicFileWriter::Discard() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
  handle_ = -1;
  if (!temp_.empty()) {
    DeleteFileA(temp_.c_str());
    PartialsHeld held;
    Untrack();
  }
  temp_.clear();
}

bool CreateFolder(const std::string& path, std::string* error) {
  if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    *error = Reason(path, "cannot create folder", GetLastError());
    return false;
  }
  return true;
}

}  // namespace qvx::pack
