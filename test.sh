#!/usr/bin/env bash
# Builds every preset and runs every test:
#   - ctest of the host build, of the host build under ASan and UBSan, of
#     the win64 build (its end-to-end tests drive the 64-bit twin under
#     wine64 on Xvfb) and of the win32 build (the same tests and the Windows
#     version matrix with the shipping 32-bit exe, under 32-bit Wine, which
#     tools/bootstrap.sh sets up under qemu-user where the kernel refuses
#     i386 programs; skipped where the machine still cannot run them);
#   - the fuzzers, briefly;
#   - the static checks of the shipping 32-bit QvxSetup.exe and the exploit
#     mitigations of every exe of both Windows builds, and a second build of
#     it from the same sources, which must be identical;
#   - installers made by qvxpack build: checked, signed, installed under
#     Wine; qvxpack.exe under wine64 against qvxpack;
#   - the release (packaging/make-release.sh), made twice to the same bytes:
#     the package's, the tarball's and the zip's qvxpack stamp the sample
#     into their installer with no stub named, the manual page lists what
#     --help lists, and lintian finds neither errors nor warnings.
# Prints how long each part took, then ends with the line "N passed, N
# failed" (", N skipped" when tests were skipped) and a non-zero exit on any
# failure.
set -uo pipefail
cd "$(dirname "$0")"

jobs=$(nproc)
logs=build/test-logs
passed=0
failed=0
skipped=0

note() { printf '== %s\n' "$*"; }

# timed NAME COMMAND...: runs COMMAND and keeps how long it took, for the
# table of times at the end.
times=()
timed() {
  local name=$1 start=$SECONDS status
  shift
  "$@"
  status=$?
  times+=("$(printf '%6d s  %s' $((SECONDS - start)) "$name")")
  return $status
}

