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

}  // namespace

bool ReadWholeFile(const std::string& path, std::uint64_t maxSize, std::vector<std::uint8_t>* data,
                   std::string* error) {
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
  data->resize(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < data->size()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(kChunk, data->size() - done));
    DWORD got = 0;
    if (!ReadFile(file, data->data() + done, want, &got, nullptr) || got == 0) {
      *error = Reason(path, got == 0 ? "changed while being read" : "cannot read", GetLastError());
      CloseHandle(file);
      return false;
    }
    done += got;
  }
  CloseHandle(file);
  return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> data,
                         std::string* error) {
  // A name of its own beside the target: CREATE_NEW never opens another's file.
  std::string temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    temp =
        path + ".partial-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    *error = Reason(path, "cannot create", GetLastError());
    return false;
  }
  DWORD err = 0;
  std::size_t done = 0;
  while (done < data.size() && err == 0) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(kChunk, data.size() - done));
    DWORD put = 0;
    if (!WriteFile(file, data.data() + done, want, &put, nullptr) || put == 0) {
      err = put == 0 && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError();
    }
    done += put;
  }
  if (!CloseHandle(file) && err == 0) err = GetLastError();
  if (err == 0 && !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    err = GetLastError();
  }
  if (err != 0) {
    DeleteFileA(temp.c_str());
    *error = Reason(path, "cannot write", err);
    return false;
  }
  return true;
}

bool CreateFolder(const std::string& path, std::string* error) {
  if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    *error = Reason(path, "cannot create folder", GetLastError());
    return false;
  }
  return true;
}

}  // namespace qvx::pack
