#!/usr/bin/env bash
# Runs every test: native, native with sanitizers, Windows under Wine, the fuzzer
# for a bounded time and the end-to-end runs of the real setup under Wine and Xvfb.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

failed=()
run() {
  local name="$1"; shift
  echo "== $name"
  if ! "$@"; then failed+=("$name"); fi
}

for p in native native-san win32; do
  run "build $p" scripts/build.sh "$p"
  run "test $p" ctest --preset "$p"
done

if [ -x scripts/fuzz.sh ]; then run "fuzz" scripts/fuzz.sh; fi
if [ -x scripts/e2e.sh ]; then run "end-to-end" scripts/e2e.sh; fi

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all test stages passed"
