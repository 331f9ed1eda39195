#!/usr/bin/env bash
# Runs every test: native, native with sanitizers, Windows under Wine, the fuzzer
# for a bounded time, the end-to-end runs of the real setup under Wine and Xvfb and the
# release check of both media (built again in another folder, the same bytes).
# Both Windows builds are compiled; the one that this host runs is tested (see
# scripts/windows-arch.sh).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/windows-arch.sh
source "$root/scripts/windows-arch.sh"
echo "== Windows build under test: $QVR_WINDOWS_ARCH ($QVR_WINDOWS_ARCH_WHY)"
if [ "$QVR_WINDOWS_ARCH" = win64 ] && ! qvr_host_runs_win32; then
  echo "== the 32-bit programs (win32) are built but cannot be run on this host"
fi

failed=()
run() {
  local name="$1"; shift
  echo "== $name"
  if ! "$@"; then failed+=("$name"); fi
}

for p in native native-san win32 win64; do
  run "build $p" scripts/build.sh "$p"
done
run "test native" ctest --preset native
run "test native-san" ctest --preset native-san
# The Windows tests that open real windows need an X display; without one they skip.
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  run "test $QVR_WINDOWS_ARCH" xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    ctest --preset "$QVR_WINDOWS_ARCH"
else
  run "test $QVR_WINDOWS_ARCH" ctest --preset "$QVR_WINDOWS_ARCH"
fi

if [ -x scripts/fuzz.sh ]; then run "fuzz" scripts/fuzz.sh; fi
if [ -x scripts/e2e ]; then run "end-to-end ($QVR_WINDOWS_ARCH)" scripts/e2e; fi
# Each medium built again from scratch in another folder gives the same bytes; no Wine.
for arch in win32 win64; do
  run "release check ($arch)" env QVR_WINDOWS_ARCH=$arch scripts/release-check.sh
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all test stages passed"
