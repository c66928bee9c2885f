// The failure convention of qvxpack's library code: an operation that fails
// keeps why in the caller's error text and returns false.
#pragma once

#include <string>
#include <utility>

namespace qvx::pack {

inline bool Fail(std::string* error, std::string message) {
  *error = std::move(message);
  return false;
}

}  // namespace qvx::pack
