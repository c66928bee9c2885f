#include "platform/ansi_path.h"

namespace qvx {

namespace {

char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsLead(System& system, char c) {
  return system.IsDBCSLeadByte(static_cast<std::uint8_t>(c));
}

// The index of the last character, or npos for empty text.
std::size_t LastCharacter(System& system, std::string_view text) {
  std::size_t last = std::string_view::npos;
  for (std::size_t at = 0; at < text.size(); at = NextCharacter(system, text, at)) last = at;
  return last;
}

}  // namespace

std::size_t NextCharacter(System& system, std::string_view text, std::size_t at) {
  return IsLead(system, text[at]) && at + 1 < text.size() ? at + 2 : at + 1;
}

std::size_t FindFirstOf(System& system, std::string_view text, std::string_view chars) {
  for (std::size_t at = 0; at < text.size(); at = NextCharacter(system, text, at)) {
    if (chars.find(text[at]) != std::string_view::npos) return at;
  }
  return std::string_view::npos;
}

std::size_t FindLastOf(System& system, std::string_view text, std::string_view chars) {
  std::size_t found = std::string_view::npos;
  for (std::size_t at = 0; at < text.size(); at = NextCharacter(system, text, at)) {
    if (chars.find(text[at]) != std::string_view::npos) found = at;
  }
  return found;
}

bool EndsWithBackslash(System& system, std::string_view text) {
  const std::size_t last = LastCharacter(system, text);
  return last != std::string_view::npos && last + 1 == text.size() && text[last] == '\\';
}

bool RemoveTrailingBackslash(System& system, std::string& text) {
  if (!EndsWithBackslash(system, text)) return false;
  text.pop_back();
  return true;
}

bool EqualIgnoringAsciiCase(System& system, std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t at = 0; at < a.size();) {
    const std::size_t next = NextCharacter(system, a, at);
    if (next - at == 2) {
      // Both bytes exactly; a's lead byte equal to b's makes b's character
      // two bytes as well, so the walk stays in step with b.
      if (a[at] != b[at] || a[at + 1] != b[at + 1]) return false;
    } else if (FoldAscii(a[at]) != FoldAscii(b[at])) {
      return false;
    }
    at = next;
  }
  return true;
}

std::string_view WithoutSplitCharacter(System& system, std::string_view text) {
  const std::size_t last = LastCharacter(system, text);
  if (last != std::string_view::npos && last + 1 == text.size() && IsLead(system, text[last])) {
    return text.substr(0, last);
  }
  return text;
}

}  // namespace qvx
