#include "platform/sim/sim_file_system.h"

#include <algorithm>
#include <cstring>

#include "platform/ansi_path.h"
#include "platform/win_values.h"

namespace qvx::sim {
namespace {

// Windows values the simulation needs beyond those the logic passes on.
constexpr std::uint32_t kErrorBadNetPath = 53;
constexpr std::uint32_t kErrorFilenameExcedRange = 206;
constexpr std::uint32_t kCreateNew = 1;
constexpr std::uint32_t kOpenAlways = 4;
constexpr std::uint32_t kTruncateExisting = 5;
constexpr std::uint32_t kFileAttributeArchive = 0x20;
// The attribute bits CreateFileA takes from flagsAndAttributes for a new file.
constexpr std::uint32_t kSettableAttributes =
    kFileAttributeReadonly | kFileAttributeHidden | kFileAttributeSystem | kFileAttributeArchive;
constexpr std::size_t kMaxPath = 260;
// CreateDirectoryA leaves room for an 8.3 name inside the new folder.
constexpr std::size_t kMaxDirectoryPath = kMaxPath - 12;
constexpr std::size_t kMaxComponent = 255;

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kTicksPerMinute = 60 * kTicksPerSecond;
constexpr std::uint64_t kTicksPerDay = 86'400 * kTicksPerSecond;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1601-01-01 to the given date of the proleptic Gregorian calendar.
std::uint64_t DaysSince1601(int year, int month, int day) {
  const std::uint64_t y = static_cast<std::uint64_t>(year - 1601);
  std::uint64_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += static_cast<std::uint64_t>(DaysInMonth(year, m));
  return days + static_cast<std::uint64_t>(day - 1);
}

bool HasWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

bool ValidComponent(LeadByteTest isLead, std::string_view name, bool allowWildcards) {
  // The second byte of a two-byte character may be any of these.
  for (std::size_t at = 0; at < name.size(); at = NextCharacter(isLead, name, at)) {
    const char c = name[at];
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20) return false;
    if (std::strchr("<>:\"|", c) != nullptr) return false;
    if (!allowWildcards && (c == '*' || c == '?')) return false;
  }
  return true;
}

// Case-insensitive match of '*' and '?' patterns; "*.*" matches every name,
// and a pattern ending in ".*" also matches names without a dot, as on DOS.
bool Glob(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] == '*') {
    for (std::size_t i = 0; i <= name.size(); ++i) {
      if (Glob(pattern.substr(1), name.substr(i))) return true;
    }
    return false;
  }
  if (name.empty()) return false;
  if (pattern[0] != '?' && AsciiUpper(pattern[0]) != AsciiUpper(name[0])) return false;
  return Glob(pattern.substr(1), name.substr(1));
}

bool MatchesPattern(std::string_view pattern, std::string_view name) {
  if (pattern == "*" || pattern == "*.*") return true;
  if (Glob(pattern, name)) return true;
  return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
         name.find('.') == std::string_view::npos &&
         Glob(pattern.substr(0, pattern.size() - 2), name);
}

bool EndsWithPath(const std::string& path, const std::string& suffix) {
  if (suffix.empty()) return true;
  if (suffix.size() > path.size()) return false;
  const CodePageLeadBytes western{kWesternCodePage};
  std::string tail =
      AsciiUpper(western, std::string_view(path).substr(path.size() - suffix.size()));
  std::string want = AsciiUpper(western, suffix);
  std::replace(tail.begin(), tail.end(), '/', '\\');
  std::replace(want.begin(), want.end(), '/', '\\');
  return tail == want;
}

