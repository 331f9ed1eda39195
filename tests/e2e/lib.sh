# shellcheck shell=bash disable=SC2034  # the E2E_ names are for the sourcing scripts
# Helpers shared by scripts/e2e.sh and scripts/demo.sh: Wine prefixes, Xvfb
# displays, the window driver (e2e-driver.exe), screenshots and their pixels.
# Sourced, not run; expects `root` (the checkout) to be set.

# Wine reads command lines and window texts through the locale: umlauts in
# captions such as "Bestätigen" need a UTF-8 one.
case "${LC_ALL:-${LANG:-}}" in
  *UTF-8* | *utf8*) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac
export WINEDEBUG=-all
# No Mono/Gecko installers, and no menu or desktop entries of the host for the
# shortcuts that the setup writes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# shellcheck source=scripts/windows-arch.sh
source "$root/scripts/windows-arch.sh" || exit 1
: "${QVR_NATIVE_BUILD_DIR:=$root/build/native}"
export QVR_NATIVE_BUILD_DIR
E2E_DRIVER="$QVR_WINDOWS_BUILD_DIR/tests/e2e/driver/e2e-driver.exe"
E2E_QVRPACK="$QVR_NATIVE_BUILD_DIR/tools/qvrpack/qvrpack"
E2E_QVRPACK_EXE="$QVR_WINDOWS_BUILD_DIR/tools/qvrpack/qvrpack.exe"
E2E_PRODUCT="QVR-Kelvador [DV2.95]"
E2E_LINK="QVR-Kelvador Series [DV2.95].lnk"
# Real ImageMagick, not a wrapper that may shadow it on PATH.
E2E_CONVERT=/usr/bin/convert
[ -x "$E2E_CONVERT" ] || E2E_CONVERT=convert

# make_prefix DIR: a new Wine prefix whose user folders are real folders. Wine
# links Desktop, Documents and the like to the Linux home; a shortcut written
# to the desktop would then land outside the prefix.
make_prefix() {
  local dir="$1"
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  WINEPREFIX="$dir" qvr_wineboot -i >/dev/null 2>&1 || true
  WINEPREFIX="$dir" qvr_wineserver -w || true
  [ -f "$dir/system.reg" ] || { echo "make_prefix: wineboot did not create $dir" >&2; return 1; }
  local link
  for link in "$dir/drive_c/users/$(id -un)"/*; do
    if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
  done
  # Wine's own desktop of the screen's size: without a window manager on the X
  # display a maximised window would keep its design size, and windows would have
  # no frames; the virtual desktop maximises and draws frames itself.
  WINEPREFIX="$dir" qvr_wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  WINEPREFIX="$dir" qvr_wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 \
    /f >/dev/null 2>&1
  # Windows' "Times New Roman" has a metric twin in Liberation Serif; without it
  # Wine falls back to a wide sans serif face and the dialog's texts wrap.
  WINEPREFIX="$dir" qvr_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Times New Roman" \
    /d "Liberation Serif" /f >/dev/null 2>&1
  # A crash ends the program with a backtrace in its output instead of a dialog
  # that would wait for a click.
  WINEPREFIX="$dir" qvr_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD \
    /d 0 /f >/dev/null 2>&1
  WINEPREFIX="$dir" qvr_wineserver -w || true
  grep -q '"Default"="1024x768"' "$dir/user.reg" ||
    { echo "make_prefix: the virtual desktop was not set in $dir" >&2; return 1; }
  prefix_stamp >"$dir/.qvr-wine-version"
}

prefix_stamp() { echo "$QVR_WINDOWS_ARCH $(qvr_wine --version) $(md5sum <"$root/tests/e2e/lib.sh" | cut -c1-12)"; }

# pristine_prefix DIR: make_prefix once, reused while the Wine version and this
# file (which says how a prefix is made) stay the same.
pristine_prefix() {
  local dir="$1"
  if [ -f "$dir/system.reg" ] && [ "$(cat "$dir/.qvr-wine-version" 2>/dev/null)" = "$(prefix_stamp)" ]; then
    return 0
  fi
  make_prefix "$dir"
}

# desktop_dir PREFIX: the desktop folder of the Linux user inside the prefix.
desktop_dir() { echo "$1/drive_c/users/$(id -un)/Desktop"; }

# start_xvfb [WIDTHxHEIGHT]: a new X server on a free display (1024x768 unless
# given); sets DISPLAY and XVFB_PID.
start_xvfb() {
  local fdfile
  fdfile="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  if [ ! -s "$fdfile" ]; then
    echo "start_xvfb: Xvfb did not start" >&2
    rm -f "$fdfile"
    return 1
  fi
  DISPLAY=":$(tr -d '[:space:]' <"$fdfile")"
  export DISPLAY
  rm -f "$fdfile"
}

stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}

# drv ARGS...: the window driver inside the current WINEPREFIX.
drv() { qvr_wine "$E2E_DRIVER" "$@" 2>&1; }

# drv_client CAPTION: "X Y W H" of the window's client area on the screen.
drv_client() { drv rect "$1" 5 | sed -n 's/^client //p'; }
# drv_window CAPTION: "L T R B" of the window's outer rectangle.
drv_window() { drv rect "$1" 5 | sed -n 's/^window //p'; }

# drv_controls CAPTION: one line per visible child control (see e2e-driver's usage).
drv_controls() { drv controls "$1" 5; }

# muldiv A B C: A * B / C rounded to the nearest integer (non-negative A, B, C), as
# the platform's MulDiv scales a design pixel value to a display density.
muldiv() { echo $(((2 * $1 * $2 + $3) / (2 * $3))); }

# set_dpi DPI: the display density that the programs of the current WINEPREFIX see
# from their next start on.
set_dpi() {
  qvr_wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  qvr_wineserver -k 2>/dev/null || true
  qvr_wineserver -w || true
}

shot() { import -window root "$1" 2>/dev/null; }

# pixel FILE X Y: "R G B" of one pixel.
pixel() {
  "$E2E_CONVERT" "$1" -crop "1x1+$2+$3" +repage -depth 8 \
    -format '%[fx:round(255*r)] %[fx:round(255*g)] %[fx:round(255*b)]' info: 2>/dev/null
}

# colour_near FILE X Y R G B [TOLERANCE]: each channel within the tolerance.
colour_near() {
  local got r g b tol="${7:-8}"
  got="$(pixel "$1" "$2" "$3")"
  read -r r g b <<<"$got"
  [ -n "$b" ] || return 1
  local d
  for d in $((r - $4)) $((g - $5)) $((b - $6)); do
    [ "${d#-}" -le "$tol" ] || { echo "    pixel ($2,$3) is ($got), expected ($4 $5 $6)"; return 1; }
  done
}

# region_mean FILE X Y W H: mean brightness of a rectangle, 0 to 255.
region_mean() {
  "$E2E_CONVERT" "$1" -crop "$4x$5+$2+$3" +repage -colorspace Gray \
    -format '%[fx:round(255*mean)]' info: 2>/dev/null
}

# lnk_field FILE NAME: one field of lnkinfo's "Link information" block.
lnk_field() {
  lnkinfo "$1" 2>/dev/null | sed -n "s/^[[:space:]]*$2[[:space:]]*: //p" | head -1
}

# le_bytes FILE OFFSET COUNT: an unsigned little-endian number from a file.
le_bytes() {
  od -An -t u"$3" -j "$2" -N "$3" --endian=little "$1" | tr -d ' '
}

# tree_listing DIR: every entry below DIR with its size, sorted.
tree_listing() {
  (cd "$1" && find . -mindepth 1 -printf '%y %10s  %P\n' | sort -k3)
}
