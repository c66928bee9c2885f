// File access for the host tools, on Linux (file_io.cpp) and on Windows
// (file_io_win32.cpp): whole-file reads, files read in pieces, scratch
// files, and outputs written whole or not at all.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/qvxpack/byte_stream.h"

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

// After this, SIGINT, SIGTERM and SIGHUP (Ctrl-C and the console's close
// events on Windows) remove the temporary files of every output being
// written before the program ends by the signal. A signal that the caller
// set to be ignored (nohup, trap '' HUP) stays ignored.
void RemovePartialOutputOnSignals();

// Creates a folder; one that exists already is fine.
bool CreateFolder(const std::string& path, std::string* error);

// A regular file read from its start in pieces. Errors name the file.
class FileReader : public ByteReader {
 public:
  FileReader() = default;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader() override;

  // Fails as ReadWholeFile does.
  bool Open(const std::string& path, std::uint64_t maxSize, std::string* error);
  std::uint64_t size() const { return size_; }
  const std::string& path() const { return path_; }
  bool Rewind() override;
  bool Read(std::uint8_t* data, std::size_t size, std::size_t* got) override;
  const std::string& error() const override { return error_; }

 private:
  std::intptr_t handle_ = -1;
  std::string path_;
  std::uint64_t size_ = 0;
  std::string error_;
};

// A file that nobody else opens and that goes away when it is closed, also
// when the process ends otherwise. It lies beside an output, on the disk
// that must hold the output anyway: a temporary folder may be small, or
// held in memory.
class ScratchFile : public ScratchSpace {
 public:
  ScratchFile() = default;
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile() override;

  // Creates it under a name of its own beside the file `beside`.
  bool Create(const std::string& beside, std::string* error);
  bool Write(std::span<const std::uint8_t> bytes) override;
  bool Read(std::uint8_t* data, std::size_t size, std::size_t* got) override;
  bool Rewind() override;
  const std::string& error() const override { return error_; }

 private:
  std::intptr_t handle_ = -1;
  std::string error_;
};

// Removes the temporary files of the outputs not yet committed, for a
// process that is about to end: no output starts or finishes after it. It
// allocates nothing and is async-signal-safe, so that the signal and
// out-of-memory handlers can call it.
void RemovePartialOutputs();

// Calls visit with the temporary file's name of each output being written.
// For each system's RemovePartialOutputs, which holds off changes to the
// list first.
void ForEachPartialOutput(void (*visit)(const char* temporary));

// An output written in pieces to a temporary file beside its path and
// renamed over the path by Commit: until then nothing stands under the
// name, and an output that is not committed is removed.
class AtomicFileWriter : public ByteWriter {
 public:
  AtomicFileWriter() = default;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter() override;

  // The output gets the permission bits mode (Linux; Windows has none).
  bool Create(const std::string& path, std::string* error, std::uint32_t mode = 0644);
  bool Write(std::span<const std::uint8_t> bytes) override;
  // Writes over bytes already written, at offset from the start.
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  bool Commit();
  const std::string& error() const override { return error_; }

 private:
  friend void ForEachPartialOutput(void (*visit)(const char* temporary));
  // Adds this writer to the list of outputs being written, or takes it off
  // (none when it is not on it). Each system calls them while the handlers
  // that walk the list are held off, and changes temp_ only off the list.
  void Track();
  void Untrack();
  void Discard();

  std::intptr_t handle_ = -1;
  std::string path_;
  std::string temp_;
  std::string error_;
  AtomicFileWriter* nextPartial_ = nullptr;  // in the list of outputs being written
};

}  // namespace qvx::pack
