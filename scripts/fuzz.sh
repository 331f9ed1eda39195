#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (preset "fuzz", with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs them from small seed corpora that grow in
# build/fuzz/. Fails on a crash, a leak or a broken rule.
#
#   scripts/fuzz.sh                 the unpacker for QVR_FUZZ_SECONDS (60): make test
#   scripts/fuzz.sh --long [SECS]   the unpacker for SECS (600), then the name rules for
#                                   a fifth of that: make fuzz-long
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
long=""
seconds="${QVR_FUZZ_SECONDS:-60}"
if [ "${1:-}" = "--long" ]; then
  long=1
  seconds="${2:-600}"
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_unpack fuzz_names

# run NAME SECONDS MAX_LEN: one target on its corpus.
run() {
  echo "== fuzz: $1 for ${2}s"
  "build/fuzz/fuzz/$1/fuzz_$1" -max_total_time="$2" -timeout=10 -rss_limit_mb=1024 \
    -max_len="$3" -print_final_stats=1 "build/fuzz/corpus-$1"
}

corpus=build/fuzz/corpus-unpack
mkdir -p "$corpus"
# Seeds: the worked example, an empty archive, a file at level 0, a deep level and a
# member that ends early.
printf '8401Demo0501a.txt00000005Hallo8601Bilder0502x.bmp00000003xyz' >"$corpus/example"
printf '' >"$corpus/empty"
printf '0100c00000001c' >"$corpus/level0"
printf '81FFd81FFd0100f0000000a0123' >"$corpus/deep"
printf '8401Demo0101x7fffffff' >"$corpus/huge"
run unpack "$seconds" 4096

[ -n "$long" ] || exit 0
corpus=build/fuzz/corpus-names
mkdir -p "$corpus"
# Seeds: a control byte (bit 0: Windows rules) and a name in UTF-8.
printf '\000a.txt' >"$corpus/plain"
printf '\001nul.txt' >"$corpus/device"
printf '\003Daten ' >"$corpus/trailing-blank"
printf '\001COM\302\271' >"$corpus/superscript"
run names $((seconds / 5)) 200