// Takes a path apart into its drive letter and normalised components:
// separators either way, "." and ".." resolved, the last component without
// trailing dots and spaces, each component checked for invalid characters.
std::uint32_t SplitPath(LeadByteTest isLead, const std::string& path,
                        const std::string& currentDirectory, bool allowWildcards, char* letterOut,
                        std::vector<std::string>* partsOut) {
  if (path.empty()) return kErrorPathNotFound;
  std::string text = path;
  std::replace(text.begin(), text.end(), '/', '\\');
  if (text.rfind("\\\\", 0) == 0) return kErrorBadNetPath;

  std::string rest = text;
  char letter = currentDirectory[0];
  bool fromRoot = false;
  if (text.size() >= 2 && text[1] == ':' && AsciiUpper(text[0]) >= 'A' &&
      AsciiUpper(text[0]) <= 'Z') {
    letter = AsciiUpper(text[0]);
    rest = text.substr(2);
    fromRoot = true;  // "C:name" is taken from the drive's root
  }
  if (!rest.empty() && rest[0] == '\\') fromRoot = true;
  if (!fromRoot) rest = currentDirectory.substr(2) + "\\" + rest;

  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= rest.size()) {
    const std::size_t found = FindFirstBackslash(isLead, std::string_view(rest).substr(start));
    const std::size_t end = found == std::string_view::npos ? rest.size() : start + found;
    std::string part = rest.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  // Windows drops trailing dots and spaces of the last component.
  if (!parts.empty() && !HasWildcard(parts.back())) {
    std::string& last = parts.back();
    while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
    if (last.empty()) parts.pop_back();
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool isLast = i + 1 == parts.size();
    if (!ValidComponent(isLead, parts[i], allowWildcards && isLast)) return kErrorInvalidName;
    // A name holds up to 255 characters, not bytes: the file system keeps
    // names in UTF-16.
    std::size_t characters = 0;
    for (std::size_t at = 0; at < parts[i].size(); at = NextCharacter(isLead, parts[i], at)) {
      ++characters;
    }
    if (characters > kMaxComponent) return kErrorFilenameExcedRange;
  }
  *letterOut = letter;
  *partsOut = std::move(parts);
  return kErrorSuccess;
}

}  // namespace

