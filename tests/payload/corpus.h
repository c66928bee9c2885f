// Inputs for round trips and cross-checks: Windows DLLs from the MinGW-w64
// packages, a text, random bytes and shapes that stress the window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvx::test {

struct CorpusFile {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

// The DLLs found under /usr/lib/gcc/i686-w64-mingw32/ of at most maxSize
// bytes, smallest first, at most count of them.
std::vector<CorpusFile> MingwDlls(std::size_t maxSize, std::size_t count);

// A plain-text file of the system (a licence text), or generated prose.
CorpusFile SomeText();

// Random bytes, the same for the same seed.
CorpusFile RandomBytes(std::size_t size, std::uint32_t seed);

// Synthetic shapes: runs, short periods, spaces, long repeats far apart.
std::vector<CorpusFile> Shapes();

}  // namespace qvx::test
