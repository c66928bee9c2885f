#!/usr/bin/env bash
# Builds the host tools into BUILD_DIR (default build/bench) and measures the
# codec against libmspack and mscompress on one corpus: the MinGW-w64 DLLs of
# up to 2.5 MB, a text and 256 KiB of random bytes. --full takes every DLL
# (about 48 MB; mscompress then needs several minutes).
#
#   bench/run-bench.sh [--full] [BUILD_DIR] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
largest=2500000
if [ "${1:-}" = "--full" ]; then
  largest=1000000000
  shift
fi
build=${1:-$root/build/bench}
rounds=${2:-7}
cmake --preset host -B "$build" >/dev/null
cmake --build "$build" -j2 --target codec_bench qvxpack >/dev/null
"$build/bench/codec_bench" "$build/tools/qvxpack/qvxpack" "$rounds" "$largest"
