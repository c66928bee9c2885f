// Outcome bookkeeping of one scenario: every check prints one line, and the
// scenario fails when any check did.
#pragma once

#include <string>

// Prints "ok   what" or "FAIL what" and counts failures; returns ok so that
// a scenario can stop when a later step makes no sense without this one.
bool Expect(bool ok, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));

// An equality check of texts that shows both sides, with CR LF made visible.
bool ExpectText(const std::string& actual, const std::string& expected, const char* what);

void Info(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

int FailureCount();

// Makes CR and LF visible, for messages.
std::string Visible(const std::string& text);
