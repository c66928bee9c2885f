// The stack protector's guard of every Windows program of ours. Code compiled
// with -fstack-protector-strong copies the guard into each frame that holds an
// array or a local whose address is taken, and compares the copy before the
// function returns: an overrun of the frame changes the copy, and the process
// ends at once instead of returning into whatever the overrun wrote.
#pragma once

namespace qvx {

// Gives the guard a value that an attacker cannot predict. Call it first in
// the process's entry point, before any protected function: a function that
// is running when the guard changes would fail its check on return. The
// caller must not be protected itself, nor return afterwards.
void SeedStackGuard();

}  // namespace qvx
