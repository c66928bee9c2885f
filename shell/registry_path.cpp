#include "shell/registry_path.h"

#include <algorithm>

#include "platform/win_values.h"

namespace qvx {

RegistryPath::RegistryPath(Registry& registry, RegKey root, std::span<const char* const> levels)
    : registry_(registry) {
  keys_.reserve(levels.size() + 1);
  keys_.push_back(root);
  for (const char* level : levels) {
    if (!Open(level)) break;
  }
}

RegistryPath::~RegistryPath() {
  // keys_[0] is the root, which belongs to the system.
  while (keys_.size() > 1) {
    registry_.RegCloseKey(keys_.back());
    keys_.pop_back();
  }
}

bool RegistryPath::Open(const char* name) {
  if (!complete_) return false;
  RegKey key = kNullKey;
  // Success is judged by the handle alone, not by the status.
  registry_.RegOpenKeyA(keys_.back(), name, &key);
  if (key == kNullKey) {
    complete_ = false;
    return false;
  }
  keys_.push_back(key);
  return true;
}

bool RegistryPath::Create(const char* name) {
  if (!complete_) return false;
  RegKey key = kNullKey;
  std::uint32_t disposition = 0;
  std::int32_t status = registry_.RegCreateKeyExA(keys_.back(), name, kRegOptionNonVolatile,
                                                  kKeyAllAccess, &key, &disposition);
  if (status != static_cast<std::int32_t>(kErrorSuccess) || key == kNullKey) {
    complete_ = false;
    return false;
  }
  keys_.push_back(key);
  return true;
}

std::int32_t RegistryPath::SetString(const char* valueName, const std::string& text) {
  if (!complete_) return static_cast<std::int32_t>(kErrorInvalidHandle);
  // c_str() carries the terminating zero, which the size includes.
  return registry_.RegSetValueExA(Key(), valueName, kRegSz, text.c_str(),
                                  static_cast<std::uint32_t>(text.size() + 1));
}

std::int32_t RegistryPath::QueryString(const char* valueName, char* buffer, std::uint32_t capacity,
                                       std::string* text) {
  if (!complete_) return static_cast<std::int32_t>(kErrorInvalidHandle);
  std::uint32_t type = kRegNone;
  std::uint32_t size = capacity;
  std::int32_t status = registry_.RegQueryValueExA(Key(), valueName, &type, buffer, &size);
  if (status == static_cast<std::int32_t>(kErrorSuccess)) {
    // A value stored without its terminating zero (or of another type) ends
    // where its bytes end, never past the buffer.
    std::size_t read = std::min(size, capacity);
    *text = std::string(buffer, std::find(buffer, buffer + read, '\0'));
  }
  return status;
}

}  // namespace qvx
