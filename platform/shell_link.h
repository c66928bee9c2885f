// COM on the user-interface thread and the shell-link object.
#pragma once

#include <cstdint>
#include <string>

namespace qvx {

class ShellLink {
 protected:
  // Destroyed by its own type, never through this base: no virtual
  // destructor, and no deleting destructor in each derived class's table.
  ~ShellLink() = default;

 public:
  virtual std::int32_t CoInitialize() = 0;
  virtual void CoUninitialize() = 0;
  // Writes a shortcut at linkPath to target with description; the result is an
  // HRESULT (negative: nothing written). COM must be initialised by the caller.
  virtual std::int32_t CreateShortcut(const std::string& target, const std::string& linkPath,
                                      const std::string& description) = 0;
};

}  // namespace qvx
