#!/usr/bin/env bash
# make-product.sh SAMPLE_DIR OUT_DIR PROGRAM_BYTES
#
# A vendor's product folder for tests and measurements: the six files of
# SAMPLE_DIR, with QVX.exe grown to PROGRAM_BYTES by appending the bytes of
# MinGW-w64 runtime DLLs after the program (data after a program's sections
# is ignored by Windows, so it still runs). The same machine gives the same
# bytes every time.
set -euo pipefail
if [ $# -ne 3 ]; then
  echo "usage: $0 SAMPLE_DIR OUT_DIR PROGRAM_BYTES" >&2
  exit 2
fi
sample=$1 out=$2 bytes=$3
mkdir -p "$out"
for name in QVX.exe QVX.hlp QVX.cnt QvxUninstall.exe default.rex default.stg; do
  cp "$sample/$name" "$out/$name"
done
program_size=$(stat -c %s "$sample/QVX.exe")
if [ "$bytes" -gt "$program_size" ]; then
  # Sorted by name, so that the filler does not depend on the directory order.
  # head stops reading early, which ends cat with SIGPIPE: not a failure here.
  (find /usr/lib/gcc/i686-w64-mingw32 -name '*.dll' -print0 | sort -z | xargs -0 cat 2>/dev/null || true) |
    head -c $((bytes - program_size)) >>"$out/QVX.exe"
fi
actual=$(stat -c %s "$out/QVX.exe")
[ "$actual" -eq "$bytes" ] || [ "$bytes" -le "$program_size" ] ||
  { echo "make-product: only $actual bytes of filler found for QVX.exe" >&2; exit 1; }
