#!/usr/bin/env bash
# Builds everything and shows the installer at work.
#
#   dist/QvxSetup.exe        the shipping 32-bit installer
#   dist/win64/QvxSetup.exe  its 64-bit twin, which runs under wine64 here
#   dist/qvxpack             the payload tool for vendors
#   dist/qvxpack.exe         the same tool for 64-bit Windows
#
# With $DISPLAY set, the 64-bit twin starts there in a fresh Wine prefix for
# you to use. Without a display it installs itself on a virtual screen,
# driven by the end-to-end driver, saves screenshots to dist/screenshots/
# and prints what was installed.
set -euo pipefail
cd "$(dirname "$0")"

jobs=$(nproc)
tools/bootstrap.sh
for preset in host win32 win64; do
  echo "== building $preset"
  cmake --preset "$preset" >/dev/null
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

if [ -n "${DISPLAY:-}" ]; then
  echo "== starting dist/win64/QvxSetup.exe on $DISPLAY (prefix kept in build/win64/wine/runs/run.sh)"
  QVX_KEEP_PREFIX=1 tests/wine/run-in-prefix.sh build/win64 run.sh dist/win64/QvxSetup.exe
else
  echo "== no display: installing on a virtual screen"
  driver=$(find build/win64 -name qvx_e2e.exe | head -1)
  QVX_SCREENSHOT_DIR=$PWD/dist/screenshots tests/wine/run-in-prefix.sh build/win64 run.sh \
    "$driver" install_default "$PWD/dist/win64/QvxSetup.exe" "$PWD/build/win64/product" |
    grep -v -e '^ok ' -e '^SCREENSHOT '
  echo "== screenshots in dist/screenshots/: $(cd dist/screenshots && ls)"
fi
