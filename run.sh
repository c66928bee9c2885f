#!/usr/bin/env bash
# Builds everything and shows the installer at work.
#
#   dist/QvxSetup.exe        the shipping 32-bit installer
#   dist/win64/QvxSetup.exe  its 64-bit twin
#   dist/qvxpack             the payload tool for vendors
#   dist/qvxpack.exe         the same tool for 64-bit Windows
#
# It shows the shipping 32-bit installer under 32-bit Wine (where the kernel
# refuses i386 programs, tools/bootstrap.sh has them run by qemu-user), or the
# 64-bit twin under wine64 on a machine that still does not execute them. With
# $DISPLAY set, the installer starts there in a fresh Wine prefix for you to use.
# Without a display it installs itself on a virtual screen, driven by the
# end-to-end driver, saves screenshots to dist/screenshots/ and prints what
# was installed.
set -euo pipefail
cd "$(dirname "$0")"

jobs=$(nproc)
tools/bootstrap.sh
# Always the sample product, whatever an earlier configuration of these
# build folders left in their cache: a vendor's own product is built in a
# folder of its own (README, "For vendors").
for preset in host win32 win64; do
  echo "== building $preset"
  cmake --preset "$preset" -DQVX_PRODUCT_DIR= >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
done

setup_exe() { find "$1" -name QvxSetup.exe -not -path '*/product/*' | head -1; }
mkdir -p dist/win64 dist/screenshots
cp "$(setup_exe build/win32)" dist/QvxSetup.exe
cp "$(setup_exe build/win64)" dist/win64/QvxSetup.exe
cp build/host/tools/qvxpack/qvxpack dist/qvxpack
cp build/win64/tools/qvxpack/qvxpack.exe dist/qvxpack.exe
echo "== built dist/QvxSetup.exe, dist/win64/QvxSetup.exe, dist/qvxpack, dist/qvxpack.exe"
dist/qvxpack list dist/QvxSetup.exe

if i386_problem=$(tools/probe-i386.sh); then
  build=build/win32 exe=dist/QvxSetup.exe
else
  echo "== $i386_problem: showing the 64-bit twin instead"
  build=build/win64 exe=dist/win64/QvxSetup.exe
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "== starting $exe on $DISPLAY (prefix kept in $build/wine/runs/run.sh)"
  QVX_KEEP_PREFIX=1 tests/wine/run-in-prefix.sh "$build" run.sh "$exe"
else
  echo "== no display: installing $exe on a virtual screen"
  driver=$(find "$build" -name qvx_e2e.exe | head -1)
  QVX_SCREENSHOT_DIR=$PWD/dist/screenshots tests/wine/run-in-prefix.sh "$build" run.sh \
    "$driver" install_default "$PWD/$exe" "$PWD/$build/product" |
    grep -v -e '^ok ' -e '^SCREENSHOT '
  echo "== screenshots in dist/screenshots/: $(cd dist/screenshots && ls)"
fi