# part NAME COMMAND...: one check that passes or fails as a whole.
part() {
  local name=$1
  shift
  note "$name"
  if timed "$name" "$@"; then
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

# qvxpack build: installers stamped from the built ones (the stubs).
qvxpack=build/host/tools/qvxpack/qvxpack
stamped=build/stamped
product_files() { printf '%s\n' "$1"/{QVX.exe,QVX.hlp,QVX.cnt,QvxUninstall.exe,default.rex,default.stg}; }

# The checksum in the header is the one osslsigncode calculates. It prints
# "PE checksum" when the two agree and both values when they differ; both
# values that agree pass too.
checksum_true() {
  local out current calculated
  out=$(osslsigncode verify "$1" 2>&1)
  current=$(sed -n 's/^\(Current \)\{0,1\}PE checksum *: *\([0-9A-Fa-f]*\).*/\2/p' <<<"$out")
  calculated=$(sed -n 's/^Calculated PE checksum *: *\([0-9A-Fa-f]*\).*/\1/p' <<<"$out")
  [ -n "$current" ] && { [ -z "$calculated" ] || [ "$current" = "$calculated" ]; } ||
    { echo "$1: PE checksum ${current:-missing}, calculated ${calculated:-?}"; return 1; }
}

# Stamping a built installer with its own product gives it back byte for
# byte: resources, layout and checksum as the linker made them.
stamp_gives_stub_back() {
  local preset=$1 stub files out=$stamped/$1-own-product.exe
  stub=$(setup_exe "build/$preset")
  mkdir -p "$stamped"
  mapfile -t files < <(product_files "build/$preset/product")
  "$qvxpack" build -o "$out" "$stub" "${files[@]}" && cmp "$stub" "$out" &&
    echo "$out equals $stub"
}

# A vendor's product whose program is over 2,000,000 bytes, stamped into
# both built installers: they hold its files, their checksums are right, and
# the 32-bit one passes the static checks.
stamp_large_product() {
  local product=$stamped/product preset files
  rm -rf "$product" "$stamped/win32" "$stamped/win64"
  bench/make-product.sh build/win64/product "$product" 2200000 || return 1
  mapfile -t files < <(product_files "$product")
  for preset in win32 win64; do
    mkdir -p "$stamped/$preset"
    "$qvxpack" build -o "$stamped/$preset/QvxSetup.exe" "$(setup_exe "build/$preset")" "${files[@]}" &&
      "$qvxpack" verify "$stamped/$preset/QvxSetup.exe" "${files[@]}" >/dev/null &&
      checksum_true "$stamped/$preset/QvxSetup.exe" || return 1
  done
  python3 tools/check-pe.py "$stamped/win32/QvxSetup.exe"
}

# install_stamped PRESET EXE NAME: the end-to-end installation of the large
# product by EXE, driven by the end-to-end driver of PRESET's build (the
# 32-bit one under 32-bit Wine, which reads the registry view a 32-bit
# installer writes).
install_stamped() {
  local driver log=$logs/e2e-$3.log
  driver=$(find "build/$1" -name qvx_e2e.exe | head -1)
  if tests/wine/run-in-prefix.sh "build/$1" "$3" "$driver" install_default "$PWD/$2" \
    "$PWD/$stamped/product" >"$log" 2>&1; then
    grep -E '^ +QVX.exe' "$log"
  else
    tail -30 "$log"
    return 1
  fi
}

# Signed with a certificate made here: osslsigncode accepts the signature,
# qvxpack still reads the payload, and stamping the signed installer again
# drops the signature, says so, and gives the unsigned installer back.
sign_stamped() {
  local dir=$stamped/signed log=$logs/signing.log files
  rm -rf "$dir"
  mkdir -p "$dir"
  mapfile -t files < <(product_files "$stamped/product")
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quorvex test signing" \
    -addext extendedKeyUsage=codeSigning -keyout "$dir/key.pem" -out "$dir/cert.pem" >"$log" 2>&1 &&
    osslsigncode sign -certs "$dir/cert.pem" -key "$dir/key.pem" -n "Quorvex Setup" -h sha256 \
      -in "$stamped/win32/QvxSetup.exe" -out "$dir/QvxSetup.exe" >>"$log" 2>&1 &&
    osslsigncode verify -CAfile "$dir/cert.pem" "$dir/QvxSetup.exe" >>"$log" 2>&1 &&
    "$qvxpack" list "$dir/QvxSetup.exe" >>"$log" &&
    "$qvxpack" build -o "$dir/restamped.exe" "$dir/QvxSetup.exe" "${files[@]}" 2>"$dir/stderr" &&
    grep -q 'signature does not cover the new payload' "$dir/stderr" &&
    cmp "$dir/restamped.exe" "$stamped/win32/QvxSetup.exe" ||
    { tail -20 "$log"; cat "$dir/stderr" 2>/dev/null; return 1; }
  grep -E 'Signature verification|Subject' "$log" | sort -u
}

# qvxpack.exe under wine64 writes the same bytes as qvxpack on Linux: a
# payload, an installer, the unpacked files, and the same listing.
qvxpack_exe_same() {
  local dir=build/qvxpack-exe exe=build/win64/tools/qvxpack/qvxpack.exe stub files
  rm -rf "$dir"
  mkdir -p "$dir/linux" "$dir/windows"
  stub=$(setup_exe build/win64)
  mapfile -t files < <(product_files build/win64/product)
  "$qvxpack" pack -o "$dir/linux/payload.bin" "${files[@]}" &&
    "$qvxpack" build -o "$dir/linux/QvxSetup.exe" "$stub" "${files[@]}" &&
    "$qvxpack" unpack "$dir/linux/QvxSetup.exe" "$dir/linux/unpacked" &&
    "$qvxpack" list "$dir/linux/QvxSetup.exe" >"$dir/linux/list.txt" || return 1
  local wine=(tests/wine/run-in-prefix.sh build/win64)
  "${wine[@]}" qvxpack-pack "$exe" pack -o "$dir/windows/payload.bin" "${files[@]}" &&
    "${wine[@]}" qvxpack-build "$exe" build -o "$dir/windows/QvxSetup.exe" "$stub" "${files[@]}" &&
    "${wine[@]}" qvxpack-unpack "$exe" unpack "$dir/windows/QvxSetup.exe" "$dir/windows/unpacked" &&
    "${wine[@]}" qvxpack-list "$exe" list "$dir/windows/QvxSetup.exe" | tr -d '\r' >"$dir/windows/list.txt" ||
    return 1
  diff -r "$dir/linux" "$dir/windows" && echo "$(find "$dir/linux" -type f | wc -l) files identical"
}

# The release, made twice: both runs must give the same bytes.
release=dist/release
release_twice() {
  local first=build/release-first log=$logs/release.log name differ=0
  packaging/make-release.sh >"$log" 2>&1 || { tail -20 "$log"; return 1; }
  rm -rf "$first"
  cp -a "$release" "$first"
  packaging/make-release.sh >>"$log" 2>&1 || { tail -20 "$log"; return 1; }
  for name in $(cd "$first" && ls); do
    cmp "$first/$name" "$release/$name" || differ=1
  done
  [ "$differ" -eq 0 ] && diff <(cd "$first" && ls) <(cd "$release" && ls) &&
    tail -4 "$log" && echo "the second run's files are those of the first: $(cd "$release" && echo *)"
}

# The package unpacked into a scratch root: its qvxpack, given no stub,
# stamps the packaged sample product into the installer it carries and gives
# that installer back; so do the tarball's tool and the zip's qvxpack.exe
# under wine64, each from where it was unpacked.
release_tools_stamp() {
  local dir=build/release-check deb files
  deb=$(echo "$release"/qvxpack_*_amd64.deb)
  rm -rf "$dir"
  mkdir -p "$dir/tar" "$dir/zip"
  dpkg -x "$deb" "$dir/root" &&
    tar -xzf "$release"/qvxpack-*-linux-x86_64.tar.gz -C "$dir/tar" &&
    (cd "$dir/zip" && unzip -q "$OLDPWD/$(echo "$release"/qvxpack-*-windows.zip)") || return 1
  "$dir/root/usr/bin/qvxpack" --version | grep -x "qvxpack $(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build/host/CMakeCache.txt)" ||
    return 1
  mapfile -t files < <(product_files "$dir/root/usr/share/qvxpack/sample")
  "$dir/root/usr/bin/qvxpack" build -o "$dir/deb.exe" "${files[@]}" &&
    cmp "$dir/deb.exe" "$(setup_exe build/win32)" &&
    "$(echo "$dir"/tar/*/bin/qvxpack)" build -o "$dir/tar.exe" "${files[@]}" &&
    cmp "$dir/tar.exe" "$(setup_exe build/win32)" || return 1
  local zipped
  zipped=$(echo "$dir"/zip/qvxpack-*-windows)
  mapfile -t files < <(product_files "$zipped/sample")
  tests/wine/run-in-prefix.sh build/win64 release-zip "$zipped/qvxpack.exe" build -o "$dir/zip.exe" \
    "${files[@]}" >"$logs/release-zip.log" 2>&1 || { tail -20 "$logs/release-zip.log"; return 1; }
  cmp "$dir/zip.exe" "$(setup_exe build/win32)" &&
    echo "the package's, the tarball's and the zip's qvxpack stamp the sample into their installer"
}

# The manual page names every command and option that --help lists.
manual_lists_help() {
  local root=build/release-manual page name missing=0
  rm -rf "$root"
  dpkg -x "$release"/qvxpack_*_amd64.deb "$root" &&
    page=$(MANWIDTH=200 man --warnings -l "$root/usr/share/man/man1/qvxpack.1.gz" 2>&1 |
      sed -n '/^COMMANDS/,/^[A-Z]/p') || return 1
  for name in $("$root/usr/bin/qvxpack" --help | sed -n '/^Commands:/,/^$/s/^ \{2,4\}\([^ ]\+\).*/\1/p'); do
    grep -qE "^ +$name( |$)" <<<"$page" || { echo "the manual page lacks $name"; missing=1; }
  done
  [ "$missing" -eq 0 ] && echo "the manual page names every command and option of --help"
}

mkdir -p build
rm -rf "$logs"
mkdir -p "$logs"

part "bootstrap" tools/bootstrap.sh
built=()
for preset in host host-asan win32 win64; do
  if timed "build $preset" build "$preset"; then
    passed=$((passed + 1))
    built+=("$preset")
    note "built $preset"
  else
    failed=$((failed + 1))
    echo "FAILED: build $preset"
  fi
done
is_built() { [[ " ${built[*]} " == *" $1 "* ]]; }

is_built host && timed "ctest in build/host" run_ctest build/host -j"$jobs"
is_built host-asan && timed "ctest in build/host-asan" run_ctest build/host-asan -j"$jobs"
# Wine tests wait on windows most of the time: more of them than cores fit.
is_built win64 && timed "ctest in build/win64" run_ctest build/win64 -j$((jobs * 2)) --timeout 300
runs_i386=
if is_built win32; then
  if why=$(tools/probe-i386.sh); then
    runs_i386=yes
    # Under an emulated 32-bit Wine too: the driver's waits scale with the
    # measured start-up, and three runs in a row passed at this parallelism
    # on a 2-core machine shared with five other builds.
    timed "ctest in build/win32" run_ctest build/win32 -j$((jobs * 2)) --timeout 300
  else
    count=$(cd build/win32 && ctest -N | sed -n 's/^Total Tests: //p')
    skipped=$((skipped + ${count:-0}))
    echo "== skipped the ${count:-0} tests of build/win32 under 32-bit Wine: $why"
  fi
fi

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

if is_built host && is_built win32 && is_built win64; then
  for preset in win32 win64; do
    part "qvxpack build of the $preset installer with its own product gives it back" \
      stamp_gives_stub_back "$preset"
  done
  part "installers stamped with a product of a 2,200,000-byte program" stamp_large_product
  part "the stamped 64-bit installer installs under wine64" \
    install_stamped win64 "$stamped/win64/QvxSetup.exe" stamped64
  part "the stamped 32-bit installer signed with a throwaway certificate" sign_stamped
  if [ -n "$runs_i386" ]; then
    part "the stamped 32-bit installer installs under 32-bit Wine" \
      install_stamped win32 "$stamped/win32/QvxSetup.exe" stamped32
    part "the signed 32-bit installer installs under 32-bit Wine" \
      install_stamped win32 "$stamped/signed/QvxSetup.exe" signed32
  else
    skipped=$((skipped + 2))
    echo "== skipped the 2 installations of stamped 32-bit installers under 32-bit Wine: $why"
  fi
  part "qvxpack.exe under wine64 writes what qvxpack writes" qvxpack_exe_same
  part "the release, made twice, byte for byte" release_twice
  part "the released tools stamp the sample without a stub" release_tools_stamp
  part "the manual page lists the commands of --help" manual_lists_help
  part "lintian on the package" lintian -I --fail-on error,warning "$release"/qvxpack_*_amd64.deb
fi

note "times"
printf '%s\n' "${times[@]}"
printf '%6d s  in all\n' "$SECONDS"
if [ "$skipped" -gt 0 ]; then
  echo "$passed passed, $failed failed, $skipped skipped"
else
  echo "$passed passed, $failed failed"
fi
[ "$failed" -eq 0 ]
