#!/usr/bin/env bash
# make demo: builds the distribution medium (build/dist: Setup.exe beside
# QVRKDV2.QVP) and runs it under Wine in a fresh prefix, build/demo-wineprefix.
# With a reachable $DISPLAY the setup runs there for you to click through;
# otherwise it runs headless under Xvfb, driven through a whole installation
# (answering "&Nein" to the restart), with a screenshot of every step in
# build/screenshots/demo/. Either way it ends by telling what was installed where.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=tests/e2e/lib.sh
source "$root/tests/e2e/lib.sh"

echo "== Windows build: $QVR_WINDOWS_ARCH ($QVR_WINDOWS_ARCH_WHY)"
scripts/make-dist.sh e2e-driver

prefix="$root/build/demo-wineprefix"
shots="$root/build/screenshots/demo"
echo "== fresh Wine prefix $prefix"
make_prefix "$prefix"
export WINEPREFIX="$prefix"
drive_c="$prefix/drive_c"
desktop="$(desktop_dir "$prefix")"
rm -rf "$shots"
mkdir -p "$shots"

cleanup() {
  WINEPREFIX="$prefix" qvr_wineserver -k 2>/dev/null || true
  stop_xvfb
}
trap cleanup EXIT

step() { echo "-- $*"; }
saved() { shot "$shots/$1" && echo "   screenshot $shots/$1"; }
# need COMMAND...: a step of the headless run that must succeed.
need() {
  "$@" >/dev/null || { echo "demo: step failed: $*" >&2; saved 99-failed.png || true; exit 1; }
}

run_headless() {
  start_xvfb
  echo "== headless on Xvfb $DISPLAY"
  qvr_wine "$QVR_DIST_DIR/Setup.exe" >"$root/build/demo-setup.log" 2>&1 &
  local setup=$!
  step "Setup.exe ($QVR_WINDOWS_ARCH) started from $QVR_DIST_DIR"
  need drv wait-window "QVR-KELVADOR V2" 30
  sleep 1 # the first paint
  saved 01-welcome.png
  step "Install >>"
  need drv click "QVR-KELVADOR V2" "Install >>"
  need drv wait-window "Warnung" 120
  sleep 0.5
  saved 02-final-message.png
  drv text "Warnung" | grep -v '^\[Button\]' | sed 's/^\[Static\] //; s/^/   | /'
  step "&Nein: no restart"
  need drv click "Warnung" "&Nein"
  for _ in $(seq 1 200); do
    kill -0 "$setup" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$setup" 2>/dev/null; then
    echo "demo: Setup.exe did not end" >&2
    exit 1
  fi
  step "Setup.exe ended"

  step "the installed program, started through its desktop shortcut"
  qvr_wine start /unix "$desktop/$E2E_LINK" >/dev/null 2>&1 || true
  if drv wait-window "$E2E_PRODUCT" 20 >/dev/null; then
    sleep 0.5
    saved 03-installed-program.png
    drv close "$E2E_PRODUCT" >/dev/null || true
  else
    echo "   the program's window did not appear"
  fi
}

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "== $QVR_DIST_DIR/Setup.exe ($QVR_WINDOWS_ARCH) on your display $DISPLAY: click through the installation"
  qvr_wine "$QVR_DIST_DIR/Setup.exe" || true
  qvr_wineserver -w || true
else
  run_headless
fi

echo
echo "== installed: C:\\QVR-SOFTWARE\\ ($drive_c/QVR-SOFTWARE)"
if [ -d "$drive_c/QVR-SOFTWARE" ]; then
  tree_listing "$drive_c/QVR-SOFTWARE" | sed 's/^d \+[0-9]* /  folder      /; s/^f /  /'
else
  echo "  (nothing)"
fi
echo "== fonts in C:\\windows\\Fonts"
for font in "$QVR_DIST_TREE_DIR/$E2E_PRODUCT/Daten/Programm/Fonts"/*; do
  name="$(basename "$font")"
  if [ -f "$drive_c/windows/Fonts/$name" ]; then
    printf '  %10s  %s\n' "$(stat -c %s "$drive_c/windows/Fonts/$name")" "$name"
  else
    printf '  %10s  %s\n' "missing" "$name"
  fi
done
link="$desktop/$E2E_LINK"
echo "== desktop shortcut C:\\users\\$(id -un)\\Desktop\\$E2E_LINK"
if [ -f "$link" ]; then
  for field in "Local path" "Working directory" "Command line arguments" "Description" \
    "Icon location" "Icon index"; do
    printf '  %-22s : %s\n' "$field" "$(lnk_field "$link" "$field")"
  done
  printf '  %-22s : %s\n' "Show command (byte 60)" "$(le_bytes "$link" 60 4)"
  printf '  %-22s : %s\n' "Hot key (byte 64)" "$(le_bytes "$link" 64 2)"
else
  echo "  (none)"
fi
if compgen -G "$shots/*.png" >/dev/null; then
  echo "== screenshots in $shots"
  ls -1 "$shots" | sed 's/^/  /'
fi
