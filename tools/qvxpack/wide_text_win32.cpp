#include <windows.h>

#include "tools/qvxpack/wide_text.h"

namespace qvx::pack {

std::wstring Widen(const std::string& utf8) {
  const int size = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), units);
  return wide;
}

std::string Narrow(const wchar_t* utf16) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return "";
  std::string text(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16, -1, text.data(), bytes, nullptr, nullptr);
  text.pop_back();  // the terminating zero
  return text;
}

}  // namespace qvx::pack