std::uint64_t ToTicks(const FileTime& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FileTime FromTicks(std::uint64_t ticks) {
  return FileTime{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

FileTime MakeFileTime(int year, int month, int day, int hour, int minute, int second) {
  return FromTicks(DaysSince1601(year, month, day) * kTicksPerDay +
                   static_cast<std::uint64_t>(hour * 3600 + minute * 60 + second) *
                       kTicksPerSecond);
}

struct SimFileSystem::Node {
  std::string name;
  bool directory = false;
  std::uint32_t attributes = 0;
  std::vector<std::uint8_t> bytes;
  FileTimes times;
  std::vector<std::shared_ptr<Node>> children;
  std::uint64_t serial = 0;

  std::shared_ptr<Node> Child(LeadByteTest isLead, std::string_view childName) const {
    for (const auto& child : children) {
      if (EqualIgnoringAsciiCase(isLead, child->name, childName)) return child;
    }
    return nullptr;
  }
};

struct SimFileSystem::Drive {
  std::uint32_t type = kDriveFixed;
  bool medium = true;
  DiskFreeSpace space{8, 512, 500'000, 1'000'000};
  std::optional<std::uint64_t> writeBudget;
  std::shared_ptr<Node> root;
};

struct SimFileSystem::OpenFile {
  std::shared_ptr<Node> node;
  char drive = 0;
  std::string path;
  std::uint32_t access = 0;
  std::uint32_t share = 0;
  std::size_t position = 0;
};

struct SimFileSystem::Search {
  std::vector<FindData> entries;
  std::size_t next = 0;
};

// A path taken apart: its drive, the folder that holds its last component,
// that component, and the node it names if one exists.
struct SimFileSystem::Resolved {
  char letter = 0;
  Drive* drive = nullptr;
  std::vector<std::string> parts;
  std::shared_ptr<Node> parent;  // null for a drive root
  std::string leaf;              // empty for a drive root
  std::shared_ptr<Node> node;    // the existing entry, or null
};

SimFileSystem::SimFileSystem() : now_(MakeFileTime(2024, 3, 1, 12)) {}

SimFileSystem::~SimFileSystem() = default;

bool SimFileSystem::Fail(std::uint32_t error) {
  lastError_ = error;
  return false;
}

SimFileCall& SimFileSystem::Log(const std::string& operation, const std::string& path) {
  calls_.push_back(SimFileCall{operation, path});
  return calls_.back();
}

bool SimFileSystem::Faulted(const std::string& operation, const std::string& path) {
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->operation != operation || !EndsWithPath(path, it->pathSuffix)) continue;
    if (it->skip > 0) {
      --it->skip;
      continue;
    }
    lastError_ = it->error;
    if (!it->persistent) faults_.erase(it);
    return true;
  }
  return false;
}

void SimFileSystem::InjectFault(const SimFault& fault) { faults_.push_back(fault); }

void SimFileSystem::FailNext(const std::string& operation, std::uint32_t error,
                             const std::string& pathSuffix) {
  InjectFault(SimFault{operation, error, pathSuffix});
}

void SimFileSystem::FailAlways(const std::string& operation, std::uint32_t error,
                               const std::string& pathSuffix) {
  InjectFault(SimFault{operation, error, pathSuffix, 0, true});
}

std::vector<SimFileCall> SimFileSystem::Calls(const std::string& operation) const {
  std::vector<SimFileCall> out;
  for (const auto& call : calls_) {
    if (call.operation == operation) out.push_back(call);
  }
  return out;
}

SimFileSystem::Drive* SimFileSystem::FindDrive(char letter) const {
  auto it = drives_.find(AsciiUpper(letter));
  return it == drives_.end() ? nullptr : it->second.get();
}

std::shared_ptr<SimFileSystem::Node> SimFileSystem::NewNode(const std::string& name, bool directory,
                                                            std::uint32_t attributes) {
  auto node = std::make_shared<Node>();
  node->name = name;
  node->directory = directory;
  node->attributes = directory ? (attributes | kFileAttributeDirectory) : attributes;
  node->times = FileTimes{now_, now_, now_};
  node->serial = nextSerial_++;
  return node;
}

std::uint32_t SimFileSystem::Resolve(const std::string& path, bool allowWildcards,
                                     Resolved* out) const {
  char letter = 0;
  std::vector<std::string> parts;
  if (std::uint32_t error = SplitPath(CodePageLeadBytes{codePage_}, path, currentDirectory_,
                                      allowWildcards, &letter, &parts)) {
    return error;
  }
  Drive* drive = FindDrive(letter);
  if (drive == nullptr) return kErrorPathNotFound;
  if (!drive->medium) return kErrorNotReady;

  out->letter = letter;
  out->drive = drive;
  out->parts = parts;
  if (parts.empty()) {
    out->node = drive->root;
    return kErrorSuccess;
  }
  std::shared_ptr<Node> folder = drive->root;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    folder = folder->Child(CodePageLeadBytes{codePage_}, parts[i]);
    if (!folder || !folder->directory) return kErrorPathNotFound;
  }
  out->parent = folder;
  out->leaf = parts.back();
  out->node =
      HasWildcard(out->leaf) ? nullptr : folder->Child(CodePageLeadBytes{codePage_}, out->leaf);
  return kErrorSuccess;
}

bool SimFileSystem::SharingAllows(const Node* node, std::uint32_t access,
                                  std::uint32_t share) const {
  for (const auto& [handle, open] : files_) {
    if (open->node.get() != node) continue;
    if ((access & kGenericRead) && !(open->share & kFileShareRead)) return false;
    if ((access & kGenericWrite) && !(open->share & kFileShareWrite)) return false;
    if ((open->access & kGenericRead) && !(share & kFileShareRead)) return false;
    if ((open->access & kGenericWrite) && !(share & kFileShareWrite)) return false;
  }
  return true;
}

bool SimFileSystem::InUse(const Node* node) const {
  return std::any_of(files_.begin(), files_.end(),
                     [node](const auto& entry) { return entry.second->node.get() == node; });
}

SimFileSystem::OpenFile* SimFileSystem::FindOpen(FileHandle file) {
  auto it = files_.find(file);
  return it == files_.end() ? nullptr : it->second.get();
}

FileHandle SimFileSystem::CreateFileA(const std::string& path, std::uint32_t desiredAccess,
                                      std::uint32_t shareMode, std::uint32_t creationDisposition,
                                      std::uint32_t flagsAndAttributes) {
  SimFileCall& call = Log("CreateFileA", path);
  call.desiredAccess = desiredAccess;
  call.shareMode = shareMode;
  call.creationDisposition = creationDisposition;
  call.flagsAndAttributes = flagsAndAttributes;
  if (Faulted("CreateFileA", path)) return kInvalidFileHandle;
  if (creationDisposition < kCreateNew || creationDisposition > kTruncateExisting) {
    Fail(kErrorInvalidParameter);
    return kInvalidFileHandle;
  }
  if (path.size() >= kMaxPath) {
    Fail(kErrorFilenameExcedRange);
    return kInvalidFileHandle;
  }
  Resolved where;
  if (std::uint32_t error = Resolve(path, false, &where)) {
    Fail(error);
    return kInvalidFileHandle;
  }
  std::shared_ptr<Node> node = where.node;
  const bool writing = (desiredAccess & kGenericWrite) != 0;
  const bool truncating =
      creationDisposition == kCreateAlways || creationDisposition == kTruncateExisting;
  const std::uint32_t newAttributes =
      (flagsAndAttributes & kSettableAttributes) | kFileAttributeArchive;

  if (node) {
    if (node->directory || !where.parent) {
      Fail(kErrorAccessDenied);
      return kInvalidFileHandle;
    }
    if (creationDisposition == kCreateNew) {
      Fail(kErrorFileExists);
      return kInvalidFileHandle;
    }
    if ((writing || truncating) && (node->attributes & kFileAttributeReadonly)) {
      Fail(kErrorAccessDenied);
      return kInvalidFileHandle;
    }
    // Replacing a hidden or system file requires asking for the same bits.
    const std::uint32_t kept = node->attributes & (kFileAttributeHidden | kFileAttributeSystem);
    if (truncating && (kept & ~flagsAndAttributes) != 0) {
      Fail(kErrorAccessDenied);
      return kInvalidFileHandle;
    }
    if (creationDisposition == kTruncateExisting && !writing) {
      Fail(kErrorInvalidParameter);
      return kInvalidFileHandle;
    }
    if (!SharingAllows(node.get(), desiredAccess, shareMode)) {
      Fail(kErrorSharingViolation);
      return kInvalidFileHandle;
    }
    if (truncating) {
      // Overwriting keeps the file and its creation time, as NTFS does.
      node->bytes.clear();
      if (creationDisposition == kCreateAlways) node->attributes = newAttributes;
      node->times.lastWrite = now_;
      node->times.lastAccess = now_;
    }
    lastError_ = (creationDisposition == kCreateAlways || creationDisposition == kOpenAlways)
                     ? kErrorAlreadyExists
                     : kErrorSuccess;
  } else {
    if (creationDisposition == kOpenExisting || creationDisposition == kTruncateExisting) {
      Fail(kErrorFileNotFound);
      return kInvalidFileHandle;
    }
    if (where.leaf.empty()) {
      Fail(kErrorPathNotFound);
      return kInvalidFileHandle;
    }
    if (where.drive->writeBudget && *where.drive->writeBudget == 0) {
      Fail(kErrorDiskFull);
      return kInvalidFileHandle;
    }
    node = NewNode(where.leaf, false, newAttributes);
    where.parent->children.push_back(node);
    lastError_ = kErrorSuccess;
  }

  const FileHandle handle = nextHandle_;
  nextHandle_ += 4;
  auto open = std::make_unique<OpenFile>();
  open->node = node;
  open->drive = where.letter;
  open->path = path;
  open->access = desiredAccess;
  open->share = shareMode;
  files_.emplace(handle, std::move(open));
  call.succeeded = true;
  return handle;
}

bool SimFileSystem::WriteFile(FileHandle file, const void* data, std::uint32_t size,
                              std::uint32_t* written) {
  OpenFile* open = FindOpen(file);
  SimFileCall& call = Log("WriteFile", open ? open->path : std::string());
  call.size = size;
  if (written) *written = 0;
  if (!open) return Fail(kErrorInvalidHandle);
  if (Faulted("WriteFile", open->path)) return false;
  if (!(open->access & kGenericWrite)) return Fail(kErrorAccessDenied);
  Drive* drive = FindDrive(open->drive);
  if (!drive || !drive->medium) return Fail(kErrorNotReady);

  std::uint32_t count = size;
  if (drive->writeBudget) {
    if (size > 0 && *drive->writeBudget == 0) return Fail(kErrorDiskFull);
    count = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, *drive->writeBudget));
    *drive->writeBudget -= count;
  }
  Node& node = *open->node;
  if (node.bytes.size() < open->position + count) node.bytes.resize(open->position + count);
  if (count > 0) std::memcpy(node.bytes.data() + open->position, data, count);
  open->position += count;
  node.times.lastWrite = now_;
  node.times.lastAccess = now_;
  if (written) *written = count;
  call.succeeded = true;
  return true;
}

