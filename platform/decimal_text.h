// The decimal digits of an unsigned number, for the few figures the
// installer shows. std::to_string would do, but its 64-bit form brings a
// digit table and the compiler's 64-bit division routines into the 32-bit
// program, over a kilobyte of its size.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>

namespace qvx {

inline std::string DecimalText(std::uint32_t value) {
  char digits[10];
  char* start = std::end(digits);
  do {
    *--start = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::string(start, std::end(digits));
}

}  // namespace qvx
