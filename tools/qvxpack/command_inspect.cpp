// list, verify and unpack: what a payload, or the payload of a built
// installer, holds.
#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "payload/lz_expand.h"
#include "payload/payload_check.h"
#include "payload/payload_reader.h"
#include "payload/target_names.h"
#include "tools/qvxpack/commands.h"
#include "tools/qvxpack/file_io.h"
#include "tools/qvxpack/payload_builder.h"
#include "tools/qvxpack/pe_image.h"
#include "tools/qvxpack/pe_resource.h"

namespace qvx::pack {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Checks the payload's structure: the entries the installer walks are whole
// and sound, their streams yielding exactly the sizes they claim. *count
// receives their number.
bool CheckStructure(const std::string& path, std::span<const std::uint8_t> payload,
                    std::size_t* count, std::string* error) {
  PayloadWalk walk(payload);
  for (; walk.HasNextEntry(); walk.Advance()) {
    const PayloadEntry& e = walk.Entry();
    std::string problem;
    if (e.kind == EntryKind::Broken && e.length > 0 && e.length < kStoredHeaderSize) {
      problem = "is " + std::to_string(e.length) + " bytes long, shorter than its " +
                std::to_string(kStoredHeaderSize) + " header bytes";
    } else if (e.kind == EntryKind::Broken) {
      problem = "runs past the end";
    } else if (!e.Sound()) {
      const auto stream = e.body.subspan(kStoredHeaderSize);
      problem = LzExpandedCount(stream) == e.expandedSize()
                    ? "has another signature or mode in its header"
                    : ClaimAndYield(e.expandedSize(), stream);
    }
    if (!problem.empty()) {
      *error = path + ": corrupt or truncated payload: entry " + std::to_string(walk.Index()) +
               " at offset " + std::to_string(e.offset) + " " + problem;
      return false;
    }
  }
  *count = walk.Index();
  return true;
}

// True when a file that is no executable starts or ends as a payload does,
// whole or not: its first entry's body begins with the signature's second
// half, or it ends in a check value, or it is an empty payload.
bool LooksLikePayload(std::span<const std::uint8_t> file) {
  const auto secondHalf = std::span(kLzSignature).subspan(kLeftOutSignature.size());
  return CheckPayload(file).state != CheckState::Unreadable ||
         (file.size() >= kEntryLengthSize + secondHalf.size() &&
          std::equal(secondHalf.begin(), secondHalf.end(), file.begin() + kEntryLengthSize));
}

// A payload file, or an executable, read whole; payload points into file,
// and count is the number of entries the installer walks.
struct LoadedPayload {
  Bytes file;
  std::span<const std::uint8_t> payload;
  std::size_t count = 0;
};

// Reads a payload file, or the payload resource of an executable, and checks
// its structure.
bool LoadPayload(const std::string& path, LoadedPayload* loaded, std::string* error) {
  Bytes& file = loaded->file;
  if (!ReadWholeFile(path, kMaxInputSize, &file, error)) return false;
  if (!LooksLikeExecutable(file)) {
    if (!LooksLikePayload(file)) {
      *error = path + ": not a payload or a Quorvex installer";
      return false;
    }
    loaded->payload = file;
  } else if (!FindResource(file, kRtRcData, kPayloadResourceId, kLangEnglishUs, &loaded->payload,
                           error)) {
    *error = path + ": " + *error;
    return false;
  }
  return CheckStructure(path, loaded->payload, &loaded->count, error);
}

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

// What lies after a terminator that is not followed by a check value, or
// where the entries end without one.
std::string DescribeEnd(std::span<const std::uint8_t> payload, const PayloadCheck& check) {
  const std::string after = " after " + std::to_string(check.entries) + " entries";
  if (!check.terminated) {
    return "entry " + std::to_string(check.entries) + " at offset " +
           std::to_string(check.chainEnd) + " runs past the end and no check value follows";
  }
  const auto tail = payload.subspan(check.chainEnd);
  if (std::all_of(tail.begin(), tail.end(), [](std::uint8_t b) { return b == 0; })) {
    return "the payload ends in " + std::to_string(tail.size()) + " zero bytes" + after +
           ": cut short or damaged";
  }
  return std::to_string(tail.size() - kEntryLengthSize) + " bytes follow the terminator" + after +
         ", and they are no check value: cut off or overwritten";
}

// What the payload's check value says, as one line of text; false when the
// payload is damaged: the value does not hold, or the payload has none and
// does not end as a payload without one must.
bool DescribeCheck(std::span<const std::uint8_t> payload, std::string* text) {
  const PayloadCheck check = CheckPayload(payload);
  switch (check.state) {
    case CheckState::Absent:
      *text = "no check value (the installer takes the payload unchecked)";
      return true;
    case CheckState::Holds:
      *text = "check value CRC-32 " + Hex32(check.stored) + " holds";
      return true;
    case CheckState::Fails:
      *text = "check value does not hold: stored CRC-32 " + Hex32(check.stored) + ", computed " +
              Hex32(check.computed) + ": the payload is corrupt and the installer refuses it";
      return false;
    case CheckState::Unreadable:
      break;
  }
  *text = "no check value, and " + DescribeEnd(payload, check) + "; the installer refuses it";
  return false;
}

}  // namespace

