// qvxpack.exe keeps text in UTF-8, as the Linux tool does, so that a file
// name outside the ANSI code page reaches the file calls and the messages
// whole; the Win32 calls it makes take UTF-16.
#pragma once

#include <string>

namespace qvx::pack {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const wchar_t* utf16);

}  // namespace qvx::pack
