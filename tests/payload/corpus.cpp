#include "tests/payload/corpus.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace qvx::test {
namespace {

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::vector<CorpusFile> MingwDlls(std::size_t maxSize, std::size_t count) {
  namespace fs = std::filesystem;
  std::vector<fs::path> found;
  std::error_code ec;
  const fs::path root = "/usr/lib/gcc/i686-w64-mingw32";
  for (auto it = fs::recursive_directory_iterator(root, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file() && it->path().extension() == ".dll" && it->file_size() <= maxSize) {
      found.push_back(it->path());
    }
  }
  // Smallest first, one of each name (the posix and win32 variants are
  // nearly the same file).
  std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
    return std::make_pair(fs::file_size(a), a.string()) <
           std::make_pair(fs::file_size(b), b.string());
  });
  std::vector<CorpusFile> files;
  for (const fs::path& p : found) {
    const std::string name = p.filename().string();
    if (std::any_of(files.begin(), files.end(),
                    [&](const CorpusFile& f) { return f.name == name; })) {
      continue;
    }
    if (files.size() == count) break;
    files.push_back({name, ReadAll(p)});
  }
  return files;
}

CorpusFile SomeText() {
  for (const char* path :
       {"/usr/share/common-licenses/GPL-3", "/usr/share/common-licenses/GPL-2", "/etc/services"}) {
    std::vector<std::uint8_t> bytes = ReadAll(path);
    if (!bytes.empty()) return {"text", bytes};
  }
  std::string prose;
  std::mt19937 rng(1);
  const char* words[] = {"the ", "folder ", "install ", "file ", "of ", "a ", "setup ", "\r\n"};
  while (prose.size() < 40000) prose += words[rng() % 8];
  return {"text", std::vector<std::uint8_t>(prose.begin(), prose.end())};
}

CorpusFile RandomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> bytes(size);
  for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(rng());
  return {"random", bytes};
}

std::vector<CorpusFile> Shapes() {
  std::vector<CorpusFile> shapes;
  shapes.push_back({"empty", {}});
  shapes.push_back({"one byte", {'x'}});
  shapes.push_back({"zeros", std::vector<std::uint8_t>(100000, 0)});
  shapes.push_back({"spaces", std::vector<std::uint8_t>(20000, ' ')});
  for (std::size_t period : {2, 3, 5, 7, 17, 19, 4095, 4096, 4097}) {
    std::vector<std::uint8_t> bytes(3 * period + 9000);
    std::mt19937 rng(static_cast<std::uint32_t>(period));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = i < period ? static_cast<std::uint8_t>(rng()) : bytes[i - period];
    }
    shapes.push_back({"period " + std::to_string(period), bytes});
  }
  // Few symbols: many matches of every length, chains of equal keys.
  std::mt19937 rng(3);
  std::vector<std::uint8_t> few(60000);
  for (std::uint8_t& b : few) b = "ab "[rng() % 3];
  shapes.push_back({"three symbols", few});
  return shapes;
}

}  // namespace qvx::test
