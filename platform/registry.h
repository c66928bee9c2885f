// The five registry calls the installer makes, with the Windows values and
// failure conventions. A key is an opaque handle; 0 is the null handle.
#pragma once

#include <cstdint>

namespace qvx {

using RegKey = std::uintptr_t;
inline constexpr RegKey kNullKey = 0;
inline constexpr RegKey kHkeyCurrentUser = 0x80000001u;
inline constexpr RegKey kHkeyLocalMachine = 0x80000002u;

class Registry {
 protected:
  // Destroyed by its own type, never through this base: no virtual
  // destructor, and no deleting destructor in each derived class's table.
  ~Registry() = default;

 public:
  // Sets *result to the opened key, or to kNullKey when it cannot be opened.
  virtual std::int32_t RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) = 0;
  virtual std::int32_t RegCreateKeyExA(RegKey parent, const char* subKey, std::uint32_t options,
                                       std::uint32_t desiredAccess, RegKey* result,
                                       std::uint32_t* disposition) = 0;
  // valueName null names the key's default value.
  virtual std::int32_t RegSetValueExA(RegKey key, const char* valueName, std::uint32_t type,
                                      const void* data, std::uint32_t size) = 0;
  // *size holds the buffer's size on entry and the value's size on return.
  virtual std::int32_t RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type,
                                        void* data, std::uint32_t* size) = 0;
  virtual std::int32_t RegCloseKey(RegKey key) = 0;
};

}  // namespace qvx
