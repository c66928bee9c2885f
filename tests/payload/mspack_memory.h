// libmspack's decoder of the compressed-file format, run from memory to
// memory: an independent implementation to check ours against.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

struct mspack_system;
struct msszdd_decompressor;

namespace qvx::test {

class MspackExpander {
 public:
  MspackExpander();
  ~MspackExpander();
  MspackExpander(const MspackExpander&) = delete;
  MspackExpander& operator=(const MspackExpander&) = delete;

  // Expands a whole compressed file (header included) into *out, which is
  // reused as is when large enough. False when libmspack reports an error.
  bool Expand(std::span<const std::uint8_t> file, std::vector<std::uint8_t>* out);

 private:
  mspack_system* system_;
  msszdd_decompressor* decompressor_;
};

}  // namespace qvx::test
