// Opens a registry path one level at a time from a root key and closes every
// key it opened, innermost first, when it goes out of scope. A key created or
// opened below the path joins it, so it is closed before the path's own keys.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qvx {

class RegistryPath {
 public:
  // Opens the levels in order with RegOpenKeyA and stops at the first one
  // whose handle comes back null.
  RegistryPath(Registry& registry, RegKey root, std::span<const char* const> levels);
  ~RegistryPath();
  RegistryPath(const RegistryPath&) = delete;
  RegistryPath& operator=(const RegistryPath&) = delete;

  // Every level given so far is open.
  bool IsOpen() const { return complete_; }
  // The innermost open key; kNullKey when the path is not open.
  RegKey Key() const { return complete_ ? keys_.back() : kNullKey; }

  // Opens one more level below the innermost key; false when it cannot.
  bool Open(const char* name);
  // Creates the key name below the innermost key, or opens it if it exists
  // (non-volatile, full access); false when that is refused.
  bool Create(const char* name);

  // Sets a REG_SZ value of the innermost key to text with its terminating
  // zero; valueName null names the default value. Returns the status.
  std::int32_t SetString(const char* valueName, const std::string& text);

  // Queries valueName of the innermost key into buffer, size capacity, and on
  // success stores the text up to its first zero byte within the bytes read.
  // The value's type is not examined. Returns the status.
  std::int32_t QueryString(const char* valueName, char* buffer, std::uint32_t capacity,
                           std::string* text);

 private:
  Registry& registry_;
  std::vector<RegKey> keys_;
  bool complete_ = true;
};

}  // namespace qvx
