#!/usr/bin/env bash
# What `qvxpack build` needs for large products: peak memory (maximum
# resident set, from /usr/bin/time -v), time and output size, for generated
# products whose largest file has SIZE bytes, binary-like and text-like
# (bench/make-product.sh). Products are generated under
# build/bench-scale and never stored; ./test.sh does not run this.
#
#   bench/measure-scale.sh [--qvxpack PATH] [--stub PATH] [SIZE...]
#
# SIZE defaults to 134217728 (128 MiB); 1073741824 (1 GiB) takes minutes and
# a few gigabytes of disk. --qvxpack (default build/host's) lets an older
# build be measured against the same products; --stub defaults to
# build/win64's QvxSetup.exe, whose product is the sample. The builds run one
# after the other; each installer is left as build/bench-scale/setup-SIZE-KIND/
# QvxSetup.exe for bench/measure-install.sh --installer. These are figures, not a test: each output is checked
# with `qvxpack verify`, whose peak memory is printed too, and the limit the
# build's memory is held to (twice the largest file plus 64 MiB) is printed
# beside it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
qvxpack=$root/build/host/tools/qvxpack/qvxpack
stub=$root/build/win64/app/QvxSetup.exe
sizes=()
while [ $# -gt 0 ]; do
  case $1 in
    --qvxpack) qvxpack=$(realpath "$2"); shift 2 ;;
    --stub) stub=$(realpath "$2"); shift 2 ;;
    *)
      [[ $1 =~ ^[0-9]+$ ]] || { echo "SIZE must be a whole number of bytes" >&2; exit 2; }
      sizes+=("$1"); shift ;;
  esac
done
[ ${#sizes[@]} -gt 0 ] || sizes=(134217728)
sample=$(dirname "$stub")/../product
for needed in "$qvxpack" "$stub" "$sample/QVX.exe" /usr/bin/time; do
  [ -e "$needed" ] || { echo "missing $needed" >&2; exit 1; }
done
work=$root/build/bench-scale
mkdir -p "$work"
names=(QVX.exe QVX.hlp QVX.cnt QvxUninstall.exe default.rex default.stg)

printf '%-7s %-6s %12s %10s %12s %9s %12s %11s\n' size kind product "max RSS" "RSS limit" "time" output \
  "verify RSS"
for size in "${sizes[@]}"; do
  for kind in binary text; do
    dir=$work/p$size-$kind
    [ -d "$dir" ] && [ "$(stat -c %s "$dir/$([ $kind = binary ] && echo QVX.exe || echo QVX.hlp)")" = "$size" ] ||
      bench/make-product.sh "$sample" "$dir" "$size" "$kind"
    files=()
    for name in "${names[@]}"; do files+=("$dir/$name"); done
    product=$(cat "${files[@]}" | wc -c)
    # Named as shipped: the installer's message boxes carry its file name.
    mkdir -p "$work/setup-$size-$kind"
    out=$work/setup-$size-$kind/QvxSetup.exe
    log=$work/time-$size-$kind.txt
    /usr/bin/time -v "$qvxpack" build -o "$out" "$stub" "${files[@]}" 2>"$log" >/dev/null ||
      { cat "$log" >&2; exit 1; }
    rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$log")
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$log")
    /usr/bin/time -v "$qvxpack" verify "$out" "${files[@]}" 2>"$log" >/dev/null ||
      { cat "$log" >&2; exit 1; }
    verify=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$log")
    printf '%-7s %-6s %12s %7s MiB %8s MiB %9s %12s %7s MiB\n' "$size" "$kind" "$product" \
      $((rss / 1024)) $(((2 * size + 64 * 1048576) / 1048576)) "$wall" "$(stat -c %s "$out")" \
      $((verify / 1024))
  done
done
