// The stack protector's guard, its start-up value and its failure routine,
// and the load configuration that tells the system and binary analyzers where
// the guard lies. Nothing here needs more than Windows 95 has.
#include "platform/win32/stack_guard.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The value the image is linked with is the one that loaders recognise as not
// yet randomised (Windows 8 and later, Wine): they replace it with a random
// one before the entry point runs, which the seed below mixes in. Older
// systems leave it as it is.
extern "C" {
std::uintptr_t __stack_chk_guard =
    sizeof(std::uintptr_t) == 8 ? static_cast<std::uintptr_t>(0x00002B992DDFA232ull) : 0xBB40E64Eu;
}

namespace {

// The load configuration's leading fields, up to the SafeSEH table: the loader
// reads as many fields as `size` covers. The image registers no exception
// handler of its own (the 32-bit programs say so with NO_SEH), so the SafeSEH
// table stays empty.
struct LoadConfiguration {
  DWORD size;
  BYTE fieldsBeforeTheCookie[offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, SecurityCookie) - sizeof(DWORD)];
  std::uintptr_t* securityCookie;
  const void* safeSehTable;
  std::uintptr_t safeSehCount;
};
static_assert(offsetof(LoadConfiguration, securityCookie) ==
              offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, SecurityCookie));
static_assert(sizeof(LoadConfiguration) == sizeof(IMAGE_LOAD_CONFIG_DIRECTORY));

// One step of a finalising mix of the guard's width (splitmix64's, murmur3's
// on 32-bit): every bit of the inputs reaches every bit of the result, so that
// no input shows through.
std::uintptr_t Mixed(std::uintptr_t state, std::uint64_t value) {
  if constexpr (sizeof(std::uintptr_t) == 8) {
    std::uint64_t x = state + value + 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::uintptr_t>(x ^ (x >> 31));
  } else {
    std::uint32_t x = static_cast<std::uint32_t>(state + (value ^ (value >> 32)) + 0x9E3779B9u);
    x = (x ^ (x >> 16)) * 0x85EBCA6Bu;
    x = (x ^ (x >> 13)) * 0xC2B2AE35u;
    return x ^ (x >> 16);
  }
}

}  // namespace

// ld fills the load configuration directory from this symbol.
extern "C" constinit const LoadConfiguration _load_config_used = {
    sizeof(LoadConfiguration), {}, &__stack_chk_guard, nullptr, 0};

namespace qvx {

// The time in high resolution (no counter on some Windows 95 machines: then
// zero), the process and thread ids, the tick count and the address of a
// stack variable, which moves with the stack's randomised base.
__attribute__((no_stack_protector)) void SeedStackGuard() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  std::uintptr_t guard = Mixed(__stack_chk_guard, static_cast<std::uint64_t>(counter.QuadPart));
  guard = Mixed(guard, GetCurrentProcessId());
  guard = Mixed(guard, GetCurrentThreadId());
  guard = Mixed(guard, GetTickCount());
  __stack_chk_guard = Mixed(guard, reinterpret_cast<std::uintptr_t>(&counter));
}

}  // namespace qvx

// A protected function found its frame overrun. Its caller's state can no
// longer be trusted, so nothing of the program runs any more: no handler, no
// message, no destructor. The system ends the process at once, with the
// status of a stack buffer overrun. No exception is raised, not even the fast
// fail of Windows 8 (int 0x29): where that is not honoured (32-bit Wine under
// an emulator) it arrives as an ordinary exception, whose dispatch on 32-bit
// Windows walks the handler records of the very stack that was overrun.
extern "C" [[noreturn]] __attribute__((no_stack_protector)) void __stack_chk_fail() {
  for (;;) TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
}
