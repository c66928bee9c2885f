// Writes small executables with a payload resource into a folder, as seeds
// for fuzz_installer_build: random bytes almost never get past the headers.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/payload/synthetic_pe.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  using Bytes = std::vector<std::uint8_t>;
  const std::vector<qvx::test::SyntheticResource> resources = {
      {3, 1, 1033, Bytes(40, 'i')}, {10, 129, 1031, Bytes(7, 'g')}, {10, 129, 1033, Bytes(9, 'p')}};
  const qvx::test::SyntheticLayout layouts[] = {
      {},
      {.pe32Plus = true},
      {.sectionsAfter = {".reloc"}},
      {.pe32Plus = true, .sectionsAfter = {".reloc"}, .certificate = Bytes(64, 0x30)},
  };
  int n = 0;
  for (const qvx::test::SyntheticLayout& layout : layouts) {
    const Bytes image = qvx::test::SyntheticPe(layout, resources);
    const std::string path = std::string(argv[1]) + "/synthetic-" + std::to_string(n++);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size() || std::fclose(f)) {
      std::perror(path.c_str());
      return 1;
    }
  }
  return 0;
}
