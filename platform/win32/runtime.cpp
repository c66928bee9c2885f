// The few pieces of the C and C++ runtime that the installer uses, kept
// small:
// - libstdc++'s failure helpers and operator new throw, and throwing pulls in
//   the unwinder and the locale code, ten times the size of the program. Here
//   every failure ends the process at once; the program never relies on
//   recovering from one (running out of memory or a broken container
//   invariant is fatal either way).
// - The process entry point. The program reads no command line and no
//   environment and starts no threads, so the CRT's start-up (argument
//   parsing, thread-local storage callbacks, floating-point set-up, runtime
//   relocation of imported data) has nothing to do here. It gives the stack
//   guard its value, runs the static constructors, then the program's body,
//   QvxMain, then the destructors the constructors registered with atexit.
//   The body is not called main: GCC would call libgcc's __main at its top,
//   whose constructor list and exit handling this entry point does itself.
#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <new>

#include "platform/win32/stack_guard.h"

namespace {

[[noreturn]] void Fail() { std::abort(); }

void* Allocate(std::size_t size) {
  void* memory = std::malloc(size != 0 ? size : 1);
  if (memory == nullptr) Fail();
  return memory;
}

}  // namespace

namespace std {

void __throw_bad_alloc() { Fail(); }
void __throw_bad_array_new_length() { Fail(); }
void __throw_bad_function_call() { Fail(); }
void __throw_length_error(const char*) { Fail(); }
void __throw_logic_error(const char*) { Fail(); }
void __throw_out_of_range(const char*) { Fail(); }
void __throw_out_of_range_fmt(const char*, ...) { Fail(); }
void __throw_invalid_argument(const char*) { Fail(); }
void __throw_domain_error(const char*) { Fail(); }
void __throw_overflow_error(const char*) { Fail(); }
void __throw_underflow_error(const char*) { Fail(); }
void __throw_range_error(const char*) { Fail(); }
void __throw_runtime_error(const char*) { Fail(); }
void __throw_system_error(int) { Fail(); }

}  // namespace std

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

// A call through an unfinished object's pure virtual slot.
extern "C" void __cxa_pure_virtual() { Fail(); }

namespace {

// Room for every static object with a destructor that the program holds (it
// holds none today); a registration beyond it is refused, as atexit may.
void (*exitHandlers[8])();
int exitHandlerCount = 0;

}  // namespace

extern "C" int atexit(void (*handler)()) {
  if (exitHandlerCount == static_cast<int>(sizeof exitHandlers / sizeof exitHandlers[0])) return -1;
  exitHandlers[exitHandlerCount++] = handler;
  return 0;
}

// The static constructors, which the linker lists between a -1 and a 0. GCC's
// own start-up runs them from the last to the first, and so does this.
extern "C" void (*__CTOR_LIST__[])();

void RunConstructors() {
  std::size_t count = 0;
  while (__CTOR_LIST__[count + 1] != nullptr) ++count;
  for (; count > 0; --count) __CTOR_LIST__[count]();
}

int QvxMain();

// The entry point named in the link (QvxEntry). The stack is realigned: the
// system makes no promise about its alignment at this point.
extern "C" [[noreturn]] __attribute__((force_align_arg_pointer, no_stack_protector)) void
QvxEntry() {
  qvx::SeedStackGuard();
  RunConstructors();
  int status = QvxMain();
  while (exitHandlerCount > 0) exitHandlers[--exitHandlerCount]();
  ExitProcess(static_cast<unsigned int>(status));
}
