#!/usr/bin/env bash
# Measures an installation of the payload under Wine against plain copies of
# the same six files on this machine, and prints the medians side by side.
#
#   bench/measure-install.sh [--installer EXE --product DIR] [BUILD_DIR...] [ROUNDS]
#
# Each BUILD_DIR is a built win32 or win64 tree; without one, build/win32
# (the shipping 32-bit exe, under the 32-bit Wine loader) and build/win64
# (its 64-bit twin, under wine64) are measured in turn. The installation is
# the end-to-end driver's measure_install scenario, run in a fresh prefix by
# tests/wine/run-in-prefix.sh as ctest runs the scenarios: the time from OK
# to the success report, one new installer per round. The copies are
# `cp BUILD_DIR/product/* DIR` into a fresh folder inside BUILD_DIR (the
# file system the prefix lives on), once without and once followed by
# `sync` of the copied files. These are figures, not a test.
#
# --installer and --product measure another installer, such as one that
# `qvxpack build` made for a large product (bench/measure-scale.sh makes
# them), with the product's six files that it must install; the driver and
# the prefix still come from each BUILD_DIR. The copies are then copies of
# those files. QVX_MEASURE_WAIT_S (default 60) is how many seconds one
# installation may take before the round counts as failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=5
builds=()
installer=
product_dir=
# Seconds a round may take before it counts as failed; a gigabyte takes minutes.
wait=${QVX_MEASURE_WAIT_S:-60}
while [ $# -gt 0 ]; do
  case $1 in
    --installer) installer=$(realpath "$2"); shift 2 ;;
    --product) product_dir=$(realpath "$2"); shift 2 ;;
    *)
      if [[ $1 =~ ^[0-9]+$ ]]; then rounds=$1; else builds+=("$1"); fi
      shift ;;
  esac
done
if { [ -n "$installer" ] && [ -z "$product_dir" ]; } || { [ -z "$installer" ] && [ -n "$product_dir" ]; }; then
  echo "--installer and --product go together" >&2
  exit 2
fi
[ ${#builds[@]} -gt 0 ] || builds=("$root/build/win32" "$root/build/win64")
if [ "$rounds" -lt 1 ] || [ "$rounds" -gt 1000 ]; then
  echo "ROUNDS must be a whole number from 1 to 1000" >&2
  exit 2
fi

# "median MS min MS" of the numbers on stdin (milliseconds).
summary() {
  sort -g | awk '{ v[NR] = $1 }
    END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
          printf "median %.1f ms, min %.1f ms", m, v[1] }'
}

# The exe's kind from its PE header's machine field.
exe_kind() {
  local header machine
  header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  machine=$(od -An -tx2 -j$((header + 4)) -N2 "$1" | tr -d ' ')
  case $machine in
    014c) echo "32-bit exe, wine32" ;;
    8664) echo "64-bit twin, wine64" ;;
    *) echo "machine $machine" ;;
  esac
}

# copy_times BUILD PRODUCT [sync]: one time in ms per round of copying the
# product's files into a fresh folder in BUILD.
copy_times() {
  local build=$1 files=("$2"/*) i dest t0 t1
  for ((i = 1; i <= rounds; i++)); do
    dest=$(mktemp -d "$build/measure-cp.XXXXXX")
    t0=$(date +%s%N)
    cp "${files[@]}" "$dest/"
    [ "${3:-}" = sync ] && sync "$dest"/*
    t1=$(date +%s%N)
    rm -rf "$dest"
    awk -v ns=$((t1 - t0)) 'BEGIN { printf "%.3f\n", ns / 1e6 }'
  done
}

log=$(mktemp)
trap 'rm -f "$log"' EXIT
medians=()

# measure BUILD: prints the rounds and adds this build's three medians.
measure() {
  local build driver setup product kind status install files bytes plain synced
  build=$(cd "$1" && pwd)
  driver=$build/tests/e2e/qvx_e2e.exe
  setup=${installer:-$build/app/QvxSetup.exe}
  product=${product_dir:-$build/product}
  for needed in "$driver" "$setup" "$product/QVX.exe"; do
    [ -e "$needed" ] || { echo "missing $needed: build that tree first" >&2; exit 1; }
  done
  kind=$(exe_kind "$setup")

  echo "== $build: install of $setup ($kind), OK to the success report, $rounds rounds"
  # Every wait of the scenario is bounded; timeout only stops a stuck Wine.
  status=0
  QVX_MEASURE_ROUNDS=$rounds QVX_MEASURE_WAIT_S=$wait timeout $((180 + (wait + 60) * rounds)) \
    "$root/tests/wine/run-in-prefix.sh" "$build" measure_install "$driver" measure_install \
    "$setup" "$product" >"$log" || status=$?
  install=$(grep -E '^install: ' "$log" | tail -n1 || true)
  if [ "$status" -ne 0 ] || [ -z "$install" ]; then
    echo "the measure_install run failed (exit $status):" >&2
    grep -vE '^ok   ' "$log" >&2 || true
    exit 1
  fi
  grep -E '^(round [0-9]+: [0-9]|until idle:|install:)' "$log"

  files=("$product"/*)
  bytes=$(cat "${files[@]}" | wc -c)
  echo "== cp of its ${#files[@]} product files ($bytes bytes), $rounds rounds"
  plain=$(copy_times "$build" "$product" | summary)
  synced=$(copy_times "$build" "$product" sync | summary)
  echo "cp:        $plain"
  echo "cp + sync: $synced"
  medians+=("$(printf '%-46s %s' "install ($kind):" "${install#install: }")")
  medians+=("$(printf '%-46s %s' "  cp of the same files:" "$plain")")
  medians+=("$(printf '%-46s %s' "  cp + sync of the same files:" "$synced")")
}

for build in "${builds[@]}"; do
  measure "$build"
done
echo "== medians, OK to the success report against cp of the same files"
printf '%s\n' "${medians[@]}"