int List(const std::string& path) {
  LoadedPayload loaded;
  std::string error;
  if (!LoadPayload(path, &loaded, &error)) return Report(error);
  const auto payload = loaded.payload;

  std::printf("%10s %10s %10s %7s  %s\n", "offset", "stored", "expanded", "ratio", "name");
  std::uint64_t stored = 0;
  std::uint64_t expanded = 0;
  std::size_t next = 0;
  PayloadWalk walk(payload);
  for (; walk.HasNextEntry(); walk.Advance()) {
    const PayloadEntry& e = walk.Entry();
    const double ratio = e.expandedSize() ? 100.0 * e.length / e.expandedSize() : 0.0;
    std::printf("%10zu %10u %10u %6.1f%%  %s\n", e.offset, e.length, e.expandedSize(), ratio,
                std::string(kTargetNames[walk.Index()]).c_str());
    stored += e.length;
    expanded += e.expandedSize();
    next = e.next();
  }
  std::printf("%zu entries, %llu stored bytes for %llu expanded", loaded.count,
              static_cast<unsigned long long>(stored), static_cast<unsigned long long>(expanded));
  if (EntryAt(payload, next).kind == EntryKind::End) {
    std::printf(", terminator at %zu, payload %zu bytes\n", next, payload.size());
  } else {
    std::printf("; what follows the sixth entry is never read by the installer\n");
  }
  std::string check;
  const bool intact = DescribeCheck(payload, &check);
  std::printf("%s\n", check.c_str());
  return intact ? kExitOk : Report(path + ": " + check);
}

int Verify(const std::string& path, const std::vector<std::string>& inputs) {
  LoadedPayload loaded;
  std::string error;
  if (!LoadPayload(path, &loaded, &error)) return Report(error);
  const auto payload = loaded.payload;
  if (loaded.count != inputs.size()) {
    return Report(path + ": holds " + std::to_string(loaded.count) + " entries, " +
                  std::to_string(inputs.size()) + " files given");
  }
  // A damaged payload fails whatever its entries show; they are still
  // compared, to tell which of them the damage reached.
  std::string check;
  int status = DescribeCheck(payload, &check) ? kExitOk : Report(path + ": " + check);
  if (status == kExitOk) std::printf("ok %s\n", check.c_str());
  PayloadWalk walk(payload);
  for (; walk.HasNextEntry(); walk.Advance()) {
    const std::string& input = inputs[walk.Index()];
    const std::string name(kTargetNames[walk.Index()]);
    const std::string entry = path + ": entry " + std::to_string(walk.Index()) + " (" + name + ")";
    bool same = false;
    if (!EntryMatchesFile(walk.Entry(), input, &same, &error)) return Report(error);
    if (same) {
      std::printf("ok %s\n", name.c_str());
    } else {
      status = Report(entry + " differs from " + input);
    }
  }
  return status;
}

int Unpack(const std::string& path, const std::string& dir, bool force) {
  LoadedPayload loaded;
  std::string error;
  if (!LoadPayload(path, &loaded, &error)) return Report(error);
  const auto payload = loaded.payload;
  // Every entry was checked as it was loaded, and the check value now, so
  // that a corrupt payload leaves no files at all.
  std::string check;
  if (!DescribeCheck(payload, &check)) return Report(path + ": " + check);
  // A file already there stays unless asked otherwise: unpacking into a
  // product folder to get the uninstaller would replace the vendor's own
  // files. All are named, and none is written.
  std::string inTheWay;
  for (PayloadWalk entries(payload); !force && entries.HasNextEntry(); entries.Advance()) {
    const std::string name(kTargetNames[entries.Index()]);
    FileFacts target;
    if (!StatPath(dir + "/" + name, &target, &error)) return Report(error);
    if (target.exists) inTheWay += (inTheWay.empty() ? "" : ", ") + name;
  }
  if (!inTheWay.empty()) {
    return Report(dir + " already holds " + inTheWay +
                  "; nothing was written (unpack --force writes over them)");
  }
  if (!CreateFolder(dir, &error)) return Report(error);
  for (PayloadWalk entries(payload); entries.HasNextEntry(); entries.Advance()) {
    const std::string target = dir + "/" + std::string(kTargetNames[entries.Index()]);
    if (!WriteEntryAtomically(target, entries.Entry(), &error)) return Report(error);
  }
  return kExitOk;
}

}  // namespace qvx::pack
