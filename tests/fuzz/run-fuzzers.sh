#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into BUILD_DIR, and runs each for SECONDS.
#
#   tests/fuzz/run-fuzzers.sh BUILD_DIR [SECONDS]
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [SECONDS]" >&2
  exit 2
fi
mkdir -p "$1"
build=$(cd "$1" && pwd)
seconds=${2:-10}
root=$(cd "$(dirname "$0")/../.." && pwd)

flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -Wall -Wextra -Werror -I"$root")
clang++ "${flags[@]}" -o "$build/fuzz_lz_expand" \
  "$root/tests/fuzz/fuzz_lz_expand.cpp" "$root/payload/lz_expand.cpp"
clang++ "${flags[@]}" -o "$build/fuzz_payload_walk" \
  "$root/tests/fuzz/fuzz_payload_walk.cpp" "$root/payload/lz_expand.cpp" \
  "$root/payload/payload_reader.cpp" "$root/payload/payload_check.cpp"
qvxpack=$root/tools/qvxpack
clang++ "${flags[@]}" -o "$build/fuzz_installer_build" \
  "$root/tests/fuzz/fuzz_installer_build.cpp" "$qvxpack/installer_builder.cpp" \
  "$qvxpack/pe_image.cpp" "$qvxpack/pe_resource.cpp" "$qvxpack/resource_tree.cpp" \
  "$qvxpack/version_record.cpp"

# The installer rewrite starts from small executables with a payload resource.
clang++ -std=c++20 -Wall -Wextra -Werror -I"$root" -o "$build/write_pe_seeds" \
  "$root/tests/fuzz/write_pe_seeds.cpp"
mkdir -p "$build/corpus-fuzz_installer_build"
"$build/write_pe_seeds" "$build/corpus-fuzz_installer_build"

for target in fuzz_lz_expand fuzz_payload_walk fuzz_installer_build; do
  corpus="$build/corpus-$target"
  mkdir -p "$corpus"
  echo "fuzz: $target for ${seconds}s"
  (cd "$build" && "./$target" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
     "$corpus" 2>"$build/$target.log") || { tail -40 "$build/$target.log" >&2; exit 1; }
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$build/$target.log" | sed "s/^/  /"
done
