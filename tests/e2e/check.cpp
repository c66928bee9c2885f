#include "check.h"

#include <stdarg.h>
#include <stdio.h>

namespace {
int failures = 0;

void Print(const char* tag, const char* format, va_list args) {
  printf("%s ", tag);
  vprintf(format, args);
  printf("\n");
  fflush(stdout);
}
}  // namespace

bool Expect(bool ok, const char* format, ...) {
  va_list args;
  va_start(args, format);
  Print(ok ? "ok  " : "FAIL", format, args);
  va_end(args);
  if (!ok) ++failures;
  return ok;
}

bool ExpectText(const std::string& actual, const std::string& expected, const char* what) {
  if (actual == expected) return Expect(true, "%s is \"%s\"", what, Visible(actual).c_str());
  return Expect(false, "%s is \"%s\", expected \"%s\"", what, Visible(actual).c_str(),
                Visible(expected).c_str());
}

void Info(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Print("    ", format, args);
  va_end(args);
}

int FailureCount() { return failures; }

std::string Visible(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}
