#include "platform/ansi_path.h"

namespace qvx {

namespace {

// The index of the last character, or npos for empty text.
std::size_t LastCharacter(LeadByteTest isLead, std::string_view text) {
  std::size_t last = std::string_view::npos;
  for (std::size_t at = 0; at < text.size(); at = NextCharacter(isLead, text, at)) last = at;
  return last;
}

}  // namespace

std::string AsciiUpper(LeadByteTest isLead, std::string_view text) {
  std::string upper(text);
  for (std::size_t at = 0; at < upper.size(); at = NextCharacter(isLead, upper, at)) {
    upper[at] = AsciiUpper(upper[at]);  // a lead byte is never a letter
  }
  return upper;
}

std::size_t NextCharacter(LeadByteTest isLead, std::string_view text, std::size_t at) {
  return isLead(text[at]) && at + 1 < text.size() ? at + 2 : at + 1;
}

std::size_t FindFirstOf(LeadByteTest isLead, std::string_view text, std::string_view chars) {
  for (std::size_t at = 0; at < text.size(); at = NextCharacter(isLead, text, at)) {
    if (chars.find(text[at]) != std::string_view::npos) return at;
  }
  return std::string_view::npos;
}

std::size_t FindLastOf(LeadByteTest isLead, std::string_view text, std::string_view chars) {
  std::size_t found = std::string_view::npos;
  for (std::size_t at = 0; at < text.size(); at = NextCharacter(isLead, text, at)) {
    if (chars.find(text[at]) != std::string_view::npos) found = at;
  }
  return found;
}

bool EndsWithBackslash(LeadByteTest isLead, std::string_view text) {
  const std::size_t last = LastCharacter(isLead, text);
  return last != std::string_view::npos && last + 1 == text.size() && text[last] == '\\';
}

bool RemoveTrailingBackslash(LeadByteTest isLead, std::string& text) {
  if (!EndsWithBackslash(isLead, text)) return false;
  text.pop_back();
  return true;
}

bool EqualIgnoringAsciiCase(LeadByteTest isLead, std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t at = 0; at < a.size();) {
    const std::size_t next = NextCharacter(isLead, a, at);
    if (next - at == 2) {
      // Both bytes exactly; a's lead byte equal to b's makes b's character
      // two bytes as well, so the walk stays in step with b.
      if (a[at] != b[at] || a[at + 1] != b[at + 1]) return false;
    } else if (AsciiUpper(a[at]) != AsciiUpper(b[at])) {
      return false;
    }
    at = next;
  }
  return true;
}

std::string_view WithoutSplitCharacter(LeadByteTest isLead, std::string_view text) {
  const std::size_t last = LastCharacter(isLead, text);
  if (last != std::string_view::npos && last + 1 == text.size() && isLead(text[last])) {
    return text.substr(0, last);
  }
  return text;
}

}  // namespace qvx
