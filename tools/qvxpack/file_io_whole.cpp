// The parts of file_io.h that are the same on every system: the whole-file
// operations, which stand on FileReader and AtomicFileWriter, and the list of
// outputs being written, which each system's AtomicFileWriter keeps.
#include "tools/qvxpack/file_io.h"

namespace qvx::pack {
namespace {

// The outputs being written, the latest first. Linked through the writers
// themselves, so that any number fits and nothing is allocated.
AtomicFileWriter* g_partials = nullptr;

}  // namespace

void AtomicFileWriter::Track() {
  nextPartial_ = g_partials;
  g_partials = this;
}

void AtomicFileWriter::Untrack() {
  for (AtomicFileWriter** at = &g_partials; *at != nullptr; at = &(*at)->nextPartial_) {
    if (*at == this) {
      *at = nextPartial_;
      nextPartial_ = nullptr;
      return;
    }
  }
}

void ForEachPartialOutput(void (*visit)(const char* temporary)) {
  for (const AtomicFileWriter* writer = g_partials; writer; writer = writer->nextPartial_) {
    visit(writer->temp_.c_str());
  }
}

bool ReadWholeFile(const std::string& path, std::uint64_t maxSize, std::vector<std::uint8_t>* data,
                   std::string* error) {
  FileReader file;
  if (!file.Open(path, maxSize, error)) return false;
  data->resize(static_cast<std::size_t>(file.size()));
  std::size_t done = 0;
  while (done < data->size()) {
    std::size_t got = 0;
    if (!file.Read(data->data() + done, data->size() - done, &got) || got == 0) {
      *error =
          got == 0 && file.error().empty() ? path + ": changed while being read" : file.error();
      return false;
    }
    done += got;
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> data,
                         std::string* error, std::uint32_t mode) {
  AtomicFileWriter out;
  if (!out.Create(path, error, mode)) return false;
  if (!out.Write(data) || !out.Commit()) {
    *error = out.error();
    return false;
  }
  return true;
}

}  // namespace qvx::pack
