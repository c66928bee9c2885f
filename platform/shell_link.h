// COM on the user-interface thread and the shell-link object.
#pragma once

#include <cstdint>
#include <string>

namespace qvx {

class ShellLink {
 public:
  virtual ~ShellLink() = default;

  virtual std::int32_t CoInitialize() = 0;
  virtual void CoUninitialize() = 0;
  // Writes a shortcut at linkPath to target with description; the result is an
  // HRESULT (negative: nothing written). COM must be initialised by the caller.
  virtual std::int32_t CreateShortcut(const std::string& target, const std::string& linkPath,
                                      const std::string& description) = 0;
};

}  // namespace qvx