bool SimFileSystem::ReadFile(FileHandle file, void* data, std::uint32_t size, std::uint32_t* read) {
  OpenFile* open = FindOpen(file);
  SimFileCall& call = Log("ReadFile", open ? open->path : std::string());
  call.size = size;
  if (read) *read = 0;
  if (!open) return Fail(kErrorInvalidHandle);
  if (Faulted("ReadFile", open->path)) return false;
  if (!(open->access & kGenericRead)) return Fail(kErrorAccessDenied);
  const std::vector<std::uint8_t>& bytes = open->node->bytes;
  const std::size_t available = bytes.size() > open->position ? bytes.size() - open->position : 0;
  const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(size, available));
  if (count > 0) std::memcpy(data, bytes.data() + open->position, count);
  open->position += count;
  if (read) *read = count;
  call.succeeded = true;
  return true;
}

bool SimFileSystem::CloseHandle(FileHandle file) {
  OpenFile* open = FindOpen(file);
  SimFileCall& call = Log("CloseHandle", open ? open->path : std::string());
  if (!open) return Fail(kErrorInvalidHandle);
  const bool faulted = Faulted("CloseHandle", open->path);
  files_.erase(file);
  if (faulted) return false;
  call.succeeded = true;
  return true;
}

bool SimFileSystem::DeleteFileA(const std::string& path) {
  SimFileCall& call = Log("DeleteFileA", path);
  if (Faulted("DeleteFileA", path)) return false;
  if (path.size() >= kMaxPath) return Fail(kErrorFilenameExcedRange);
  Resolved where;
  if (std::uint32_t error = Resolve(path, false, &where)) return Fail(error);
  if (!where.node) return Fail(kErrorFileNotFound);
  if (where.node->directory || !where.parent) return Fail(kErrorAccessDenied);
  if (where.node->attributes & kFileAttributeReadonly) return Fail(kErrorAccessDenied);
  if (InUse(where.node.get())) return Fail(kErrorSharingViolation);
  auto& siblings = where.parent->children;
  siblings.erase(std::find(siblings.begin(), siblings.end(), where.node));
  call.succeeded = true;
  return true;
}

