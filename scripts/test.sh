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
done
run "test native" ctest --preset native
run "test native-san" ctest --preset native-san
# The Windows tests that open real windows need an X display; without one they skip.
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  run "test win32" xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" ctest --preset win32
else
  run "test win32" ctest --preset win32
fi

if [ -x scripts/fuzz.sh ]; then run "fuzz" scripts/fuzz.sh; fi
if [ -x scripts/e2e.sh ]; then run "end-to-end" scripts/e2e.sh; fi

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all test stages passed"
