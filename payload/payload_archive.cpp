#include "payload/payload_archive.h"

#include "payload/expand_file.h"
#include "payload/payload_reader.h"
#include "platform/win_values.h"

namespace qvx {
namespace {

// Every installed file carries this local time as its creation and last-write
// time: Friday, 10 September 2004, 16:00:00.
constexpr SystemTime kFileStamp{2004, 9, 5, 10, 16, 0, 0, 0};

std::string PathIn(const std::string& folder, std::string_view name) {
  std::string path = folder;
  path += '\\';
  path += name;
  return path;
}

FileHandle CreateForWriting(FileSystem& files, const std::string& path) {
  return files.CreateFileA(path, kGenericWrite, 0, kCreateAlways, kFileAttributeNormal);
}

}  // namespace

// Takes the expanded bytes to the target: creates it with the first of them,
// so that an earlier installation's file stays as it was when none come, and
// writes each piece. The first failure stops the expansion and is kept as
// the entry's result.
class PayloadArchive::TargetSink final : public ExpandedSink {
 public:
  TargetSink(PayloadArchive& archive, const std::string& path) : archive_(archive), path_(path) {}
  bool Put(const std::uint8_t* bytes, std::size_t size) override {
    if (target == kInvalidFileHandle) {
      target = CreateForWriting(archive_.files_, path_);
      if (target == kInvalidFileHandle) {
        result = ExtractResult::TargetCreateFailed;
        return false;
      }
    }
    result = archive_.WriteBlock(target, bytes, static_cast<std::uint32_t>(size));
    return result == ExtractResult::Ok;
  }
  FileHandle target = kInvalidFileHandle;
  ExtractResult result = ExtractResult::Ok;

 private:
  PayloadArchive& archive_;
  const std::string& path_;
};

PayloadArchive::~PayloadArchive() { ReleaseBuffer(); }

void PayloadArchive::Open() {
  ReleaseBuffer();
  payload_ = system_.LockRcData(kPayloadResourceId);
  readPosition_ = 0;
  // A product with a file too large to expand gets no buffer: its first
  // entry fails, before any file is written.
  if (!EntriesWithinExpandableSize(payload_)) return;
  buffer_ = static_cast<std::uint8_t*>(system_.GlobalAlloc(kGmemZeroinit, kExpansionBufferSize));
}

bool PayloadArchive::HasNextEntry() const {
  return EntryAt(payload_, readPosition_).kind != EntryKind::End;
}

ExtractResult PayloadArchive::WriteBlock(FileHandle file, const void* data, std::uint32_t size) {
  std::uint32_t written = 0;
  if (!files_.WriteFile(file, data, size, &written)) {
    const std::uint32_t error = files_.GetLastError();
    return error == kErrorDiskFull || error == kErrorHandleDiskFull ? ExtractResult::WriteDiskFull
                                                                    : ExtractResult::WriteFailed;
  }
  return written < size ? ExtractResult::WriteDiskFull : ExtractResult::Ok;
}

ExtractResult PayloadArchive::ExtractEntry(const std::string& folder, std::string_view name) {
  // An entry that cannot be read whole, or no buffer to expand it into:
  // nothing is written for it.
  const PayloadEntry entry = EntryAt(payload_, readPosition_);
  if (entry.kind != EntryKind::Entry || buffer_ == nullptr) return ExtractResult::ExpandFailed;

  const std::string tempPath = PathIn(folder, kTempFileName);
  const FileHandle temp = CreateForWriting(files_, tempPath);
  if (temp == kInvalidFileHandle) {
    switch (files_.GetLastError()) {
      case kErrorDiskFull:
        return ExtractResult::TempCreateDiskFull;
      case kErrorBadPathname:
        return ExtractResult::TempCreateBadPath;
      default:
        return ExtractResult::TempCreateFailed;
    }
  }

  ExtractResult written = WriteBlock(temp, kLeftOutSignature.data(), kLeftOutSignature.size());
  if (written == ExtractResult::Ok) {
    written = WriteBlock(temp, entry.body.data(), static_cast<std::uint32_t>(entry.body.size()));
  }
  files_.CloseHandle(temp);
  if (written != ExtractResult::Ok) {
    files_.DeleteFileA(tempPath);
    return written;
  }
  readPosition_ = entry.next();

  // The stream is checked whole first: a file larger than the buffer reaches
  // its target a bufferful at a time, which a stream failing part-way would
  // leave cut short. What is expanded is the temp file as it reads back, and
  // only if it reads back as written.
  if (!entry.Sound()) return ExtractResult::ExpandFailed;
  const std::string targetPath = PathIn(folder, name);
  TargetSink sink(*this, targetPath);
  const std::int32_t count =
      ExpandFile(files_, tempPath, buffer_, kExpansionBufferSize, &sink, entry.body);
  written = sink.result;
  if (written == ExtractResult::Ok &&
      (count <= 0 || static_cast<std::uint32_t>(count) != entry.expandedSize())) {
    written = ExtractResult::ExpandFailed;
  }
  if (sink.target == kInvalidFileHandle) return written;
  if (written != ExtractResult::Ok) {
    // The partly written target stays; the temp file goes.
    files_.DeleteFileA(tempPath);
    files_.CloseHandle(sink.target);
    return written;
  }
  StampTarget(sink.target, targetPath);
  return ExtractResult::Ok;
}

// Closes the target, then gives it the fixed creation and last-write time,
// keeping its last-access time. A failure anywhere here leaves the times as
// the platform set them; the file itself is complete either way.
void PayloadArchive::StampTarget(FileHandle target, const std::string& path) {
  FileTime creation, lastAccess, lastWrite;
  const bool haveTimes = files_.GetFileTime(target, &creation, &lastAccess, &lastWrite);
  files_.CloseHandle(target);
  if (!haveTimes) return;

  FileTime local, stamp;
  if (!files_.SystemTimeToFileTime(kFileStamp, &local)) return;
  if (!files_.LocalFileTimeToFileTime(local, &stamp)) return;

  const FileHandle file = files_.CreateFileA(path, kGenericRead | kGenericWrite, kFileShareRead,
                                             kOpenExisting, kFileAttributeNormal);
  if (file == kInvalidFileHandle) return;
  files_.SetFileTime(file, &stamp, &lastAccess, &stamp);
  files_.CloseHandle(file);
}

void PayloadArchive::Finish(const std::string& folder) {
  ReleaseBuffer();
  files_.DeleteFileA(PathIn(folder, kTempFileName));
}

void PayloadArchive::ReleaseBuffer() {
  if (buffer_ != nullptr) system_.GlobalFree(buffer_);
  buffer_ = nullptr;
}

}  // namespace qvx