bool SimFileSystem::GetFileTime(FileHandle file, FileTime* creation, FileTime* lastAccess,
                                FileTime* lastWrite) {
  OpenFile* open = FindOpen(file);
  SimFileCall& call = Log("GetFileTime", open ? open->path : std::string());
  if (!open) return Fail(kErrorInvalidHandle);
  if (Faulted("GetFileTime", open->path)) return false;
  const FileTimes& times = open->node->times;
  if (creation) *creation = times.creation;
  if (lastAccess) *lastAccess = times.lastAccess;
  if (lastWrite) *lastWrite = times.lastWrite;
  call.succeeded = true;
  return true;
}

bool SimFileSystem::SetFileTime(FileHandle file, const FileTime* creation,
                                const FileTime* lastAccess, const FileTime* lastWrite) {
  OpenFile* open = FindOpen(file);
  SimFileCall& call = Log("SetFileTime", open ? open->path : std::string());
  if (!open) return Fail(kErrorInvalidHandle);
  if (Faulted("SetFileTime", open->path)) return false;
  if (!(open->access & kGenericWrite)) return Fail(kErrorAccessDenied);
  // A null pointer or a zero time leaves that time unchanged.
  FileTimes& times = open->node->times;
  const FileTime zero;
  if (creation && *creation != zero) times.creation = *creation;
  if (lastAccess && *lastAccess != zero) times.lastAccess = *lastAccess;
  if (lastWrite && *lastWrite != zero) times.lastWrite = *lastWrite;
  call.succeeded = true;
  return true;
}

