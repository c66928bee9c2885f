#!/usr/bin/env bash
# Measures an installation of the payload under wine64 against plain copies
# of the same six files on this machine, and prints the medians side by side.
#
#   bench/measure-install.sh [BUILD_DIR] [ROUNDS]
#
# BUILD_DIR (default build/win64) is a built win64 tree. The installation is
# the end-to-end driver's measure_install scenario, run in a fresh prefix by
# tests/wine/run-in-prefix.sh as ctest runs the scenarios: the time from OK
# to the success report, one new installer per round. The copies are
# `cp BUILD_DIR/product/* DIR` into a fresh folder inside BUILD_DIR (the
# file system the prefix lives on), once without and once followed by
# `sync` of the copied files. These are figures, not a test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
rounds=${2:-5}
if ! [[ $rounds =~ ^[0-9]+$ ]] || [ "$rounds" -lt 1 ] || [ "$rounds" -gt 1000 ]; then
  echo "ROUNDS must be a whole number from 1 to 1000" >&2
  exit 2
fi
driver=$build/tests/e2e/qvx_e2e.exe
setup=$build/app/QvxSetup.exe
product=$build/product
for needed in "$driver" "$setup" "$product/QVX.exe"; do
  [ -e "$needed" ] || { echo "missing $needed: build the win64 tree first" >&2; exit 1; }
done

# "median MS min MS" of the numbers on stdin (milliseconds).
summary() {
  sort -g | awk '{ v[NR] = $1 }
    END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
          printf "median %.1f ms, min %.1f ms", m, v[1] }'
}

echo "== install under wine64: OK to the success report, $rounds rounds"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Every wait of the scenario is bounded; timeout only stops a stuck Wine.
status=0
QVX_MEASURE_ROUNDS=$rounds timeout $((180 + 60 * rounds)) \
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
echo "== cp of the ${#files[@]} product files ($bytes bytes), $rounds rounds"
copy_times() {  # prints one time in ms per round; $1 = "sync" to sync the copies
  local i dest t0 t1
  for ((i = 1; i <= rounds; i++)); do
    dest=$(mktemp -d "$build/measure-cp.XXXXXX")
    t0=$(date +%s%N)
    cp "${files[@]}" "$dest/"
    [ "${1:-}" = sync ] && sync "$dest"/*
    t1=$(date +%s%N)
    rm -rf "$dest"
    awk -v ns=$((t1 - t0)) 'BEGIN { printf "%.3f\n", ns / 1e6 }'
  done
}
plain=$(copy_times | summary)
synced=$(copy_times sync | summary)
echo "cp:        $plain"
echo "cp + sync: $synced"

echo "== medians"
printf '%-42s %s\n' "install (wine64, OK to success report):" "${install#install: }"
printf '%-42s %s\n' "cp of the product files:" "$plain"
printf '%-42s %s\n' "cp + sync of the product files:" "$synced"
