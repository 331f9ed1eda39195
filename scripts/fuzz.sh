#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (preset "fuzz") and runs the unpacker's
# target for a bounded time from a small seed corpus. Fails on a crash or a leak.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds="${QVR_FUZZ_SECONDS:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_unpack

corpus=build/fuzz/corpus-unpack
mkdir -p "$corpus"
# Seeds: the worked example, an empty archive, a file at level 0, a deep level and a
# member that ends early.
printf '8401Demo0501a.txt00000005Hallo8601Bilder0502x.bmp00000003xyz' >"$corpus/example"
printf '' >"$corpus/empty"
printf '0100c00000001c' >"$corpus/level0"
printf '81FFd81FFd0100f0000000a0123' >"$corpus/deep"
printf '8401Demo0101x7fffffff' >"$corpus/huge"

echo "== fuzz: unpack for ${seconds}s"
build/fuzz/fuzz/unpack/fuzz_unpack -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
  -max_len=4096 -print_final_stats=1 "$corpus"
