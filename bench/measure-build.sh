#!/usr/bin/env bash
# How long a vendor waits for an installer of their product: `qvxpack build`
# from the built 32-bit installer against a from-source build with
# QVX_PRODUCT_DIR, for the sample product and for one of about 10 MB.
#
#   bench/measure-build.sh [ROUNDS] [SOURCE_ROUNDS]
#
# Needs build/host (qvxpack) and build/win32 (the stub and the sample
# product). `qvxpack build` runs ROUNDS times (default 5) per product; the
# source build runs SOURCE_ROUNDS times (default 1), each in a fresh build
# folder under build/bench-build with the vendor's two commands from the
# README: `cmake --preset win32 -B DIR -DQVX_PRODUCT_DIR=...` and
# `cmake --build DIR -jJOBS` (JOBS = nproc). Prints the medians. These are
# figures, not a test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
rounds=${1:-5}
source_rounds=${2:-1}
for n in "$rounds" "$source_rounds"; do
  if ! [[ $n =~ ^[0-9]+$ ]] || [ "$n" -lt 1 ] || [ "$n" -gt 100 ]; then
    echo "ROUNDS and SOURCE_ROUNDS must be whole numbers from 1 to 100" >&2
    exit 2
  fi
done
qvxpack=build/host/tools/qvxpack/qvxpack
stub=build/win32/app/QvxSetup.exe
for needed in "$qvxpack" "$stub" build/win32/product/QVX.exe; do
  [ -e "$needed" ] || { echo "missing $needed: build the host and win32 presets first" >&2; exit 1; }
done
work=build/bench-build
rm -rf "$work"
mkdir -p "$work/sample"
cp build/win32/product/* "$work/sample/"
bench/make-product.sh build/win32/product "$work/10mb" 10000000

names=(QVX.exe QVX.hlp QVX.cnt QvxUninstall.exe default.rex default.stg)
now() { date +%s.%N; }
# Milliseconds from $1 to now.
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.0f\n", (b - a) * 1000 }'; }
median() {
  sort -g | awk '{ v[NR] = $1 } END { printf "%.0f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

printf '%-8s %12s  %-30s %-30s\n' product bytes "qvxpack build (median of $rounds)" \
  "source build (median of $source_rounds)"
for product in sample 10mb; do
  dir=$work/$product
  files=()
  for name in "${names[@]}"; do files+=("$dir/$name"); done
  bytes=$(cat "${files[@]}" | wc -c)
  tool=()
  for _ in $(seq "$rounds"); do
    start=$(now)
    "$qvxpack" build -o "$work/QvxSetup-$product.exe" "$stub" "${files[@]}"
    tool+=("$(since "$start")")
  done
  source=()
  for round in $(seq "$source_rounds"); do
    out=$work/src-$product-$round
    start=$(now)
    cmake --preset win32 -B "$out" -DQVX_PRODUCT_DIR="$root/$dir" >"$out.log" 2>&1
    cmake --build "$out" -j"$(nproc)" >>"$out.log" 2>&1
    source+=("$(since "$start")")
    "$qvxpack" verify "$out/app/QvxSetup.exe" "${files[@]}" >/dev/null
    rm -rf "$out"
  done
  "$qvxpack" verify "$work/QvxSetup-$product.exe" "${files[@]}" >/dev/null
  printf '%-8s %12s  %-30s %-30s\n' "$product" "$bytes" \
    "$(printf '%s\n' "${tool[@]}" | median) ms" "$(printf '%s\n' "${source[@]}" | median) ms"
done
