// Turns the payload's entries into installed files, one entry at a time:
// each entry is written out as a compressed file "qvx.tmp" in the target
// folder, expanded into the archive's buffer, and written as the target file
// with the product's fixed time stamp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/system.h"

namespace qvx {

enum class ExtractResult {
  Ok,                  // the target file was written in full
  TempCreateDiskFull,  // the temp file could not be created: error 112
  TempCreateBadPath,   // the temp file could not be created: error 161
  TempCreateFailed,    // the temp file could not be created: any other error
  WriteDiskFull,       // a write failed with error 112 or 39, or came up short
  WriteFailed,         // a write failed with any other error
  ExpandFailed,        // the entry did not expand (or could not be read at all)
  TargetCreateFailed,  // the target file could not be created
};

// The payload's resource id.
inline constexpr int kPayloadResourceId = 129;
inline constexpr std::string_view kTempFileName = "qvx.tmp";

class PayloadArchive {
 public:
  PayloadArchive(System& system, FileSystem& files) : system_(system), files_(files) {}
  // Releases the buffer if Finish was not called; the temp file is left to it.
  ~PayloadArchive();
  PayloadArchive(const PayloadArchive&) = delete;
  PayloadArchive& operator=(const PayloadArchive&) = delete;

  // Locates the payload and allocates the zero-filled expansion buffer.
  // Failures surface at the first ExtractEntry.
  void Open();
  // True while an entry lies at the read position: false only at the
  // payload's terminator. A payload that is missing, cut short or otherwise
  // unreadable has a next entry, whose extraction fails.
  bool HasNextEntry() const;
  // Writes the entry at the read position to folder + "\\" + name.
  ExtractResult ExtractEntry(const std::string& folder, std::string_view name);
  // Frees the buffer and deletes the temp file, whatever came before.
  void Finish(const std::string& folder);

  std::size_t readPosition() const { return readPosition_; }

 private:
  class TargetSink;
  ExtractResult WriteBlock(FileHandle file, const void* data, std::uint32_t size);
  void StampTarget(FileHandle target, const std::string& path);
  void ReleaseBuffer();

  System& system_;
  FileSystem& files_;
  std::span<const std::uint8_t> payload_;
  std::uint8_t* buffer_ = nullptr;
  std::size_t readPosition_ = 0;
};

}  // namespace qvx
