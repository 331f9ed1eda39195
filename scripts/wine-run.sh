#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix: the CTest emulator of the
# Windows presets, which name their build first.
#
#   scripts/wine-run.sh win32|win64 PROGRAM.exe [ARGS...]
#
# The prefix is QVR_WINEPREFIX when set, else build/wineprefix-<build> of this
# checkout. The first caller creates the prefix; concurrent callers wait for it.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
[ $# -ge 2 ] || { echo "usage: $0 win32|win64 PROGRAM.exe [ARGS...]" >&2; exit 2; }
QVR_WINDOWS_ARCH="$1"
shift
# shellcheck source=scripts/windows-arch.sh
source "$root/scripts/windows-arch.sh"
export WINEPREFIX="${QVR_WINEPREFIX:-$root/build/wineprefix-$QVR_WINDOWS_ARCH}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    qvr_wineboot -i >/dev/null 2>&1 || true
    qvr_wineserver -w || true
  fi
) 9>"$WINEPREFIX.lock"

exec "$WINELOADER" "$@"
