// Path steps over ANSI text in the system's code page. In a double-byte code
// page (932, 936, 949, 950) a character is one or two bytes, and the second
// byte of a two-byte character may be 0x5C, the byte of the backslash, or a
// letter byte. So the steps below walk a text forward from its start, one
// character at a time, with the system's lead-byte test, and look at
// single-byte characters only; a byte is never judged by itself, and no text
// is searched backwards. In a single-byte code page every byte is a character.
//
// A lead byte as the last byte of a text (a text cut inside a character)
// counts as one character of its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace qvx {

// The index of the character after the one at `at` (at < text.size()).
std::size_t NextCharacter(System& system, std::string_view text, std::size_t at);

// The index of the first / last character that is one of `chars` (single-byte
// characters), or npos.
std::size_t FindFirstOf(System& system, std::string_view text, std::string_view chars);
std::size_t FindLastOf(System& system, std::string_view text, std::string_view chars);

inline std::size_t FindFirstBackslash(System& system, std::string_view text) {
  return FindFirstOf(system, text, "\\");
}
inline std::size_t FindLastBackslash(System& system, std::string_view text) {
  return FindLastOf(system, text, "\\");
}

// Whether the last character is a backslash.
bool EndsWithBackslash(System& system, std::string_view text);
// Removes one trailing backslash character; false when there was none.
bool RemoveTrailingBackslash(System& system, std::string& text);

// Names compare equal when they have the same characters, single-byte
// letters A-Z matching either case. The two bytes of a double-byte character
// compare exactly: 0x83 0x41 and 0x83 0x61 are two different characters.
bool EqualIgnoringAsciiCase(System& system, std::string_view a, std::string_view b);

// The text without a lead byte left alone at its end, as a buffer that
// was too short for the whole text leaves it.
std::string_view WithoutSplitCharacter(System& system, std::string_view text);

}  // namespace qvx
