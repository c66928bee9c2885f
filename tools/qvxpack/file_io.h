// Whole-file reads and all-or-nothing writes for the host tools, on Linux
// (file_io.cpp) and on Windows (file_io_win32.cpp).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvx::pack {

// Reads a regular file whole. Fails, with a message naming the file, when it
// cannot be opened or read or is larger than maxSize bytes.
bool ReadWholeFile(const std::string& path, std::uint64_t maxSize, std::vector<std::uint8_t>* data,
                   std::string* error);

// Writes data to a temporary file beside path and renames it over path once
// it is complete, so that no partly written file ever stands under the name.
// The file gets the permission bits mode (Linux; Windows has none).
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> data,
                         std::string* error, std::uint32_t mode = 0644);

// What a path names, links followed. Two paths name the same file when
// device and index agree (hard links, symbolic links, ".." detours alike).
struct FileFacts {
  bool exists = false;
  bool regular = false;
  bool folder = false;
  std::uint64_t size = 0;
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  std::uint32_t mode = 0644;  // permission bits

  bool SameFileAs(const FileFacts& other) const {
    return exists && other.exists && device == other.device && index == other.index;
  }
};

// Fills *facts; a path that does not exist is no failure (facts->exists is
// false). False, with a message naming the path, when it cannot be examined.
bool StatPath(const std::string& path, FileFacts* facts, std::string* error);

// The folder a path's file lies in: "." for a bare name.
std::string FolderOf(const std::string& path);

// Reads at most maxSize bytes from the start of a file.
bool ReadFileStart(const std::string& path, std::size_t maxSize, std::vector<std::uint8_t>* data,
                   std::string* error);

// True when standard error is a terminal, where a progress line may be
// drawn and redrawn.
bool ErrorsGoToTerminal();

// After this, SIGINT, SIGTERM and SIGHUP remove the temporary file of a
// WriteFileAtomically in progress before the program ends by the signal.
void RemovePartialOutputOnSignals();

// Creates a folder; one that exists already is fine.
bool CreateFolder(const std::string& path, std::string* error);

}  // namespace qvx::pack
