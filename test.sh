#!/usr/bin/env bash
# Builds every preset and runs every test:
#   - ctest of the host build, of the host build under ASan and UBSan, and of
#     the win64 build (its end-to-end tests run under wine64 on Xvfb);
#   - the fuzzers, briefly;
#   - the static checks of the shipping 32-bit QvxSetup.exe and the exploit
#     mitigations of every exe of both Windows builds, and a second build of
#     it from the same sources, which must be identical.
# Ends with the line "N passed, N failed" and a non-zero exit on any failure.
set -uo pipefail
cd "$(dirname "$0")"

jobs=$(nproc)
logs=build/test-logs
passed=0
failed=0

note() { printf '== %s\n' "$*"; }

# part NAME COMMAND...: one check that passes or fails as a whole.
part() {
  local name=$1
  shift
  note "$name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
  fi
}

# build PRESET [BINARY_DIR]: configure and build; the log goes to build/test-logs.
build() {
  local preset=$1 log=$logs/build-${2:-$1}.log
  local dir_args=()
  [ -n "${2:-}" ] && dir_args=(-B "build/$2")
  if cmake --preset "$preset" "${dir_args[@]}" >"$log" 2>&1 &&
    cmake --build "build/${2:-$preset}" -j"$jobs" >>"$log" 2>&1; then
    return 0
  fi
  tail -40 "$log"
  return 1
}

# run_ctest DIR [ARGS...]: every ctest test counts as one.
run_ctest() {
  local dir=$1
  shift
  local log=$logs/ctest-$(basename "$dir").log
  note "ctest in $dir"
  (cd "$dir" && DISPLAY= ctest --output-on-failure "$@") >"$log" 2>&1
  local summary
  summary=$(grep -E '^[0-9]+% tests passed' "$log" | tail -1)
  if [[ $summary =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    local bad=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    echo "$summary"
    if [ "$bad" -gt 0 ]; then
      sed -n '/The following tests FAILED/,$p' "$log"
      echo "(details in $log)"
    fi
  elif grep -q 'No tests were found' "$log"; then
    echo "no tests"
  else
    failed=$((failed + 1))
    tail -20 "$log"
    echo "FAILED: ctest in $dir did not run"
  fi
}

fails() { ! "$@" >/dev/null 2>&1; }

setup_exe() { find "$1" -name QvxSetup.exe -not -path '*/product/*' | head -1; }

same_bytes() {
  local first second
  first=$(setup_exe build/win32)
  second=$(setup_exe build/win32-repro)
  [ -n "$first" ] && [ -n "$second" ] && cmp "$first" "$second" && echo "$first and $second are identical"
}

# A vendor's product folder: one lacking a file is refused by name, and one
# with the six files of the sample gives the very payload of the sample.
vendor_folder() {
  local folder=build/vendor-product dir=build/vendor-check log=$logs/vendor-folder.log
  rm -rf "$folder" "$dir"
  mkdir -p "$folder"
  cp build/win32/product/* "$folder/"
  rm "$folder/default.stg"
  if cmake --preset win32 -B "$dir" -DQVX_PRODUCT_DIR="$PWD/$folder" >"$log" 2>&1; then
    echo "a product folder without default.stg was accepted"
    return 1
  fi
  grep -q 'default.stg' "$log" || { echo "the refusal does not name default.stg"; return 1; }
  cp build/win32/product/default.stg "$folder/"
  cmake --preset win32 -B "$dir" -DQVX_PRODUCT_DIR="$PWD/$folder" >>"$log" 2>&1 &&
    cmake --build "$dir" --target qvx_payload_bin >>"$log" 2>&1 &&
    cmp "$dir/payload.bin" build/win32/payload.bin
}

mkdir -p build
rm -rf "$logs"
mkdir -p "$logs"

part "bootstrap" tools/bootstrap.sh
built=()
for preset in host host-asan win32 win64; do
  if build "$preset"; then
    passed=$((passed + 1))
    built+=("$preset")
    note "built $preset"
  else
    failed=$((failed + 1))
    echo "FAILED: build $preset"
  fi
done
is_built() { [[ " ${built[*]} " == *" $1 "* ]]; }

is_built host && run_ctest build/host -j"$jobs"
is_built host-asan && run_ctest build/host-asan -j"$jobs"
# Wine tests wait on windows most of the time: more of them than cores fit.
is_built win64 && run_ctest build/win64 -j$((jobs * 2)) --timeout 300

if [ -x tests/fuzz/run-fuzzers.sh ]; then
  part "fuzzers, 10 s each" tests/fuzz/run-fuzzers.sh build/fuzz 10
fi

if is_built win32; then
  part "static checks of the 32-bit QvxSetup.exe" python3 tools/check-pe.py "$(setup_exe build/win32)"
  if is_built win64; then
    part "the static checks reject the 64-bit twin" fails python3 tools/check-pe.py "$(setup_exe build/win64)"
    part "exploit mitigations of every exe of both builds" python3 tools/check-pe.py --mitigations \
      "$(setup_exe build/win32)" build/win32/product/QVX.exe build/win32/product/QvxUninstall.exe \
      "$(setup_exe build/win64)" build/win64/product/QVX.exe build/win64/product/QvxUninstall.exe
  fi
  part "a vendor's product folder" vendor_folder
  rm -rf build/win32-repro
  part "a second 32-bit build, from scratch" build win32 win32-repro
  part "the two 32-bit builds are identical" same_bytes
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