bool SimFileSystem::SystemTimeToFileTime(const SystemTime& time, FileTime* out) {
  SimFileCall& call = Log("SystemTimeToFileTime", {});
  if (Faulted("SystemTimeToFileTime", {})) return false;
  const bool valid = time.wYear >= 1601 && time.wYear <= 30827 && time.wMonth >= 1 &&
                     time.wMonth <= 12 && time.wDay >= 1 &&
                     time.wDay <= DaysInMonth(time.wYear, time.wMonth) && time.wHour < 24 &&
                     time.wMinute < 60 && time.wSecond < 60 && time.wMilliseconds < 1000;
  if (!valid) return Fail(kErrorInvalidParameter);
  const std::uint64_t seconds =
      static_cast<std::uint64_t>(time.wHour) * 3600 + time.wMinute * 60u + time.wSecond;
  *out = FromTicks(DaysSince1601(time.wYear, time.wMonth, time.wDay) * kTicksPerDay +
                   seconds * kTicksPerSecond + time.wMilliseconds * 10'000ull);
  call.succeeded = true;
  return true;
}

bool SimFileSystem::LocalFileTimeToFileTime(const FileTime& local, FileTime* out) {
  SimFileCall& call = Log("LocalFileTimeToFileTime", {});
  if (Faulted("LocalFileTimeToFileTime", {})) return false;
  const std::uint64_t ticks = ToTicks(local);
  const std::uint64_t shift =
      static_cast<std::uint64_t>(biasMinutes_ < 0 ? -static_cast<std::int64_t>(biasMinutes_)
                                                  : biasMinutes_) *
      kTicksPerMinute;
  if (biasMinutes_ < 0 && ticks < shift) return Fail(kErrorInvalidParameter);
  if (biasMinutes_ > 0 && ticks > UINT64_MAX - shift) return Fail(kErrorInvalidParameter);
  *out = FromTicks(biasMinutes_ < 0 ? ticks - shift : ticks + shift);
  call.succeeded = true;
  return true;
}

bool SimFileSystem::CreateDirectoryA(const std::string& path) {
  SimFileCall& call = Log("CreateDirectoryA", path);
  if (Faulted("CreateDirectoryA", path)) return false;
  if (path.size() >= kMaxDirectoryPath) return Fail(kErrorFilenameExcedRange);
  Resolved where;
  if (std::uint32_t error = Resolve(path, false, &where)) return Fail(error);
  if (where.node) return Fail(kErrorAlreadyExists);
  if (where.drive->writeBudget && *where.drive->writeBudget == 0) return Fail(kErrorDiskFull);
  where.parent->children.push_back(NewNode(where.leaf, true, 0));
  call.succeeded = true;
  return true;
}

std::uint32_t SimFileSystem::GetDriveTypeA(const std::string& root) {
  SimFileCall& call = Log("GetDriveTypeA", root);
  call.succeeded = true;
  char letter = currentDirectory_[0];
  if (!root.empty()) {
    const bool isRoot =
        root.size() >= 2 && root[1] == ':' &&
        (root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/')));
    if (!isRoot) return kDriveNoRootDir;
    letter = root[0];
  }
  Drive* drive = FindDrive(letter);
  return drive ? drive->type : kDriveNoRootDir;
}

FindHandle SimFileSystem::FindFirstFileA(const std::string& pattern, FindData* found) {
  SimFileCall& call = Log("FindFirstFileA", pattern);
  if (Faulted("FindFirstFileA", pattern)) return kInvalidFindHandle;
  if (pattern.size() >= kMaxPath) {
    Fail(kErrorFilenameExcedRange);
    return kInvalidFindHandle;
  }
  Resolved where;
  if (std::uint32_t error = Resolve(pattern, true, &where)) {
    Fail(error);
    return kInvalidFindHandle;
  }
  auto search = std::make_unique<Search>();
  if (!where.parent) {
    // A bare root ("C:\\") names the root itself, which FindFirstFileA refuses.
    Fail(kErrorFileNotFound);
    return kInvalidFindHandle;
  }
  const Node& folder = *where.parent;
  const bool atRoot = where.parts.size() == 1;
  if (!atRoot) {
    for (const char* dot : {".", ".."}) {
      if (MatchesPattern(where.leaf, dot)) {
        search->entries.push_back(FindData{kFileAttributeDirectory, dot});
      }
    }
  }
  for (const auto& child : Ordered(folder)) {
    if (!MatchesPattern(where.leaf, child->name)) continue;
    const std::uint32_t attributes =
        child->attributes != 0 ? child->attributes : kFileAttributeNormal;
    search->entries.push_back(FindData{attributes, child->name});
  }
  if (search->entries.empty()) {
    Fail(kErrorFileNotFound);
    return kInvalidFindHandle;
  }
  *found = search->entries[0];
  search->next = 1;
  const FindHandle handle = nextHandle_;
  nextHandle_ += 4;
  finds_.emplace(handle, std::move(search));
  call.succeeded = true;
  return handle;
}

bool SimFileSystem::FindNextFileA(FindHandle find, FindData* found) {
  SimFileCall& call = Log("FindNextFileA", {});
  auto it = finds_.find(find);
  if (it == finds_.end()) return Fail(kErrorInvalidHandle);
  if (Faulted("FindNextFileA", {})) return false;
  Search& search = *it->second;
  if (search.next >= search.entries.size()) return Fail(kErrorNoMoreFiles);
  *found = search.entries[search.next++];
  call.succeeded = true;
  return true;
}

bool SimFileSystem::FindClose(FindHandle find) {
  SimFileCall& call = Log("FindClose", {});
  if (finds_.erase(find) == 0) return Fail(kErrorInvalidHandle);
  call.succeeded = true;
  return true;
}

bool SimFileSystem::GetDiskFreeSpaceA(const std::string& root, DiskFreeSpace* space) {
  SimFileCall& call = Log("GetDiskFreeSpaceA", root);
  if (Faulted("GetDiskFreeSpaceA", root)) return false;
  char letter = currentDirectory_[0];
  if (!root.empty()) {
    const bool isRoot =
        root.size() >= 2 && root[1] == ':' &&
        (root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/')));
    if (!isRoot) return Fail(kErrorInvalidName);
    letter = root[0];
  }
  Drive* drive = FindDrive(letter);
  if (!drive) return Fail(kErrorPathNotFound);
  if (!drive->medium) return Fail(kErrorNotReady);
  *space = drive->space;
  call.succeeded = true;
  return true;
}

// --- Test control -----------------------------------------------------------

void SimFileSystem::AddDrive(char letter, std::uint32_t type, bool mediumPresent) {
  auto drive = std::make_unique<Drive>();
  drive->type = type;
  drive->medium = mediumPresent;
  drive->root = NewNode(std::string(1, AsciiUpper(letter)) + ":", true, 0);
  drives_[AsciiUpper(letter)] = std::move(drive);
}

void SimFileSystem::SetMediumPresent(char letter, bool present) {
  if (Drive* drive = FindDrive(letter)) drive->medium = present;
}

void SimFileSystem::SetDiskFreeSpace(char letter, const DiskFreeSpace& space) {
  if (Drive* drive = FindDrive(letter)) drive->space = space;
}

void SimFileSystem::FillDiskAfter(char letter, std::uint64_t bytes) {
  if (Drive* drive = FindDrive(letter)) drive->writeBudget = bytes;
}

void SimFileSystem::ClearDiskFill(char letter) {
  if (Drive* drive = FindDrive(letter)) drive->writeBudget.reset();
}

std::shared_ptr<SimFileSystem::Node> SimFileSystem::Lookup(const std::string& path) const {
  Resolved where;
  if (path.size() < 2 || path[1] != ':') return nullptr;
  // Content queries see a drive's files even while its medium is out.
  Drive* drive = FindDrive(path[0]);
  if (!drive) return nullptr;
  const bool medium = drive->medium;
  drive->medium = true;
  const std::uint32_t error = Resolve(path, false, &where);
  drive->medium = medium;
  return error ? nullptr : where.node;
}

std::shared_ptr<SimFileSystem::Node> SimFileSystem::MakeFolders(const std::string& path,
                                                                std::uint32_t attributes) {
  if (path.size() < 2 || path[1] != ':') return nullptr;
  char letter = 0;
  std::vector<std::string> parts;
  if (SplitPath(CodePageLeadBytes{codePage_}, path, currentDirectory_, false, &letter, &parts) !=
      kErrorSuccess) {
    return nullptr;
  }
  Drive* drive = FindDrive(letter);
  if (!drive) return nullptr;
  std::shared_ptr<Node> folder = drive->root;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::shared_ptr<Node> child = folder->Child(CodePageLeadBytes{codePage_}, parts[i]);
    if (!child) {
      child = NewNode(parts[i], true, i + 1 == parts.size() ? attributes : 0);
      folder->children.push_back(child);
    } else if (!child->directory) {
      return nullptr;
    }
    folder = child;
  }
  return folder;
}

bool SimFileSystem::SetCodePage(std::uint32_t codePage) {
  if (!IsKnownCodePage(codePage)) return false;
  codePage_ = codePage;
  return true;
}

bool SimFileSystem::AddFolder(const std::string& path, std::uint32_t attributes) {
  std::shared_ptr<Node> folder = MakeFolders(path, attributes);
  if (!folder) return false;
  folder->attributes = attributes | kFileAttributeDirectory;
  return true;
}

bool SimFileSystem::AddFile(const std::string& path, std::string_view bytes,
                            std::uint32_t attributes) {
  return AddFile(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()), attributes);
}

bool SimFileSystem::AddFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                            std::uint32_t attributes) {
  std::string text = path;
  std::replace(text.begin(), text.end(), '/', '\\');
  const CodePageLeadBytes isLead{codePage_};
  const std::size_t slash = FindLastBackslash(isLead, text);
  if (slash == std::string::npos || slash + 1 == text.size()) return false;
  const std::string name = text.substr(slash + 1);
  if (!ValidComponent(isLead, name, false)) return false;
  std::shared_ptr<Node> folder = MakeFolders(text.substr(0, slash), 0);
  if (!folder) return false;
  std::shared_ptr<Node> node = folder->Child(isLead, name);
  if (node && node->directory) return false;
  if (!node) {
    node = NewNode(name, false, 0);
    folder->children.push_back(node);
  }
  node->attributes = attributes & ~kFileAttributeDirectory;
  node->bytes = bytes;
  return true;
}

