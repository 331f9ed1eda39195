#!/usr/bin/env bash
# make bench-setup: builds setup_bench.exe for the Windows build this host runs
# (scripts/windows-arch.sh; QVR_WINDOWS_ARCH=win32|win64 forces one) and runs it in a
# Wine prefix of its own, build/bench-setup/wineprefix-<build>, on an Xvfb display of
# its own. Its work folder, with the generated archives kept from run to run, is
# C:\qvr-bench in that prefix. Arguments go to setup_bench.exe, for example
#
#   bench/setup/run.sh --reps 5 --archives large --large 4x128
#
# Other builds on the machine disturb the figures: take them under
# `flock /tmp/qvr-heavy.lock make bench-setup`.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"
# shellcheck source=tests/e2e/lib.sh
source "$root/tests/e2e/lib.sh"

echo "== Windows build: $QVR_WINDOWS_ARCH ($QVR_WINDOWS_ARCH_WHY)"
cmake --preset "$QVR_WINDOWS_ARCH" >/dev/null
cmake --build --preset "$QVR_WINDOWS_ARCH" --target setup_bench >/dev/null

prefix="$root/build/bench-setup/wineprefix-$QVR_WINDOWS_ARCH"
pristine_prefix "$prefix"
export WINEPREFIX="$prefix"
cleanup() {
  qvr_wineserver -k 2>/dev/null || true
  stop_xvfb
}
trap cleanup EXIT
start_xvfb

echo "== load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
qvr_wine "$QVR_WINDOWS_BUILD_DIR/bench/setup/setup_bench.exe" --work 'C:\qvr-bench' "$@"
echo "== load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
