// Each operation is the advapi32 call it names, with our key handles
// converted to and from HKEY.
#include <windows.h>

#include "platform/win32/win32_shell_backends.h"
#include "platform/win_values.h"

namespace qvx {

static_assert(kErrorMoreData == ERROR_MORE_DATA);
static_assert(kRegOptionNonVolatile == REG_OPTION_NON_VOLATILE && kKeyAllAccess == KEY_ALL_ACCESS &&
              kRegNone == REG_NONE && kRegSz == REG_SZ && kRegExpandSz == REG_EXPAND_SZ &&
              kRegBinary == REG_BINARY && kRegDword == REG_DWORD);
static_assert(sizeof(HKEY) == sizeof(RegKey));

namespace {

// The predefined roots are 32-bit values that Windows sign-extends in a 64-bit
// HKEY, so they are mapped by name rather than by cast.
HKEY ToHkey(RegKey key) {
  if (key == kHkeyCurrentUser) return HKEY_CURRENT_USER;
  if (key == kHkeyLocalMachine) return HKEY_LOCAL_MACHINE;
  return reinterpret_cast<HKEY>(key);
}

RegKey FromHkey(HKEY key) { return reinterpret_cast<RegKey>(key); }

}  // namespace

std::int32_t Win32Registry::RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) {
  HKEY key = nullptr;
  LONG status = ::RegOpenKeyA(ToHkey(parent), subKey, &key);
  *result = status == ERROR_SUCCESS ? FromHkey(key) : kNullKey;
  return status;
}

std::int32_t Win32Registry::RegCreateKeyExA(RegKey parent, const char* subKey,
                                            std::uint32_t options, std::uint32_t desiredAccess,
                                            RegKey* result, std::uint32_t* disposition) {
  HKEY key = nullptr;
  DWORD created = 0;
  LONG status = ::RegCreateKeyExA(ToHkey(parent), subKey, 0, nullptr, options, desiredAccess,
                                  nullptr, &key, &created);
  if (status == ERROR_SUCCESS) {
    *result = FromHkey(key);
    if (disposition) *disposition = created;
  }
  return status;
}

std::int32_t Win32Registry::RegSetValueExA(RegKey key, const char* valueName, std::uint32_t type,
                                           const void* data, std::uint32_t size) {
  return ::RegSetValueExA(ToHkey(key), valueName, 0, type, static_cast<const BYTE*>(data), size);
}

std::int32_t Win32Registry::RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type,
                                             void* data, std::uint32_t* size) {
  DWORD valueType = 0;
  DWORD valueSize = size ? *size : 0;
  LONG status = ::RegQueryValueExA(ToHkey(key), valueName, nullptr, &valueType,
                                   static_cast<BYTE*>(data), size ? &valueSize : nullptr);
  if (type) *type = valueType;
  if (size) *size = valueSize;
  return status;
}

std::int32_t Win32Registry::RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

}  // namespace qvx