bool SimFileSystem::SetAttributes(const std::string& path, std::uint32_t attributes) {
  std::shared_ptr<Node> node = Lookup(path);
  if (!node) return false;
  node->attributes = node->directory ? (attributes | kFileAttributeDirectory)
                                     : (attributes & ~kFileAttributeDirectory);
  return true;
}

bool SimFileSystem::SetTimes(const std::string& path, const FileTimes& times) {
  std::shared_ptr<Node> node = Lookup(path);
  if (!node) return false;
  node->times = times;
  return true;
}

bool SimFileSystem::Exists(const std::string& path) const { return Lookup(path) != nullptr; }

bool SimFileSystem::IsFolder(const std::string& path) const {
  std::shared_ptr<Node> node = Lookup(path);
  return node && node->directory;
}

bool SimFileSystem::IsFile(const std::string& path) const {
  std::shared_ptr<Node> node = Lookup(path);
  return node && !node->directory;
}

std::optional<std::vector<std::uint8_t>> SimFileSystem::ReadBytes(const std::string& path) const {
  std::shared_ptr<Node> node = Lookup(path);
  if (!node || node->directory) return std::nullopt;
  return node->bytes;
}

std::optional<std::string> SimFileSystem::ReadText(const std::string& path) const {
  std::shared_ptr<Node> node = Lookup(path);
  if (!node || node->directory) return std::nullopt;
  return std::string(node->bytes.begin(), node->bytes.end());
}

