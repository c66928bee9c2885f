#!/usr/bin/env bash
# make-product.sh SAMPLE_DIR OUT_DIR BYTES [binary|text]
#
# A vendor's product folder for tests and measurements: the six files of
# SAMPLE_DIR, with one of them grown to BYTES.
#
# - binary (the default): QVX.exe grows by the bytes of the MinGW-w64 runtime
#   DLLs appended after the program (data after a program's sections is
#   ignored by Windows, so it still runs): code-like data that compresses
#   to about half.
# - text: QVX.hlp grows by the MinGW-w64 C headers: text that compresses to
#   about a third.
#
# The filler is taken again from its start as often as BYTES needs; the
# compressed format's window is 4 KiB, so a repeat megabytes later
# compresses no better than the first pass. Sorted by name, so that the
# filler does not depend on the directory order: the same machine gives the
# same bytes every time. Nothing of it is stored in the repository.
set -euo pipefail
if [ $# -lt 3 ] || [ $# -gt 4 ]; then
  echo "usage: $0 SAMPLE_DIR OUT_DIR BYTES [binary|text]" >&2
  exit 2
fi
sample=$1 out=$2 bytes=$3 kind=${4:-binary}
case $kind in
  binary) grown=QVX.exe source=/usr/lib/gcc/i686-w64-mingw32 pattern='*.dll' ;;
  text) grown=QVX.hlp source=/usr/share/mingw-w64/include pattern='*.h' ;;
  *)
    echo "make-product: the kind is binary or text, not '$kind'" >&2
    exit 2
    ;;
esac
if ! [[ $bytes =~ ^[0-9]+$ ]]; then
  echo "make-product: BYTES must be a whole number" >&2
  exit 2
fi
mkdir -p "$out"
for name in QVX.exe QVX.hlp QVX.cnt QvxUninstall.exe default.rex default.stg; do
  cp "$sample/$name" "$out/$name"
done

files=()
while IFS= read -r -d '' f; do files+=("$f"); done < <(find "$source" -name "$pattern" -print0 | sort -z)
[ ${#files[@]} -gt 0 ] || { echo "make-product: no $pattern under $source" >&2; exit 1; }

have=$(stat -c %s "$out/$grown")
if [ "$bytes" -gt "$have" ]; then
  # head stops reading early, which ends the loop's cat with SIGPIPE: not a
  # failure here.
  (while cat "${files[@]}"; do :; done 2>/dev/null || true) |
    head -c $((bytes - have)) >>"$out/$grown"
fi
actual=$(stat -c %s "$out/$grown")
[ "$actual" -eq "$bytes" ] || [ "$bytes" -le "$have" ] ||
  { echo "make-product: only $actual bytes of filler found for $grown" >&2; exit 1; }
