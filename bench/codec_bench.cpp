// Measures the codec against independent implementations on one corpus, in
// one run:
//   - expansion speed: our expander against libmspack's, both from memory to
//     memory, on the same compressed files (ours);
//   - check speed: the payload's CRC-32 over those compressed files, which is
//     what the installer reads at start-up before it expands anything;
//   - size: our encoder's output against mscompress's;
//   - packing speed: our encoder against mscompress, both as command-line
//     tools on the same files, and our encoder in process.
// Times are the best of several rounds, which is the figure least disturbed
// by other work on a shared machine.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "payload/lz_expand.h"
#include "payload/payload_check.h"
#include "tests/payload/corpus.h"
#include "tests/payload/mspack_memory.h"
#include "tools/qvxpack/lz_compress.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

double BestSeconds(int rounds, const std::function<void()>& work) {
  double best = 1e100;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

bool Run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  // codec_bench QVXPACK [ROUNDS [LARGEST_DLL]]
  if (argc < 2) {
    std::fprintf(stderr, "usage: codec_bench QVXPACK [ROUNDS [LARGEST_DLL]]\n");
    return 2;
  }
  const std::string qvxpack = argv[1];
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::size_t largestDll = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 2500000;

  std::vector<qvx::test::CorpusFile> corpus = qvx::test::MingwDlls(largestDll, 100);
  corpus.push_back(qvx::test::SomeText());
  corpus.push_back(qvx::test::RandomBytes(256 * 1024, 1));
  std::size_t total = 0;
  std::printf("corpus:\n");
  for (const auto& f : corpus) {
    std::printf("  %-24s %9zu bytes\n", f.name.c_str(), f.bytes.size());
    total += f.bytes.size();
  }
  std::printf("  %-24s %9zu bytes\n\n", "total", total);

  // Packing in process, and the compressed files both expanders then read.
  std::vector<Bytes> ours(corpus.size());
  const double packInProcess = BestSeconds(std::max(1, rounds / 2), [&] {
    for (std::size_t i = 0; i < corpus.size(); ++i)
      ours[i] = qvx::pack::LzCompressFile(corpus[i].bytes);
  });

  // Expansion, memory to memory.
  Bytes out(total);
  const double expandOurs = BestSeconds(rounds, [&] {
    for (std::size_t i = 0; i < corpus.size(); ++i) {
      if (qvx::LzExpandFile(ours[i], out.data(), out.size()) != corpus[i].bytes.size())
        std::abort();
    }
  });
  qvx::test::MspackExpander mspack;
  std::vector<Bytes> mspackOut(corpus.size());
  const double expandMspack = BestSeconds(rounds, [&] {
    for (std::size_t i = 0; i < corpus.size(); ++i) {
      if (!mspack.Expand(ours[i], &mspackOut[i])) std::abort();
    }
  });
  for (std::size_t i = 0; i < corpus.size(); ++i) {
    if (mspackOut[i] != corpus[i].bytes) std::abort();
  }

  // The check value over the compressed files, as the installer computes it.
  std::size_t compressedTotal = 0;
  for (const Bytes& file : ours) compressedTotal += file.size();
  volatile std::uint32_t sink = 0;
  const double check = BestSeconds(rounds, [&] {
    qvx::Crc32 crc;
    for (const Bytes& file : ours) crc.Update(file);
    sink = crc.Value();
  });
  (void)sink;

  // Both command-line tools on the same files, each file once.
  const fs::path dir = fs::temp_directory_path() / ("qvx-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::size_t oursSize = 0;
  std::size_t msSize = 0;
  double oursCli = 0;
  double msCli = 0;
  std::printf("%-24s %10s %10s %10s %9s %9s\n", "file", "size", "qvxpack", "mscompress",
              "qvxpack s", "msc. s");
  for (std::size_t i = 0; i < corpus.size(); ++i) {
    const fs::path in = dir / ("f" + std::to_string(i));
    WriteFile(in, corpus[i].bytes);
    const fs::path packed = dir / ("f" + std::to_string(i) + ".q");
    const double tOurs = BestSeconds(1, [&] {
      if (!Run(qvxpack + " compress " + in.string() + " " + packed.string())) std::abort();
    });
    const double tMs = BestSeconds(1, [&] {
      if (!Run("mscompress " + in.string())) std::abort();
    });
    const Bytes msFile = ReadFile(in.string() + "_");
    if (ReadFile(packed) != ours[i]) std::abort();
    oursSize += ours[i].size();
    msSize += msFile.size();
    oursCli += tOurs;
    msCli += tMs;
    std::printf("%-24s %10zu %10zu %10zu %9.3f %9.3f\n", corpus[i].name.c_str(),
                corpus[i].bytes.size(), ours[i].size(), msFile.size(), tOurs, tMs);
  }
  fs::remove_all(dir);

  const double mb = static_cast<double>(total) / 1e6;
  std::printf("\nexpansion, memory to memory (best of %d):\n", rounds);
  std::printf("  ours       %8.4f s  %8.1f MB/s\n", expandOurs, mb / expandOurs);
  std::printf("  libmspack  %8.4f s  %8.1f MB/s\n", expandMspack, mb / expandMspack);
  std::printf("  ours is %.2f times as fast\n", expandMspack / expandOurs);
  std::printf("check value (CRC-32) over the same compressed files, %zu bytes (best of %d):\n",
              compressedTotal, rounds);
  std::printf("  check      %8.4f s  %8.1f MB/s of compressed bytes\n", check,
              static_cast<double>(compressedTotal) / 1e6 / check);
  std::printf("  the check takes %.1f%% of the expansion's time\n", 100.0 * check / expandOurs);
  std::printf("size:\n");
  std::printf("  qvxpack %zu, mscompress %zu: %.2f%% smaller\n", oursSize, msSize,
              100.0 * (1.0 - static_cast<double>(oursSize) / static_cast<double>(msSize)));
  std::printf("packing:\n");
  std::printf("  qvxpack compress  %8.3f s  %6.2f MB/s\n", oursCli, mb / oursCli);
  std::printf("  mscompress        %8.3f s  %6.2f MB/s\n", msCli, mb / msCli);
  std::printf("  in process        %8.3f s  %6.2f MB/s\n", packInProcess, mb / packInProcess);
  std::printf("  qvxpack is %.1f times as fast (%.1f in process)\n", msCli / oursCli,
              msCli / packInProcess);
  return 0;
}
