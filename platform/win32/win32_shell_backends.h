// The registry over advapi32 and the shell-link object over COM. Declared
// without <windows.h> so that the composition root can hold them without
// seeing the Windows headers.
#pragma once

#include "platform/registry.h"
#include "platform/shell_link.h"

namespace qvx {

class Win32Registry final : public Registry {
 public:
  std::int32_t RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) override;
  std::int32_t RegCreateKeyExA(RegKey parent, const char* subKey, std::uint32_t options,
                               std::uint32_t desiredAccess, RegKey* result,
                               std::uint32_t* disposition) override;
  std::int32_t RegSetValueExA(RegKey key, const char* valueName, std::uint32_t type,
                              const void* data, std::uint32_t size) override;
  std::int32_t RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type, void* data,
                                std::uint32_t* size) override;
  std::int32_t RegCloseKey(RegKey key) override;
};

class Win32ShellLink final : public ShellLink {
 public:
  std::int32_t CoInitialize() override;
  void CoUninitialize() override;
  std::int32_t CreateShortcut(const std::string& target, const std::string& linkPath,
                              const std::string& description) override;
};

}  // namespace qvx
