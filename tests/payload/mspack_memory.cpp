#include "tests/payload/mspack_memory.h"

#include <mspack.h>

#include <cstdlib>
#include <cstring>

namespace qvx::test {
namespace {

// libmspack opens files by name through its mspack_system; here a name is
// the address of one of these.
struct MemoryFile {
  const std::uint8_t* input = nullptr;  // read side
  std::size_t inputSize = 0;
  std::vector<std::uint8_t>* output = nullptr;  // write side
  std::size_t size = 0;                         // bytes written
  std::size_t position = 0;
};

mspack_file* Open(mspack_system*, const char* name, int) {
  // The same record serves the one open the decoder makes of each name.
  auto* file = reinterpret_cast<MemoryFile*>(const_cast<char*>(name));
  file->position = 0;
  return reinterpret_cast<mspack_file*>(file);
}

void Close(mspack_file*) {}

int Read(mspack_file* handle, void* buffer, int bytes) {
  auto* file = reinterpret_cast<MemoryFile*>(handle);
  if (file->input == nullptr || bytes < 0) return -1;
  std::size_t n = std::min<std::size_t>(bytes, file->inputSize - file->position);
  std::memcpy(buffer, file->input + file->position, n);
  file->position += n;
  return static_cast<int>(n);
}

int Write(mspack_file* handle, void* buffer, int bytes) {
  auto* file = reinterpret_cast<MemoryFile*>(handle);
  if (file->output == nullptr || bytes < 0) return -1;
  const std::size_t end = file->size + static_cast<std::size_t>(bytes);
  if (file->output->size() < end) file->output->resize(end);
  std::memcpy(file->output->data() + file->size, buffer, static_cast<std::size_t>(bytes));
  file->size = end;
  return bytes;
}

int Seek(mspack_file* handle, off_t offset, int mode) {
  auto* file = reinterpret_cast<MemoryFile*>(handle);
  const off_t size = static_cast<off_t>(file->input ? file->inputSize : file->size);
  off_t base = 0;
  if (mode == MSPACK_SYS_SEEK_CUR) base = static_cast<off_t>(file->position);
  if (mode == MSPACK_SYS_SEEK_END) base = size;
  const off_t target = base + offset;
  if (target < 0 || target > size) return -1;
  file->position = static_cast<std::size_t>(target);
  return 0;
}

off_t Tell(mspack_file* handle) {
  return static_cast<off_t>(reinterpret_cast<MemoryFile*>(handle)->position);
}

void Message(mspack_file*, const char*, ...) {}
void* Alloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void Free(void* p) { std::free(p); }
void Copy(void* src, void* dst, size_t bytes) { std::memmove(dst, src, bytes); }

}  // namespace

MspackExpander::MspackExpander()
    : system_(new mspack_system{Open, Close, Read, Write, Seek, Tell, Message, Alloc, Free, Copy,
                                nullptr}),
      decompressor_(mspack_create_szdd_decompressor(system_)) {}

MspackExpander::~MspackExpander() {
  if (decompressor_ != nullptr) mspack_destroy_szdd_decompressor(decompressor_);
  delete system_;
}

bool MspackExpander::Expand(std::span<const std::uint8_t> file, std::vector<std::uint8_t>* out) {
  if (decompressor_ == nullptr) return false;
  MemoryFile in;
  in.input = file.data();
  in.inputSize = file.size();
  MemoryFile result;
  result.output = out;
  const int status = decompressor_->decompress(decompressor_, reinterpret_cast<const char*>(&in),
                                               reinterpret_cast<const char*>(&result));
  if (status != MSPACK_ERR_OK) return false;
  out->resize(result.size);
  return true;
}

}  // namespace qvx::test
