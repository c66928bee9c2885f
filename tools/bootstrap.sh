#!/usr/bin/env bash
# Installs every Debian package the builds and tests need. Safe to run again:
# it only calls apt-get when a package is missing.
set -euo pipefail

packages=(
  cmake ninja-build make g++ pkg-config
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  mingw-w64-tools binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth imagemagick x11-utils
  libmspack-dev mscompress
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  python3
  osslsigncode openssl
)

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi

# The win32 build's tests run the 32-bit exe under the 32-bit Wine loader, an
# i386 program: on a machine that executes those, add the i386 architecture
# and wine32. Elsewhere those runs are skipped.
if i386_problem=$("$(dirname "$0")/probe-i386.sh"); then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "bootstrap: adding the i386 architecture"
    $SUDO dpkg --add-architecture i386
  fi
  packages+=(wine32:i386)
else
  echo "bootstrap: $i386_problem; the 32-bit Wine runs will be skipped"
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
