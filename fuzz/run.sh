#!/usr/bin/env bash
# Fuzzes one target with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer for the given number of seconds.
# Usage: fuzz/run.sh TARGET SECONDS      (TARGET names fuzz/fuzz_TARGET.cpp)
#
# Everything goes to build/fuzz: the library sources compiled by clang with
# fuzzer instrumentation (build/fuzz/lib), the target program, a working copy
# of the committed corpus that the fuzzer grows (corpus-TARGET), and the
# inputs that crash, leak or time out (artifacts-TARGET). The committed corpus
# is never changed; copy a finding there by hand once it is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 2 ]; then
  echo "usage: fuzz/run.sh TARGET SECONDS" >&2
  exit 2
fi
target="$1"
seconds="$2"
source_file="fuzz/fuzz_${target}.cpp"
[ -f "$source_file" ] || { echo "fuzz/run.sh: no $source_file" >&2; exit 2; }

out=build/fuzz
flags="-g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined"
jobs=2

# The library: the same sources as velmora_core, compiled with clang and
# the fuzzer's coverage instrumentation (no libFuzzer main in it).
cmake -S . -B "$out/lib" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS="$flags -fsanitize=fuzzer-no-link" \
  -DCMAKE_CXX_FLAGS="$flags -fsanitize=fuzzer-no-link" \
  -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF -DVELMORA_SANITIZE=OFF >/dev/null
# The party kit's targets (kit*) link its library, over FreeType and minizip.
kit_libs=()
if [[ $target == kit* ]]; then
  cmake --build "$out/lib" --target velmora_kit -j "$jobs"
  kit_libs=("$out/lib/libvelmora_kit.a" $(pkg-config --libs freetype2 minizip))
fi
cmake --build "$out/lib" --target velmora_core -j "$jobs"

libs=$(pkg-config --libs sdl2 libmpg123 libpng zlib)
# shellcheck disable=SC2086
clang++ -std=c++17 $flags -fsanitize=fuzzer -ffp-contract=off -I. -I"$out/lib/generated" \
  $(pkg-config --cflags freetype2 minizip) \
  "$source_file" "${kit_libs[@]}" "$out/lib/libvelmora_core.a" $libs -ljpeg -pthread \
  -o "$out/fuzz_${target}"

corpus="$out/corpus-${target}"
artifacts="$out/artifacts-${target}"
mkdir -p "$corpus" "$artifacts"
cp -n "fuzz/corpus/${target}/"* "$corpus/" 2>/dev/null || true

# Output of the code under test (libpng's messages, error reports) is
# dropped; libFuzzer's own lines and sanitizer reports still show.
"$out/fuzz_${target}" "$corpus" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -close_fd_mask=2 -print_final_stats=1 \
  -artifact_prefix="$artifacts/"
