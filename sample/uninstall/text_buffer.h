// A fixed-capacity, always zero-terminated text: enough for paths and for
// the removal report, without pulling a string library into a tiny program.
#pragma once

#include <windows.h>

template <int Capacity>
class TextBuffer {
 public:
  TextBuffer() { text_[0] = '\0'; }
  explicit TextBuffer(const char* text) {
    text_[0] = '\0';
    Append(text);
  }

  // Appends what fits; the text is cut off rather than overrun.
  TextBuffer& Append(const char* more) {
    int length = Length();
    while (*more && length < Capacity - 1) text_[length++] = *more++;
    text_[length] = '\0';
    truncated_ = truncated_ || *more != '\0';
    return *this;
  }

  void Clear() {
    text_[0] = '\0';
    truncated_ = false;
  }
  int Length() const { return lstrlenA(text_); }
  bool Empty() const { return text_[0] == '\0'; }
  bool Truncated() const { return truncated_; }
  const char* Get() const { return text_; }
  char* Data() { return text_; }

 private:
  char text_[Capacity];
  bool truncated_ = false;
};

using PathText = TextBuffer<MAX_PATH + 64>;
