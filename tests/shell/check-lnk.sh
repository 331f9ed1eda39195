#!/usr/bin/env bash
# Writes a shortcut under Wine with shell_lnk_writer and checks the file with lnkinfo,
# an independent reader of the link format. The show command and the hot key are
# read from the header directly (offsets 60 and 64, little-endian), because this
# lnkinfo prints both as 0 whatever the file holds.
# Usage: check-lnk.sh win32|win64 <shell_lnk_writer.exe>
set -euo pipefail

arch="$1"
writer="$2"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# The prefix that scripts/wine-run.sh uses for this build.
prefix="${QVR_WINEPREFIX:-$root/build/wineprefix-$arch}"
name="qvr-lnk-check-$$.lnk"
link="$prefix/drive_c/$name"
trap 'rm -f "$link"' EXIT

"$root/scripts/wine-run.sh" "$arch" "$writer" "C:\\$name"
[ -f "$link" ] || { echo "FAIL: no link file at $link"; exit 1; }

info="$(lnkinfo "$link")"
failures=0
expect() {  # label, expected value
  local actual
  actual="$(printf '%s\n' "$info" | sed -n "s/^\t$1[[:space:]]*: //p" | head -n1)"
  if [ "$actual" != "$2" ]; then
    echo "FAIL: $1 is '$actual', expected '$2'"
    failures=$((failures + 1))
  fi
}
expect "Local path" 'C:\QVR-SOFTWARE\Programm\QVR-Kelvador.exe'
expect "Working directory" 'C:\QVR-SOFTWARE\Programm\'
expect "Command line arguments" '/demo'
expect "Description" 'QVR-Kelvador Series'
expect "Icon location" 'C:\QVR-SOFTWARE\Bilder\QVR.bmp'
expect "Icon index" '2'

show="$(od -An -tu4 -j60 -N4 "$link" | tr -d ' ')"
hotkey="$(od -An -tu2 -j64 -N2 "$link" | tr -d ' ')"
# SW_SHOWMINNOACTIVE; Ctrl+Alt (0x06) with the key K (0x4B).
[ "$show" = 7 ] || { echo "FAIL: show command $show, expected 7"; failures=$((failures + 1)); }
[ "$hotkey" = $((0x064B)) ] || { echo "FAIL: hot key $hotkey, expected $((0x064B))"; failures=$((failures + 1)); }

if [ "$failures" -ne 0 ]; then
  printf '%s\n' "$info"
  exit 1
fi
echo "link file checked: all fields as written"
