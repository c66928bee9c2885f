// The shell-link object for the host tests. A shortcut becomes a small text
// file at the link path, written through the file system it is given:
//
//   [QvxLink]\r\n
//   Target=<target>\r\n
//   Description=<description>\r\n
//
// COM initialisation is counted; a shortcut asked for while COM is not
// initialised fails as the real object's creation does. Every call is
// recorded, and a chosen link path can be made to fail.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/shell_link.h"

namespace qvx::sim {

// CO_E_NOTINITIALIZED: CoCreateInstance without CoInitialize.
inline constexpr std::int32_t kCoENotInitialized = static_cast<std::int32_t>(0x800401F0u);
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE): a link path longer than
// the 259 characters the conversion buffer holds.
inline constexpr std::int32_t kLinkPathTooLong = static_cast<std::int32_t>(0x800700CEu);
inline constexpr std::int32_t kSFalse = 1;

class SimShellLink : public ShellLink {
 public:
  struct Call {
    std::string target;
    std::string linkPath;
    std::string description;
    std::int32_t result = 0;
  };

  explicit SimShellLink(FileSystem& files) : files_(files) {}

  std::int32_t CoInitialize() override;
  void CoUninitialize() override;
  std::int32_t CreateShortcut(const std::string& target, const std::string& linkPath,
                              const std::string& description) override;

  int coInitializeCount() const { return coInitializeCount_; }
  int coUninitializeCount() const { return coUninitializeCount_; }
  bool comInitialised() const { return depth_ > 0; }
  const std::vector<Call>& calls() const { return calls_; }

  // The next shortcuts at linkPath (compared without regard to case) fail
  // with status and write nothing.
  void FailLink(const std::string& linkPath, std::int32_t status);

  // The link file's text for target and description, and its reading back.
  static std::string LinkFileText(const std::string& target, const std::string& description);
  struct LinkFile {
    std::string target;
    std::string description;
  };
  static std::optional<LinkFile> ParseLinkFile(const std::string& text);

 private:
  std::int32_t Write(const std::string& linkPath, const std::string& text);

  FileSystem& files_;
  int depth_ = 0;
  int coInitializeCount_ = 0;
  int coUninitializeCount_ = 0;
  std::vector<Call> calls_;
  std::map<std::string, std::int32_t> faults_;
};

}  // namespace qvx::sim
