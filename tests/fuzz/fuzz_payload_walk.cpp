// Fuzz target: the payload walk over any bytes never leaves them, and every
// entry it hands out either expands to its stated size or fails, as its
// soundness check foretells; there is no expansion buffer when an entry is
// too large for the installer.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "payload/lz_expand.h"
#include "payload/payload_check.h"
#include "payload/payload_reader.h"
#include "payload/target_names.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly size bytes, so that a read past the end is caught, with
  // their check value after them as qvxpack writes it: the start-up check
  // must then take them only when the walk finds no broken entry.
  qvx::PayloadIntact({data, size});
  qvx::Crc32 crc;
  crc.Update({data, size});
  const auto trailer = qvx::CheckTrailer(crc.Value());
  std::vector<std::uint8_t> bytes(data, data + size);
  bytes.insert(bytes.end(), trailer.begin(), trailer.end());
  size = bytes.size();
  const std::span<const std::uint8_t> payload(bytes);
  bool whole = true;

  std::size_t visited = 0;
  bool tooLarge = false;  // an entry the installer cannot count
  for (qvx::PayloadWalk walk(payload); walk.HasNextEntry(); walk.Advance()) {
    const qvx::PayloadEntry& e = walk.Entry();
    if (walk.Index() != visited++ || visited > qvx::kTargetCount) std::abort();
    whole = whole && e.kind == qvx::EntryKind::Entry;
    if (e.kind != qvx::EntryKind::Entry) continue;
    if (e.body.data() < payload.data() || e.body.data() + e.body.size() > payload.data() + size ||
        e.body.size() < qvx::kStoredHeaderSize) {
      std::abort();
    }
    const std::uint32_t stated = e.expandedSize();
    tooLarge = tooLarge || stated > qvx::kMaxExpandedEntrySize;
    if (stated > (1u << 20)) continue;
    std::vector<std::uint8_t> out(stated);
    qvx::LzFileExpander expander(out.data(), out.size());
    expander.Feed(qvx::kLeftOutSignature);
    expander.Feed(e.body);
    const std::size_t count = expander.Finish();
    if (count != 0 && count != stated) std::abort();
    if (stated != 0 && e.Sound() != (count == stated)) std::abort();
  }
  if (qvx::PayloadIntact(payload) && !whole) std::abort();
  if (qvx::EntriesWithinExpandableSize(payload) == tooLarge) std::abort();
  return 0;
}
