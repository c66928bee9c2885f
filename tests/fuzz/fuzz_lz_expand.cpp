// Fuzz target: the expander against the plain step-at-a-time expansion, on
// any stream, any capacity and any split into pieces; whole files, which
// must either fail or yield exactly their stated size; and the most a stream
// of its length can yield, which no stream exceeds.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "payload/lz_expand.h"
#include "tests/payload/reference_expand.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  // The first two bytes choose the capacity, the third where to cut.
  const std::size_t capacity = data[0] | static_cast<std::size_t>(data[1]) << 8;
  const std::span<const std::uint8_t> stream(data + 3, size - 3);
  const std::size_t cut = stream.empty() ? 0 : data[2] % (stream.size() + 1);

  // Exactly capacity bytes, so that a write past it is caught.
  std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[capacity]);
  const std::vector<std::uint8_t> expected = qvx::test::ReferenceExpand(stream, capacity);

  qvx::LzExpander whole(out.get(), capacity);
  whole.Feed(stream);
  whole.Finish();
  if (whole.count() != expected.size() ||
      !std::equal(expected.begin(), expected.end(), out.get())) {
    std::abort();
  }

  qvx::LzExpander pieces(out.get(), capacity);
  pieces.Feed(stream.subspan(0, cut));
  pieces.Feed(stream.subspan(cut));
  pieces.Finish();
  if (pieces.count() != expected.size() ||
      !std::equal(expected.begin(), expected.end(), out.get())) {
    std::abort();
  }

  // The same bytes as a whole file, with a header in front.
  std::vector<std::uint8_t> file(qvx::kLzSignature.begin(), qvx::kLzSignature.end());
  file.push_back(qvx::kLzModeA);
  file.push_back(0);
  const std::uint32_t stated = static_cast<std::uint32_t>(data[2]) * 7;
  for (int shift = 0; shift < 32; shift += 8) file.push_back(std::uint8_t(stated >> shift));
  file.insert(file.end(), stream.begin(), stream.end());
  const std::size_t count = qvx::LzExpandFile(file, out.get(), capacity);
  const std::vector<std::uint8_t> plain = qvx::test::ReferenceExpand(stream, 1 << 20);
  // No stream yields more than its length allows.
  if (plain.size() > qvx::LzMaxExpandedSize(stream.size())) std::abort();
  const bool sound = stated > 0 && stated <= capacity && plain.size() == stated;
  if (count != (sound ? stated : 0)) std::abort();
  if (sound && !std::equal(plain.begin(), plain.end(), out.get())) std::abort();
  return 0;
}
