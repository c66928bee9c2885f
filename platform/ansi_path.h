// Path steps over ANSI text in a code page. In a double-byte code page (932,
// 936, 949, 950) a character is one or two bytes, and the second byte of a
// two-byte character may be 0x5C, the byte of the backslash, or a letter
// byte. So the steps below walk a text forward from its start, one
// character at a time, with the code page's lead-byte test, and look at
// single-byte characters only; a byte is never judged by itself, and no
// text is searched backwards. In a single-byte code page every byte is a
// character.
//
// A lead byte as the last byte of a text (a text cut inside a character)
// counts as one character of its own.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace qvx {

// Whether a byte opens a two-byte character in the code page of the text at
// hand: the system's own (a System stands for it), or any test taking a
// byte. It refers to what it was made from, so it lives no longer than a
// call: pass it on, never keep it.
class LeadByteTest {
 public:
  LeadByteTest(System& system)  // NOLINT(google-explicit-constructor)
      : context_(&system), test_([](const void* context, std::uint8_t byte) {
          return static_cast<System*>(const_cast<void*>(context))->IsDBCSLeadByte(byte);
        }) {}
  template <std::predicate<std::uint8_t> Test>
  LeadByteTest(const Test& test)  // NOLINT(google-explicit-constructor)
      : context_(&test), test_([](const void* context, std::uint8_t byte) {
          return static_cast<bool>((*static_cast<const Test*>(context))(byte));
        }) {}

  bool operator()(char c) const { return test_(context_, static_cast<std::uint8_t>(c)); }

 private:
  const void* context_;
  bool (*test_)(const void* context, std::uint8_t byte);
};

// A-Z for a-z, any other byte as it is: for a byte known to be a character
// of its own, such as the first of a text.
inline char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The text with its single-byte letters in capitals; the bytes of a
// two-byte character stay as they are, so 0x83 0x61 never becomes 0x83 0x41.
std::string AsciiUpper(LeadByteTest isLead, std::string_view text);

// The index of the character after the one at `at` (at < text.size()).
std::size_t NextCharacter(LeadByteTest isLead, std::string_view text, std::size_t at);

// The index of the first / last character that is one of `chars` (single-byte
// characters), or npos.
std::size_t FindFirstOf(LeadByteTest isLead, std::string_view text, std::string_view chars);
std::size_t FindLastOf(LeadByteTest isLead, std::string_view text, std::string_view chars);

inline std::size_t FindFirstBackslash(LeadByteTest isLead, std::string_view text) {
  return FindFirstOf(isLead, text, "\\");
}
inline std::size_t FindLastBackslash(LeadByteTest isLead, std::string_view text) {
  return FindLastOf(isLead, text, "\\");
}

// Whether the last character is a backslash.
bool EndsWithBackslash(LeadByteTest isLead, std::string_view text);
// Removes one trailing backslash character; false when there was none.
bool RemoveTrailingBackslash(LeadByteTest isLead, std::string& text);

// Names compare equal when they have the same characters, single-byte
// letters A-Z matching either case. The two bytes of a double-byte character
// compare exactly: 0x83 0x41 and 0x83 0x61 are two different characters.
bool EqualIgnoringAsciiCase(LeadByteTest isLead, std::string_view a, std::string_view b);

// The text without a lead byte left alone at its end, as a buffer that
// was too short for the whole text leaves it.
std::string_view WithoutSplitCharacter(LeadByteTest isLead, std::string_view text);

}  // namespace qvx