std::optional<FileTimes> SimFileSystem::Times(const std::string& path) const {
  std::shared_ptr<Node> node = Lookup(path);
  if (!node) return std::nullopt;
  return node->times;
}

std::uint32_t SimFileSystem::Attributes(const std::string& path) const {
  std::shared_ptr<Node> node = Lookup(path);
  return node ? node->attributes : 0;
}

std::vector<std::shared_ptr<SimFileSystem::Node>> SimFileSystem::Ordered(const Node& folder) const {
  std::vector<std::shared_ptr<Node>> children = folder.children;
  if (listingOrder_ == ListingOrder::ByName) {
    std::stable_sort(children.begin(), children.end(), [&](const auto& a, const auto& b) {
      const CodePageLeadBytes isLead{codePage_};
      return AsciiUpper(isLead, a->name) < AsciiUpper(isLead, b->name);
    });
  } else {
    std::stable_sort(children.begin(), children.end(),
                     [](const auto& a, const auto& b) { return a->serial < b->serial; });
  }
  return children;
}

std::vector<std::string> SimFileSystem::List(const std::string& folder) const {
  std::vector<std::string> names;
  std::shared_ptr<Node> node = Lookup(folder);
  if (!node || !node->directory) return names;
  for (const auto& child : Ordered(*node)) names.push_back(child->name);
  return names;
}

bool SimFileSystem::SetCurrentDirectory(const std::string& path) {
  std::shared_ptr<Node> node = Lookup(path);
  if (!node || !node->directory) return false;
  Resolved where;
  Resolve(path, false, &where);
  std::string text = std::string(1, where.letter) + ":";
  for (const auto& part : where.parts) text += "\\" + part;
  if (where.parts.empty()) text += "\\";
  currentDirectory_ = text;
  return true;
}

}  // namespace qvx::sim
