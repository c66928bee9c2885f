#include "platform/sim/sim_shell_link.h"

#include "platform/win_values.h"

namespace qvx::sim {

namespace {

// The conversion buffer holds 260 UTF-16 units with the terminating zero.
constexpr std::size_t kMaxLinkPath = 259;

std::string Fold(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

std::int32_t FromWin32(std::uint32_t error) {
  if (error == 0) return kEFail;
  return static_cast<std::int32_t>(0x80070000u | (error & 0xFFFFu));
}

constexpr char kHeader[] = "[QvxLink]\r\n";
constexpr char kTargetKey[] = "Target=";
constexpr char kDescriptionKey[] = "Description=";

}  // namespace

std::int32_t SimShellLink::CoInitialize() {
  ++coInitializeCount_;
  return depth_++ == 0 ? kSOk : kSFalse;
}

void SimShellLink::CoUninitialize() {
  ++coUninitializeCount_;
  if (depth_ > 0) --depth_;
}

void SimShellLink::FailLink(const std::string& linkPath, std::int32_t status) {
  faults_[Fold(linkPath)] = status;
}

std::int32_t SimShellLink::CreateShortcut(const std::string& target, const std::string& linkPath,
                                          const std::string& description) {
  std::int32_t result = kSOk;
  auto fault = faults_.find(Fold(linkPath));
  if (depth_ == 0) {
    result = kCoENotInitialized;
  } else if (fault != faults_.end()) {
    result = fault->second;
  } else if (linkPath.size() > kMaxLinkPath) {
    result = kLinkPathTooLong;
  } else {
    result = Write(linkPath, LinkFileText(target, description));
  }
  calls_.push_back(Call{target, linkPath, description, result});
  return result;
}

std::int32_t SimShellLink::Write(const std::string& linkPath, const std::string& text) {
  FileHandle file =
      files_.CreateFileA(linkPath, kGenericWrite, 0, kCreateAlways, kFileAttributeNormal);
  if (file == kInvalidFileHandle) return FromWin32(files_.GetLastError());
  std::uint32_t written = 0;
  bool ok = files_.WriteFile(file, text.data(), static_cast<std::uint32_t>(text.size()), &written);
  std::int32_t result = kSOk;
  if (!ok) {
    result = FromWin32(files_.GetLastError());
  } else if (written != text.size()) {
    result = FromWin32(kErrorDiskFull);
  }
  files_.CloseHandle(file);
  // A link file cut short is no link; leave none behind.
  if (result != kSOk) files_.DeleteFileA(linkPath);
  return result;
}

std::string SimShellLink::LinkFileText(const std::string& target, const std::string& description) {
  return std::string(kHeader) + kTargetKey + target + "\r\n" + kDescriptionKey + description +
         "\r\n";
}

std::optional<SimShellLink::LinkFile> SimShellLink::ParseLinkFile(const std::string& text) {
  const std::string header = kHeader;
  if (text.compare(0, header.size(), header) != 0) return std::nullopt;
  LinkFile link;
  bool haveTarget = false;
  bool haveDescription = false;
  std::size_t pos = header.size();
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) return std::nullopt;
    std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    const std::string targetKey = kTargetKey;
    const std::string descriptionKey = kDescriptionKey;
    if (line.compare(0, targetKey.size(), targetKey) == 0) {
      link.target = line.substr(targetKey.size());
      haveTarget = true;
    } else if (line.compare(0, descriptionKey.size(), descriptionKey) == 0) {
      link.description = line.substr(descriptionKey.size());
      haveDescription = true;
    } else {
      return std::nullopt;
    }
  }
  if (!haveTarget || !haveDescription) return std::nullopt;
  return link;
}

}  // namespace qvx::sim
