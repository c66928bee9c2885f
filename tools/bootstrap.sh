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
  locales
  dpkg-dev lintian man-db zip unzip
)

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi

# The win32 build's tests run the 32-bit exe under the 32-bit Wine loader, an
# i386 program: add the i386 architecture and wine32 where the machine runs
# those. A kernel that refuses i386 programs gets qemu's user-mode emulator
# for them first (i386-emulation.sh); where even that fails, the 32-bit Wine
# runs are skipped. Where the kernel runs i386 programs itself, the probe
# reports no emulator and nothing of the emulation is touched.
tools=$(dirname "$0")
if ! "$tools/probe-i386.sh" >/dev/null || [ -n "$("$tools/probe-i386.sh" --emulator)" ]; then
  i386_problem=$($SUDO "$tools/i386-emulation.sh") || true
fi
if "$tools/probe-i386.sh" >/dev/null; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "bootstrap: adding the i386 architecture"
    $SUDO dpkg --add-architecture i386
  fi
  packages+=(wine32:i386)
else
  echo "bootstrap: ${i386_problem:-$("$tools/probe-i386.sh")}; the 32-bit Wine runs will be skipped"
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
  $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Wine runs under Japanese, Chinese and Korean locales take the ANSI code
# page from the locale (932, 936, 950, 949), and a German one gives 1252 with
# its accented letters. Each locale is compiled once; present ones are skipped.
for entry in ja_JP zh_CN zh_TW ko_KR de_DE; do
  if ! locale -a 2>/dev/null | grep -qix "$entry.utf-\?8"; then
    echo "bootstrap: generating the locale $entry.UTF-8"
    $SUDO localedef -i "$entry" -c -f UTF-8 "$entry.UTF-8"
  fi
done
