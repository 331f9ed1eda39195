#!/usr/bin/env bash
# End-to-end runs of the real Setup.exe from the distribution medium under Wine,
# each scenario in its own copy of a pristine Wine prefix and on its own Xvfb
# display, driven by e2e-driver.exe. Screenshots land in build/screenshots/<scenario>/.
# Ends with "N passed, M failed" and a non-zero exit code on any failure.
#
#   scripts/e2e.sh [SCENARIO...]     (default: all; --list names them)
#
# QVR_E2E_SKIP_BUILD=1 uses the distribution and driver that are already built.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 1
# shellcheck source=tests/e2e/lib.sh
source "$root/tests/e2e/lib.sh"

work="$root/build/e2e"
screens="$root/build/screenshots"
archive_tool="$root/tests/e2e/archive_tool.py"
all_scenarios=(medium fresh-install welcome-close font-kept existing-cancel existing-yes
  product-file missing-archive root-blocked shortcut-blocked damaged-archive restart-yes dpi
  planted-links planted-symlink umlauts)

passed=0
failed=0
scenario=""
SETUP_PID=""

pass() { passed=$((passed + 1)); echo "  ok    $scenario: $*"; }
failures=()
fail() {
  failed=$((failed + 1))
  failures+=("$scenario: $*")
  echo "  FAIL  $scenario: $*"
}
# check WHAT COMMAND...: one counted check.
check() {
  local what="$1"
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

# quiet COMMAND...: COMMAND succeeds (its output is dropped).
quiet() { "$@" >/dev/null; }
# settle: a window found by the driver may not have painted yet; give it a moment
# before a screenshot (only pictures depend on it, no check does).
settle() { sleep 0.5; }
# has_words TEXT WORD...: every WORD occurs in TEXT as a whole word, and no
# -WORD does.
has_words() {
  local text=" $1 " word
  shift
  for word in "$@"; do
    if [[ "$word" == -* ]]; then
      [[ "$text" != *" ${word#-} "* ]] || return 1
    else
      [[ "$text" == *" $word "* ]] || return 1
    fi
  done
}
# not COMMAND...: COMMAND fails (its output is dropped).
not() { ! "$@" >/dev/null 2>&1; }
# xclick X Y [COUNT]: COUNT real pointer clicks at a screen point, through the X
# server as a user's would come; Wine's desktop fills the screen from 0,0.
xclick() { xdotool mousemove --sync "$1" "$2" click --repeat "${3:-1}" --delay 40 1; }

# ---------------------------------------------------------------------------
# Scenario frame

# begin NAME [WIDTHxHEIGHT]: a fresh prefix, a display (1024x768 unless given), a
# copy of the medium, a screenshot folder.
begin() {
  scenario="$1"
  echo "== $scenario"
  prefix="$work/prefixes/$scenario"
  medium="$work/media/$scenario"
  shots="$screens/$scenario"
  log="$work/logs/$scenario.log"
  rm -rf "$prefix" "$medium" "$shots"
  mkdir -p "$(dirname "$prefix")" "$medium" "$shots" "$(dirname "$log")"
  : >"$log"
  cp -a "$work/pristine" "$prefix"
  cp -a "$QVR_DIST_DIR/." "$medium/"
  export WINEPREFIX="$prefix"
  desktop="$(desktop_dir "$prefix")"
  drive_c="$prefix/drive_c"
  install_root="$drive_c/QVR-SOFTWARE"
  product="$install_root/$E2E_PRODUCT"
  fonts="$drive_c/windows/Fonts"
  start_xvfb "${2:-}" || { fail "no X display"; return 1; }
}

# launch: Setup.exe from the medium. The DLL-load trace tells later whether the
# WMI scripting library was loaded, i.e. whether a restart was requested.
launch() {
  WINEDEBUG=+loaddll qvr_wine "$medium/Setup.exe" >>"$log" 2>&1 &
  SETUP_PID=$!
  if ! drv wait-window "QVR-KELVADOR V2" 30 >/dev/null; then
    fail "the install dialog did not appear"
    return 1
  fi
}

# setup_ended [SECONDS]: the Setup process has ended within SECONDS; its exit
# code is then in SETUP_RC.
setup_ended() {
  for _ in $(seq 1 $((${1:-20} * 10))); do
    if ! kill -0 "$SETUP_PID" 2>/dev/null; then
      SETUP_RC=0
      wait "$SETUP_PID" 2>/dev/null || SETUP_RC=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}
setup_running() { kill -0 "$SETUP_PID" 2>/dev/null; }

finish() {
  if [ -n "${prefix:-}" ]; then WINEPREFIX="$prefix" qvr_wineserver -k 2>/dev/null || true; fi
  if [ -n "$SETUP_PID" ]; then wait "$SETUP_PID" 2>/dev/null || true; fi
  SETUP_PID=""
  stop_xvfb
}

wmi_loaded() { grep -qiE 'wbemdisp|wbemprox' "$log"; }
no_wmi_loaded() { ! wmi_loaded; }

# ---------------------------------------------------------------------------
# Shared checks

# The welcome screen: black background with the two pictures laid out from the
# window's outer size, and the dialog centred over it.
check_welcome_screen() {
  local file="$shots/01-welcome.png"
  # The dialog is found as soon as it is shown; give the first paint a moment.
  sleep 1
  shot "$file"
  local bl bt br bb cx cy ch
  read -r bl bt br bb <<<"$(drv_window "QVR-LORWENTHASCOP V1.0")"
  read -r cx cy _ ch <<<"$(drv_client "QVR-LORWENTHASCOP V1.0")"
  if [ -z "${ch:-}" ]; then
    fail "the background window has no rectangle"
    return
  fi
  check "background maximised" grep -qx "state maximized" <(drv rect "QVR-LORWENTHASCOP V1.0")
  check "background covers the screen (outer $bl,$bt-$br,$bb)" \
    test "$bl" -le 0 -a "$bt" -le 0 -a "$br" -ge 1024 -a "$bb" -ge 768
  local W=$((br - bl)) H=$((bb - bt))
  # Picture sizes: outer width and height divided by 2.3, 8.5, 3 and 9.5, truncated.
  local w1=$((W * 10 / 23)) h1=$((H * 10 / 85)) w2=$((W / 3)) h2=$((H * 10 / 95))
  local x2=$((cx + W - w2 - 9)) y2=$((cy + H - h2 - 28))
  echo "    background outer ${W}x${H}, client at $cx,$cy; pictures ${w1}x${h1} and ${w2}x${h2} at $x2,$y2"

  local dl dt dr db
  read -r dl dt dr db <<<"$(drv_window "QVR-KELVADOR V2")"
  local my=$(((bt + bb) / 2))
  check "black background left of the dialog" colour_near "$file" $(((bl + dl) / 2)) "$my" 0 0 0 0
  check "black background right of the dialog" colour_near "$file" $(((dr + br) / 2)) "$my" 0 0 0 0
  check "black background right of the top picture" \
    colour_near "$file" $((cx + w1 + 4)) $((cy + h1 / 2)) 0 0 0 0
  check "black background below the top picture" \
    colour_near "$file" $((cx + w1 / 2)) $((cy + h1 + 4)) 0 0 0 0
  check "black background left of the bottom picture" \
    colour_near "$file" $((x2 - 4)) $((y2 + h2 / 2)) 0 0 0 0
  check "top picture drawn at its place" \
    test "$(region_mean "$file" $((cx + 2)) $((cy + 2)) $((w1 - 4)) $((h1 - 4)))" -gt 8
  check "bottom picture drawn at its place" \
    test "$(region_mean "$file" $((x2 + 2)) $((y2 + 2)) $((w2 - 4)) $((h2 - 4)))" -gt 8

  local ddx=$(((dl + dr) - (bl + br))) ddy=$(((dt + db) - (bt + bb)))
  check "dialog centred over the background (offset $((ddx / 2)),$((ddy / 2)))" \
    test "${ddx#-}" -le 16 -a "${ddy#-}" -le 16
  local dcx dcy dcw dch
  read -r dcx dcy dcw dch <<<"$(drv_client "QVR-KELVADOR V2")"
  check "dialog client area 550 x 443 (is ${dcw}x${dch})" test "$dcw" = 550 -a "$dch" = 443
  # shellcheck disable=SC2046  # the colour is three words
  check "dialog background in the button-face colour" \
    colour_near "$file" $((dcx + 3)) $((dcy + 3)) $(drv syscolor 15) 0
  local style
  style=" $(drv style "QVR-LORWENTHASCOP V1.0") "
  check "background: resizable frame with the title-bar buttons ($style)" \
    has_words "$style" caption sysmenu thickframe minimizebox maximizebox
  style=" $(drv style "QVR-KELVADOR V2") "
  check "dialog: a caption, no system menu, not resizable ($style)" \
    has_words "$style" caption -sysmenu -thickframe
  check "welcome buttons" test "$(drv buttons "QVR-KELVADOR V2" | sort | tr '\n' '|')" = "Abbrechen|Install >>|"
  check "welcome text shown" grep -q "QVR-KELVADOR SERIES V2" <(drv text "QVR-KELVADOR V2")
}

# bar_row: screen x of the bar's left edge and y of a row above the centred text.
bar_origin() {
  local cx cy
  read -r cx cy _ _ <<<"$(drv_client "QVR-KELVADOR V2")"
  [ -n "${cy:-}" ] || return 1
  echo "$((cx + 8)) $((cy + 407 + 3))"
}

# The full bar: lime at the left, yellow in the middle, pink-red at the right.
check_bar_full() {
  local file="$1" bx by
  read -r bx by <<<"$(bar_origin)" || { fail "no dialog for the bar"; return; }
  check "bar column 1 lime" colour_near "$file" $((bx + 1)) "$by" 1 255 0
  check "bar column 264 yellow" colour_near "$file" $((bx + 264)) "$by" 255 255 0
  check "bar column 527 pink-red" colour_near "$file" $((bx + 527)) "$by" 255 1 128
  # shellcheck disable=SC2046  # the colour is three words
  check "bar frame: button shadow at the left" colour_near "$file" "$bx" "$by" $(drv syscolor 16) 0
  # shellcheck disable=SC2046
  check "bar frame: button highlight at the right" \
    colour_near "$file" $((bx + 528)) "$by" $(drv syscolor 20) 0
}

# install_until CAPTION SECONDS MISSING [SHOT]: "Install >>", then the window
# CAPTION within SECONDS; without it, fails with MISSING (and a screenshot SHOT).
install_until() {
  check "click Install >>" quiet drv click "QVR-KELVADOR V2" "Install >>"
  drv wait-window "$1" "$2" >/dev/null && return 0
  fail "$3"
  [ -z "${4:-}" ] || shot "$shots/$4"
  return 1
}

# install_over_existing WHAT: "Install >>" over an existing product folder, "&Ja" to
# the question, "&Nein" to the final message; the setup ends. WHAT names the failure
# when the question does not come.
install_over_existing() {
  install_until "Bestätigen" 20 "$1" || return 1
  check "answer &Ja" quiet drv click "Bestätigen" "&Ja"
  check "final message" quiet drv wait-window "Warnung" 60
  drv click "Warnung" "&Nein" >/dev/null
  check "setup ends" setup_ended 20
}

# install_to_final: "Install >>", then the final message; leaves it open.
install_to_final() {
  install_until "Warnung" 60 "no final message" 99-no-final-message.png || return 1
  settle
  shot "$shots/03-final-message.png"
  local text
  text="$(drv text "Warnung")"
  check "final message first line centred in 50 columns" \
    grep -qx "\[Static\]  Die Installation wurde erfolgreich abgeschlossen\." <<<"$text"
  check "final message names the new fonts" \
    grep -q "wurden neue Schriften installiert\." <<<"$text"
  check "final message buttons" \
    test "$(drv buttons "Warnung" | sort | tr '\n' '|')" = "&Ja|&Nein|"
  check_bar_full "$shots/03-final-message.png"
}

check_tree_installed() {
  check "installed tree equals the packed tree byte for byte" \
    diff -r "$QVR_DIST_TREE_DIR/$E2E_PRODUCT" "$product"
  check "nothing but the product in QVR-SOFTWARE" \
    test "$(ls -A "$install_root")" = "$E2E_PRODUCT"
}

check_fonts_copied() {
  local font
  for font in "$QVR_DIST_TREE_DIR/$E2E_PRODUCT/Daten/Programm/Fonts"/*; do
    check "font $(basename "$font") in the font folder" cmp -s "$font" "$fonts/$(basename "$font")"
  done
}

check_shortcut() {
  local link="$desktop/$E2E_LINK"
  local programm='C:\QVR-SOFTWARE\QVR-Kelvador [DV2.95]\Intern\Programm\'
  check "shortcut on the desktop" test -f "$link"
  [ -f "$link" ] || return
  check "shortcut target" test "$(lnk_field "$link" "Local path")" = "${programm}QVR-Kelvador.exe"
  check "shortcut working folder" test "$(lnk_field "$link" "Working directory")" = "$programm"
  check "shortcut icon location" test "$(lnk_field "$link" "Icon location")" = \
    'C:\QVR-SOFTWARE\QVR-Kelvador [DV2.95]\Daten\Programm\Bilder\QVR.bmp'
  check "shortcut icon index 0" test "$(lnk_field "$link" "Icon index")" = 0
  check "shortcut description empty" test -z "$(lnk_field "$link" "Description")"
  check "shortcut show command 0 (header offset 60)" test "$(le_bytes "$link" 60 4)" = 0
  check "shortcut hot key 0 (header offset 64)" test "$(le_bytes "$link" 64 2)" = 0
}

# snapshot: what an installation could have touched, with checksums.
snapshot() {
  {
    [ -d "$install_root" ] && (cd "$drive_c" && find QVR-SOFTWARE -printf '%y %s %p\n' | sort)
    (cd "$drive_c" && find QVR-SOFTWARE -type f -exec md5sum {} + 2>/dev/null | sort -k2)
    ls -la --time-style=+ "$fonts" | tail -n +2
    ls -A "$desktop"
  } 2>/dev/null
}

# ---------------------------------------------------------------------------
# Scenarios

# A first installation answered "&Nein" at the restart offer.
scenario_fresh_install() {
  begin fresh-install || return
  launch || return
  check_welcome_screen
  install_to_final || return
  check "installing state: no buttons but the message's" \
    test -z "$(drv buttons "QVR-KELVADOR V2")"
  check "answer &Nein" quiet drv click "Warnung" "&Nein"
  check "setup ends after &Nein" setup_ended 20
  check "setup ends with exit code 0 (is ${SETUP_RC:-none})" test "${SETUP_RC:-}" = 0
  check "no restart requested after &Nein" no_wmi_loaded
  check_tree_installed
  check_fonts_copied
  check_shortcut
  qvr_wine start /unix "$desktop/$E2E_LINK" >>"$log" 2>&1
  check "installed program starts through the shortcut" quiet drv wait-window "$E2E_PRODUCT" 20
}

# The medium itself, without Wine: the generated tree and its archive come out the
# same byte for byte when made again, and the native qvrpack unpacks the archive
# into the same tree.
scenario_medium() {
  scenario=medium
  echo "== $scenario"
  local tmp="$work/medium"
  rm -rf "$tmp"
  mkdir -p "$tmp/unpacked"
  check "archive packs reproducibly" quiet "$E2E_QVRPACK" pack -q \
    "$QVR_DIST_TREE_DIR/$E2E_PRODUCT/" "$tmp/again.qvp"
  check "same bytes as the medium's archive" cmp "$tmp/again.qvp" "$QVR_DIST_DIR/QVRKDV2.QVP"
  check "native unpack" quiet "$E2E_QVRPACK" unpack -q "$QVR_DIST_DIR/QVRKDV2.QVP" "$tmp/unpacked"
  check "unpacked tree equals the reference tree" \
    diff -r "$QVR_DIST_TREE_DIR/$E2E_PRODUCT" "$tmp/unpacked/$E2E_PRODUCT"
  check "the product tree generates the same bytes again" quiet python3 "$root/demo/make_tree.py" \
    --out "$tmp/tree" --exe "$QVR_DIST_TREE_DIR/$E2E_PRODUCT/Intern/Programm/QVR-Kelvador.exe"
  check "regenerated tree equals the reference tree" \
    diff -r "$QVR_DIST_TREE_DIR/$E2E_PRODUCT" "$tmp/tree/$E2E_PRODUCT"
  check "a member above one chunk of 524,288 bytes" \
    test "$(stat -c %s "$QVR_DIST_TREE_DIR/$E2E_PRODUCT/Daten/Programm/Vorlagen/Spielbericht.dat")" -gt 524288
  rm -rf "$tmp"
}

# signed_medium: the medium made again by make-dist.sh with a throwaway
# self-signed certificate, put in place of the scenario's medium. Both programs
# carry a signature that verifies against that certificate.
signed_medium() {
  local dir="$work/signing" password="only-for-this-test"
  rm -rf "$dir"
  mkdir -p "$dir"
  if ! openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=QVR Software Test" \
    -keyout "$dir/key.pem" -out "$dir/cert.pem" >>"$log" 2>&1 ||
    ! openssl pkcs12 -export -inkey "$dir/key.pem" -in "$dir/cert.pem" -out "$dir/cert.p12" \
      -passout "pass:$password" >>"$log" 2>&1; then
    fail "no throwaway certificate"
    return 1
  fi
  if ! QVR_SIGN_PKCS12="$dir/cert.p12" QVR_SIGN_PASSWORD="$password" QVR_DIST_DIR="$dir/dist" \
    QVR_DIST_TREE_DIR="$dir/tree" scripts/make-dist.sh >>"$log" 2>&1; then
    fail "make-dist.sh did not sign the medium"
    return 1
  fi
  check "signed Setup.exe verifies" grep -qx "Signature verification: ok" \
    <(osslsigncode verify -CAfile "$dir/cert.pem" -in "$dir/dist/Setup.exe" 2>&1)
  mkdir -p "$dir/unpacked"
  "$E2E_QVRPACK" unpack -q "$dir/dist/QVRKDV2.QVP" "$dir/unpacked" >>"$log" 2>&1
  check "the archive's product program is signed and verifies" grep -qx \
    "Signature verification: ok" <(osslsigncode verify -CAfile "$dir/cert.pem" \
    -in "$dir/unpacked/$E2E_PRODUCT/Intern/Programm/QVR-Kelvador.exe" 2>&1)
  cp -a "$dir/dist/." "$medium/"
  rm -rf "$dir"
}

# The medium signed; the close confirmation in the welcome state answered "&Ja":
# the signed setup runs, ends, and nothing is installed.
scenario_welcome_close() {
  begin welcome-close || return
  signed_medium || return
  launch || return
  check "click Abbrechen" quiet drv click "QVR-KELVADOR V2" "Abbrechen"
  if ! drv wait-window "Bestätigen" 10 >/dev/null; then
    fail "no close confirmation"
    return
  fi
  check "answer &Ja" quiet drv click "Bestätigen" "&Ja"
  check "setup ends" setup_ended 20
  check "setup ends with exit code 0 (is ${SETUP_RC:-none})" test "${SETUP_RC:-}" = 0
  check "no installation root" test ! -e "$install_root"
  check "no shortcut" test ! -e "$desktop/$E2E_LINK"
}

# A font of the same name that is already installed keeps its content; the close
# confirmation answered "&Nein" keeps the dialog in its welcome state; Escape at
# the final message answers no.
scenario_font_kept() {
  begin font-kept || return
  printf 'an older font file of the same name\n' >"$fonts/DejaVuSans.ttf"
  cp "$fonts/DejaVuSans.ttf" "$work/old-font"
  launch || return
  check "click Abbrechen" quiet drv click "QVR-KELVADOR V2" "Abbrechen"
  if drv wait-window "Bestätigen" 10 >/dev/null; then
    settle
    shot "$shots/02-close-confirmation.png"
    check "close confirmation text" grep -q "Sind Sie sicher das sie die Installation abbrechen möchten?" \
      <(drv text "Bestätigen")
    check "answer &Nein" quiet drv click "Bestätigen" "&Nein"
    check "confirmation gone" quiet drv wait-gone "Bestätigen" 10
    check "dialog stays in its welcome state" grep -qx "Install >>" <(drv buttons "QVR-KELVADOR V2")
  else
    fail "no close confirmation"
  fi
  install_to_final || return
  check "Escape at the final message" quiet drv key "Warnung" escape
  check "setup ends after Escape" setup_ended 20
  check "no restart requested after Escape" no_wmi_loaded
  check "existing font keeps its content" cmp -s "$work/old-font" "$fonts/DejaVuSans.ttf"
  check "other font copied" cmp -s "$QVR_DIST_TREE_DIR/$E2E_PRODUCT/Daten/Programm/Fonts/DejaVuSans-Bold.ttf" \
    "$fonts/DejaVuSans-Bold.ttf"
  check_tree_installed
}

# An earlier installation, answered "Abbrechen": nothing on disk changes.
scenario_existing_cancel() {
  begin existing-cancel || return
  mkdir -p "$product/Intern/Programm"
  printf 'from an earlier installation\n' >"$product/Intern/Programm/QVR-Kelvador.exe"
  local before
  before="$(snapshot)"
  launch || return
  install_until "Bestätigen" 20 "no question about the earlier installation" || return
  settle
  shot "$shots/02-already-installed.png"
  local text
  text="$(drv text "Bestätigen")"
  check "question names the earlier installation" \
    grep -q "Dieses Programm ist auf Ihrem Computer schon installiert!!!" <<<"$text"
  check "question explains both answers" grep -q "Betätigen Sie JA um mit der Installation fortzufahren." <<<"$text"
  check "question buttons" test "$(drv buttons "Bestätigen" | sort | tr '\n' '|')" = "&Ja|Abbrechen|"
  check "answer Abbrechen" quiet drv click "Bestätigen" "Abbrechen"
  check "setup ends" setup_ended 20
  check "nothing on disk changed" test "$before" = "$(snapshot)"
  check "no shortcut" test ! -e "$desktop/$E2E_LINK"
}

# An earlier installation, answered "&Ja": the archive is unpacked over it;
# files of the archive are replaced, files of the user's stay.
scenario_existing_yes() {
  begin existing-yes || return
  mkdir -p "$product/Intern/Programm" "$product/Daten/Eigene"
  printf 'from an earlier installation\n' >"$product/Intern/Programm/QVR-Kelvador.exe"
  printf 'the user'"'"'s own report\n' >"$product/Daten/Eigene/Bericht.txt"
  launch || return
  install_over_existing "no question about the earlier installation" || return
  check "program replaced by the archive's" cmp -s \
    "$QVR_DIST_TREE_DIR/$E2E_PRODUCT/Intern/Programm/QVR-Kelvador.exe" "$product/Intern/Programm/QVR-Kelvador.exe"
  check "the user's own file stays" test -f "$product/Daten/Eigene/Bericht.txt"
  rm -rf "$product/Daten/Eigene"
  check_tree_installed
}

# A file named like the product folder is no earlier installation: no question.
# Unpacking cannot create the product folder, which ends the run without a
# status; the shortcut is still written and the dialog stays open.
scenario_product_file() {
  begin product-file || return
  mkdir -p "$install_root"
  printf 'a file, not a folder\n' >"$product"
  launch || return
  check "click Install >>" quiet drv click "QVR-KELVADOR V2" "Install >>"
  for _ in $(seq 1 200); do
    [ -f "$desktop/$E2E_LINK" ] && break
    sleep 0.1
  done
  check "shortcut written" test -f "$desktop/$E2E_LINK"
  check "no question about an earlier installation" not drv exists "Bestätigen"
  check "no final message" not drv wait-window "Warnung" 3
  check "no failure message" not drv exists "Setup"
  settle
  shot "$shots/02-after-failed-run.png"
  check "dialog still open" quiet drv exists "QVR-KELVADOR V2"
  check "the file is left alone" test "$(cat "$product")" = "a file, not a folder"
  check "no font copied" test ! -e "$fonts/DejaVuSans.ttf"
}

# No archive beside the setup: failure code 5, the program ends.
scenario_missing_archive() {
  begin missing-archive || return
  rm -f "$medium/QVRKDV2.QVP"
  launch || return
  install_until "Setup" 20 "no failure message" 99-no-failure-message.png || return
  settle
  shot "$shots/02-failure-code.png"
  local text
  text="$(drv text "Setup")"
  check "failure message shows code 5" grep -qx "\[Static\] FehlerCode = 5" <<<"$text"
  check "failure message says the installation stops" grep -q "Die Installation wird abgebrochen!!!" <<<"$text"
  check "failure message has OK alone" test "$(drv buttons "Setup")" = "OK"
  check "the packer's own status text is not shown" not grep -q "Zu entpackende Datei" <<<"$text"
  check "answer OK" quiet drv click "Setup" "OK"
  check "setup ends without a close confirmation" setup_ended 20
  check "installation root created and left empty" test -d "$install_root" -a -z "$(ls -A "$install_root" 2>/dev/null)"
  check "no font copied" test ! -e "$fonts/DejaVuSans.ttf"
  check "no shortcut" test ! -e "$desktop/$E2E_LINK"
}

# A file where the installation root belongs: the root cannot be created, and the
# packer reports the missing destination folder, code 4.
scenario_root_blocked() {
  begin root-blocked || return
  printf 'not a folder\n' >"$install_root"
  launch || return
  install_until "Setup" 20 "no failure message" || return
  settle
  shot "$shots/02-failure-code.png"
  check "failure message shows code 4" grep -qx "\[Static\] FehlerCode = 4" <(drv text "Setup")
  check "answer OK" quiet drv click "Setup" "OK"
  check "setup ends" setup_ended 20
  check "the blocking file is left alone" test "$(cat "$install_root")" = "not a folder"
  check "no font copied" test ! -e "$fonts/DejaVuSans.ttf"
  check "no shortcut" test ! -e "$desktop/$E2E_LINK"
}

# A folder in the place of the shortcut file: saving the link fails, the error
# box says so, and the completion goes on with the final message.
scenario_shortcut_blocked() {
  begin shortcut-blocked || return
  mkdir -p "$desktop/$E2E_LINK"
  launch || return
  install_until "Setup" 60 "no error box for the shortcut" 99-no-error-box.png || return
  settle
  shot "$shots/02-shortcut-error.png"
  check "error box text with a full stop" grep -qx "\[Static\] Unable to create \.lnk file\." <(drv text "Setup")
  check "error box has OK alone" test "$(drv buttons "Setup")" = "OK"
  check "answer OK" quiet drv click "Setup" "OK"
  check "final message follows" quiet drv wait-window "Warnung" 20
  drv click "Warnung" "&Nein" >/dev/null
  check "setup ends" setup_ended 20
  check "the folder in the way is left alone" test -d "$desktop/$E2E_LINK"
  check_tree_installed
  check_fonts_copied
}

# A bad record header after the fonts: no status, fonts and shortcut done, the
# dialog stays until a confirmed close; "&Nein" keeps it, "&Ja" ends the setup.
scenario_damaged_archive() {
  begin damaged-archive || return
  python3 "$archive_tool" damage "$QVR_DIST_DIR/QVRKDV2.QVP" "$medium/QVRKDV2.QVP" \
    --after-folder Fonts >>"$log"
  launch || return
  check "click Install >>" quiet drv click "QVR-KELVADOR V2" "Install >>"
  for _ in $(seq 1 200); do
    [ -f "$desktop/$E2E_LINK" ] && break
    sleep 0.1
  done
  check "shortcut written after the damaged run" test -f "$desktop/$E2E_LINK"
  # The shortcut is the completion's last step; a message after it would follow at once.
  check "no final message" not drv wait-window "Warnung" 3
  check "no failure message" not drv exists "Setup"
  shot "$shots/02-after-damaged-run.png"
  check "dialog still open" quiet drv exists "QVR-KELVADOR V2"
  check "dialog in its installing state (no buttons)" test -z "$(drv buttons "QVR-KELVADOR V2")"
  check_fonts_copied
  check "fonts unpacked before the damage" test -d "$product/Daten/Programm/Fonts"
  check "nothing unpacked after the damage" test ! -e "$product/Intern"
  check_shortcut

  check "close requested" quiet drv close "QVR-KELVADOR V2"
  if drv wait-window "Bestätigen" 10 >/dev/null; then
    settle
    shot "$shots/03-close-confirmation.png"
    check "answer &Nein" quiet drv click "Bestätigen" "&Nein"
    check "confirmation gone" quiet drv wait-gone "Bestätigen" 10
    check "dialog stays after &Nein" quiet drv exists "QVR-KELVADOR V2"
    check "setup still running" setup_running
  else
    fail "no close confirmation"
  fi
  check "close requested again" quiet drv close "QVR-KELVADOR V2"
  if drv wait-window "Bestätigen" 10 >/dev/null; then
    check "answer &Ja" quiet drv click "Bestätigen" "&Ja"
    check "setup ends after &Ja" setup_ended 20
  else
    fail "no second close confirmation"
  fi
}

# A large archive, so that the bar is caught mid-run. "Install >>" is
# double-clicked and the user switches to another program during the unpack: one
# install sequence runs, and its final message stays with the dialog and comes to
# the front. "&Ja" at the restart offer asks WMI for the restart, which Wine
# refuses, and the setup ends all the same.
scenario_restart_yes() {
  begin restart-yes || return
  local big="$work/big-tree"
  rm -rf "$big"
  cp -al "$QVR_DIST_TREE_DIR" "$big"
  # Sparse: costs no disk in the tree, yet the setup writes every byte.
  truncate -s 300M "$big/$E2E_PRODUCT/Daten/Programm/Vorlagen/Gross.dat"
  "$E2E_QVRPACK" pack "$big/$E2E_PRODUCT/" "$medium/QVRKDV2.QVP" >>"$log" 2>&1 ||
    { fail "packing the large archive"; return; }
  rm -rf "$big"
  launch || return
  local other="Anderes Programm" fronts="$work/fronts.txt" cx cy
  drv open-window "$other" 8 8 300 >"$fronts" &
  check "another program's window" quiet drv wait-window "$other" 20
  read -r cx cy _ _ <<<"$(drv_client "QVR-KELVADOR V2")"
  check "double-click on Install >>" xclick $((cx + 462 + 37)) $((cy + 407 + 12)) 2
  check "the user switches to the other program" xclick 100 60
  local bx by caught=""
  read -r bx by <<<"$(bar_origin)"
  for _ in $(seq 1 60); do
    shot "$work/bar.png"
    if colour_near "$work/bar.png" $((bx + 1)) "$by" 1 255 0 >/dev/null &&
      colour_near "$work/bar.png" $((bx + 526)) "$by" 255 255 255 0 >/dev/null; then
      caught=1
      mv "$work/bar.png" "$shots/02-installing.png"
      break
    fi
    drv exists "Warnung" >/dev/null && break
  done
  rm -f "$work/bar.png"
  if [ -n "$caught" ]; then
    pass "bar caught part filled: lime at the left, white at the right"
    local labels
    labels="$(drv text "QVR-KELVADOR V2")"
    check "installing label shown" grep -q "Dateien werden installiert \.\.\." <<<"$labels"
    check "welcome label hidden" not grep -q "Allgemeine Informationen:" <<<"$labels"
  else
    echo "    note: the bar was not caught mid-run (the unpack was faster than the screenshots)"
  fi
  if ! drv wait-window "Warnung" 120 >/dev/null; then
    fail "no final message"
    return
  fi
  shot "$shots/03-final-message.png"
  check_bar_full "$shots/03-final-message.png"
  local owner
  owner="$(drv owner "Warnung")"
  check "final message owned by the install dialog" grep -qx 'owner "QVR-KELVADOR V2"' <<<"$owner"
  check "final message above its dialog" grep -qx "above-owner yes" <<<"$owner"
  # shellcheck disable=SC2016  # the $0 is awk's
  check "final message came to the front from the other program" \
    awk -v a="front \"$other\"" '$0 == "front \"Warnung\"" && prev == a { found = 1 } { prev = $0 }
      END { exit !found }' "$fronts"
  check "one install sequence: no second question about an earlier installation" \
    not drv exists "Bestätigen"
  check "no WMI before the answer" no_wmi_loaded
  check "answer &Ja" quiet drv click "Warnung" "&Ja"
  check "setup ends after the refused restart" setup_ended 30
  check "restart requested through WMI" wmi_loaded
  check "large member unpacked whole" \
    test "$(stat -c %s "$product/Daten/Programm/Vorlagen/Gross.dat" 2>/dev/null)" = $((300 * 1024 * 1024))
  check_shortcut
}

# What a user planted in the installation tree before an administrator's setup ran:
# a program folder with a library beside the program and a hard link to a file outside
# where the program belongs, and a hard link among the fonts. The program folder and
# the fonts are unpacked anew and hold only the archive's files; nothing outside the
# tree changes.
scenario_planted_links() {
  begin planted-links || return
  local outside="$work/outside-$scenario"
  rm -rf "$outside"
  mkdir -p "$outside" "$product/Intern/Programm" "$product/Daten/Programm/Fonts"
  printf 'the hard link'"'"'s target\n' >"$outside/hard"
  printf 'a secret the administrator may read\n' >"$outside/secret"
  ln "$outside/hard" "$product/Intern/Programm/QVR-Kelvador.exe"
  printf 'a library planted beside the program\n' >"$product/Intern/Programm/version.dll"
  ln "$outside/secret" "$product/Daten/Programm/Fonts/Hard.ttf"
  local before
  before="$(cd "$outside" && md5sum hard secret)"
  launch || return
  install_over_existing "no question about the planted product folder" || return
  check "the links' targets are unchanged" test "$before" = "$(cd "$outside" && md5sum hard secret)"
  check "the program folder holds the archive's files alone" \
    diff -r "$QVR_DIST_TREE_DIR/$E2E_PRODUCT/Intern" "$product/Intern"
  check "the member is a file of its own" \
    test "$(stat -c %h "$product/Intern/Programm/QVR-Kelvador.exe")" = 1
  check "the fonts folder holds the archive's fonts alone" \
    diff -r "$QVR_DIST_TREE_DIR/$E2E_PRODUCT/Daten/Programm/Fonts" "$product/Daten/Programm/Fonts"
  check_fonts_copied
  check "no planted file copied into the font folder" test ! -e "$fonts/Hard.ttf"
  rm -rf "$outside"
}

# A symbolic link a user planted among the fonts. Wine removes what such a link leads
# to when the link itself is removed, so the setup cannot take the fonts folder anew:
# it says so, owned by its dialog and in German, and ends before anything is unpacked.
# (Windows removes the link itself; the unit tests cover that way.)
scenario_planted_symlink() {
  begin planted-symlink || return
  local outside="$work/outside-$scenario"
  rm -rf "$outside"
  mkdir -p "$outside" "$product/Daten/Programm/Fonts"
  printf 'a secret the administrator may read\n' >"$outside/secret"
  ln -s "$outside/secret" "$product/Daten/Programm/Fonts/Linked.ttf"
  launch || return
  install_until "Bestätigen" 20 "no question about the planted product folder" || return
  check "answer &Ja" quiet drv click "Bestätigen" "&Ja"
  if ! drv wait-window "Setup" 20 >/dev/null; then
    fail "no box about the folder that cannot be protected"
    return
  fi
  settle
  shot "$shots/02-not-protected.png"
  local text
  text="$(drv text "Setup")"
  check "the box names the fonts folder" \
    grep -qF 'Der Ordner C:\QVR-SOFTWARE\QVR-Kelvador [DV2.95]\Daten\Programm\Fonts kann nicht' <<<"$text"
  check "the box gives the reason in German" grep -q "es ist eine Verknüpfung" <<<"$text"
  check "the box says the installation stops" grep -q "Die Installation wird abgebrochen!!!" <<<"$text"
  check "the box is owned by the install dialog" \
    grep -qx 'owner "QVR-KELVADOR V2"' <(drv owner "Setup")
  check "the box has OK alone" test "$(drv buttons "Setup")" = "OK"
  check "answer OK" quiet drv click "Setup" "OK"
  check "setup ends" setup_ended 20
  check "exit code 20" test "${SETUP_RC:-}" = 20
  check "the link's target is unchanged" grep -q "a secret" "$outside/secret"
  check "nothing unpacked" test ! -e "$product/Intern"
  check "no font copied" test ! -e "$fonts/DejaVuSans.ttf" -a ! -e "$fonts/Linked.ttf"
  check "no shortcut" test ! -e "$desktop/$E2E_LINK"
  rm -rf "$outside"
}

# near WHAT GOT EXPECTED: one counted check that two pixel values differ by one at most.
near() {
  local d=$(($2 - $3))
  check "$1 (is $2, expected $3)" test "${d#-}" -le 1
}

# check_scaled_bounds WHAT LINE L T W H DPI: the bounds in a line of drv_controls
# are the design bounds scaled to DPI, each within one pixel.
check_scaled_bounds() {
  local what="$1" dpi="$7" l t w h
  read -r _ l t w h _ <<<"$2"
  if [ -z "${h:-}" ]; then
    fail "$what: not found"
    return
  fi
  near "$what left" "$l" "$(muldiv "$3" "$dpi" 96)"
  near "$what top" "$t" "$(muldiv "$4" "$dpi" 96)"
  near "$what width" "$w" "$(muldiv "$5" "$dpi" 96)"
  near "$what height" "$h" "$(muldiv "$6" "$dpi" 96)"
}

# check_scaled_install DPI: from the close confirmation, "&Nein" and an installation;
# the full bar at its scaled place: lime at the left, yellow in the middle,
# pink-red at the right.
check_scaled_install() {
  local dpi="$1" cx cy
  check "$dpi: answer &Nein" quiet drv click "Bestätigen" "&Nein"
  install_until "Warnung" 60 "$dpi: no final message" || return
  settle
  local file="$shots/$dpi-final-message.png"
  shot "$file"
  read -r cx cy _ _ <<<"$(drv_client "QVR-KELVADOR V2")"
  local bx=$((cx + $(muldiv 8 "$dpi" 96))) by=$((cy + $(muldiv 407 "$dpi" 96) + 3))
  local bw
  bw="$(muldiv 529 "$dpi" 96)"
  check "$dpi: bar column 1 lime" colour_near "$file" $((bx + 1)) "$by" 1 255 0
  check "$dpi: bar middle yellow" colour_near "$file" $((bx + bw / 2)) "$by" 255 255 0
  check "$dpi: bar column $((bw - 2)) pink-red" colour_near "$file" $((bx + bw - 2)) "$by" 255 1 128
  check "$dpi: answer &Nein at the final message" quiet drv click "Warnung" "&Nein"
  check "$dpi: setup ends" setup_ended 20
}

# check_scaled_dialog DPI: the dialog's client area and controls are the design's
# scaled to DPI, and the welcome text and the heading show whole.
check_scaled_dialog() {
  local dpi="$1" cw ch controls l1 pw
  read -r _ _ cw ch <<<"$(drv_client "QVR-KELVADOR V2")"
  echo "    dialog client area at $dpi: ${cw}x${ch}"
  near "$dpi: client width" "${cw:-0}" "$(muldiv 550 "$dpi" 96)"
  near "$dpi: client height" "${ch:-0}" "$(muldiv 443 "$dpi" 96)"
  controls="$(drv_controls "QVR-KELVADOR V2")"
  check_scaled_bounds "$dpi: panel" "$(grep '^QvrPanel ' <<<"$controls")" 8 8 529 393 "$dpi"
  check_scaled_bounds "$dpi: welcome text" "$(grep '^Edit ' <<<"$controls")" 8 48 513 281 "$dpi"
  check_scaled_bounds "$dpi: address" "$(grep '^Static .* QVR Software' <<<"$controls")" \
    48 344 435 35 "$dpi"
  check_scaled_bounds "$dpi: Install >>" "$(grep ' Install >>$' <<<"$controls")" \
    462 407 75 25 "$dpi"
  check_scaled_bounds "$dpi: Abbrechen" "$(grep ' Abbrechen$' <<<"$controls")" \
    382 407 75 25 "$dpi"
  check "$dpi: all 14 welcome lines, none wrapped, the last inside the field" \
    grep -q '^Edit .* lines 14 fits yes ' <<<"$controls"
  read -r _ _ _ l1 _ <<<"$(grep '^Static .* Allgemeine Informationen:' <<<"$controls")"
  read -r _ _ _ pw _ <<<"$(grep '^QvrPanel ' <<<"$controls")"
  check "$dpi: the heading's text fits its panel" test "${l1:-9999}" -lt "${pw:-0}"
}

# check_background_pictures DPI: the background's pictures where a start at DPI lays
# them out from its outer size; the margins for the frame (9 and 28) scale with DPI.
check_background_pictures() {
  local dpi="$1" bl bt br bb cw ch pictures
  read -r bl bt br bb <<<"$(drv_window "QVR-LORWENTHASCOP V1.0")"
  read -r _ _ cw ch <<<"$(drv_client "QVR-LORWENTHASCOP V1.0")"
  local W=$((br - bl)) H=$((bb - bt))
  local w1=$((W * 10 / 23)) h1=$((H * 10 / 85)) w2=$((W / 3)) h2=$((H * 10 / 95))
  local x2=$((W - w2 - $(muldiv 9 "$dpi" 96))) y2=$((H - h2 - $(muldiv 28 "$dpi" 96)))
  pictures="$(drv_controls "QVR-LORWENTHASCOP V1.0" | grep '^QvrPicture ')"
  echo "    background outer ${W}x${H}, client ${cw}x${ch} at $dpi: $(tr '\n' ' ' <<<"$pictures")"
  check "$dpi: top picture ${w1}x${h1} at 0,0" grep -qx "QvrPicture 0 0 $w1 $h1 " <<<"$pictures"
  check "$dpi: bottom picture ${w2}x${h2} at $x2,$y2" \
    grep -qx "QvrPicture $x2 $y2 $w2 $h2 " <<<"$pictures"
}

# The running setup moved through displays of other densities (the message Windows
# sends then; Wine's own frames keep the prefix's density): each step ends as a
# start at that density lays the dialog and the background's pictures out.
check_density_changes() {
  local to dialog background
  dialog="$(drv_window "QVR-KELVADOR V2")"
  background="$(drv_window "QVR-LORWENTHASCOP V1.0")"
  for to in 120 144 192 96; do
    echo "  -- changed to $to pixels per inch while running"
    check "$to: density change of the dialog" quiet drv dpi-change "QVR-KELVADOR V2" "$to"
    check "$to: density change of the background" \
      quiet drv dpi-change "QVR-LORWENTHASCOP V1.0" "$to"
    settle
    shot "$shots/changed-to-$to.png"
    check "$to: the background keeps its place and size" \
      test "$(drv_window "QVR-LORWENTHASCOP V1.0")" = "$background"
    check "$to: the dialog keeps its top left corner" \
      test "$(cut -d' ' -f1-2 <<<"$(drv_window "QVR-KELVADOR V2")")" = "$(cut -d' ' -f1-2 <<<"$dialog")"
    check_scaled_dialog "$to"
    check_background_pictures "$to"
  done
}

# The setup at four display densities, one after the other in one prefix: the
# dialog's client area and its controls scale by DPI/96, the welcome text shows
# whole, and the message box scales too. At 96 the running setup also goes through
# density changes. The screen is large enough for the dialog at 200 %.
scenario_dpi() {
  begin dpi 2048x1536 || return
  qvr_wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 2048x1536 /f >/dev/null 2>&1
  local dpi controls
  for dpi in 96 120 144 192; do
    echo "  -- $dpi pixels per inch"
    set_dpi "$dpi"
    launch || return
    sleep 1
    shot "$shots/$dpi-welcome.png"
    check_scaled_dialog "$dpi"
    check_background_pictures "$dpi"
    [ "$dpi" != 96 ] || check_density_changes

    check "$dpi: click Abbrechen" quiet drv click "QVR-KELVADOR V2" "Abbrechen"
    if drv wait-window "Bestätigen" 10 >/dev/null; then
      settle
      shot "$shots/$dpi-message.png"
      controls="$(drv_controls "Bestätigen")"
      local bw bh
      read -r _ _ _ bw bh _ <<<"$(grep ' &Ja$' <<<"$controls")"
      near "$dpi: message box button width" "${bw:-0}" "$(muldiv 75 "$dpi" 96)"
      near "$dpi: message box button height" "${bh:-0}" "$(muldiv 25 "$dpi" 96)"
      local icon
      icon="$(muldiv 32 "$dpi" 96)"
      check "$dpi: message box icon ${icon}x${icon}" grep -q "^Static [0-9]* [0-9]* $icon $icon $" <<<"$controls"
    else
      fail "$dpi: no close confirmation"
    fi
    if [ "$dpi" = 144 ]; then
      check_scaled_install "$dpi"
    else
      check "$dpi: answer &Ja" quiet drv click "Bestätigen" "&Ja"
      check "$dpi: setup ends" setup_ended 20
    fi
    WINEPREFIX="$prefix" qvr_wineserver -k 2>/dev/null || true
  done
}

# Names beyond ASCII, on a small product tree: the archive holds them as code page
# 1252 bytes, qvrpack.exe under Wine packs the same records, and a setup renamed
# "Installation für Kunden.exe" in the folder "Übergabe" shows its name in the
# failure box's caption and installs the names as they were packed.
scenario_umlauts() {
  begin umlauts || return
  local tree="$work/umlaut-tree" from="$medium/Übergabe"
  local setup="$from/Installation für Kunden.exe" archive="$from/QVRKDV2.QVP"
  rm -rf "$tree"
  mkdir -p "$tree/$E2E_PRODUCT/Grüße" "$tree/$E2E_PRODUCT/Daten/Programm/Fonts" "$from"
  printf 'Inhalt\n' >"$tree/$E2E_PRODUCT/Übersicht.txt"
  printf 'Hallo\n' >"$tree/$E2E_PRODUCT/Grüße/Brief.txt"
  cp "$QVR_DIST_TREE_DIR/$E2E_PRODUCT/Daten/Programm/Fonts/DejaVuSans-Bold.ttf" \
    "$tree/$E2E_PRODUCT/Daten/Programm/Fonts/Schrift Ä.ttf"
  cp "$medium/Setup.exe" "$setup"

  WINEDEBUG=-all qvr_wine "$setup" >>"$log" 2>&1 &
  SETUP_PID=$!
  if drv wait-window "QVR-KELVADOR V2" 30 >/dev/null; then
    install_until "Installation für Kunden" 20 "no failure box titled \"Installation für Kunden\"" \
      99-no-failure-message.png &&
      check "failure box without the archive shows code 5" \
        grep -qx "\[Static\] FehlerCode = 5" <(drv text "Installation für Kunden")
    settle
    shot "$shots/02-failure-caption.png"
    drv click "Installation für Kunden" "OK" >/dev/null
    check "setup ends after the failure box" setup_ended 20
  else
    fail "the install dialog did not appear (archive missing)"
  fi

  check "native pack of the names" quiet "$E2E_QVRPACK" pack -q "$tree/$E2E_PRODUCT" "$archive"
  check "\"Übersicht.txt\" stored as DC 62 65 72 ..." \
    env LC_ALL=C grep -qa $'0D01\xdcbersicht\\.txt' "$archive"
  check "\"Grüße\" stored as 47 72 FC DF 65" env LC_ALL=C grep -qa $'8501Gr\xfc\xdfe' "$archive"
  mkdir -p "$drive_c/Baum"
  cp -a "$tree/$E2E_PRODUCT" "$drive_c/Baum/"
  qvr_wine "$E2E_QVRPACK_EXE" pack -q "C:\\Baum\\$E2E_PRODUCT" 'C:\wine.qvp' >>"$log" 2>&1
  check "qvrpack.exe under Wine packs the same records" \
    diff <("$E2E_QVRPACK" list "$archive" | sort) <("$E2E_QVRPACK" list "$drive_c/wine.qvp" | sort)
  check "qvrpack.exe lists the names in UTF-8" \
    grep -q "Grüße.Brief.txt" <(qvr_wine "$E2E_QVRPACK_EXE" list 'C:\wine.qvp' 2>&1)
  check "qvrpack.exe names a path with umlauts intact" \
    grep -q 'C:\\Übergabe\\fehlt.qvp' <(qvr_wine "$E2E_QVRPACK_EXE" list 'C:\Übergabe\fehlt.qvp' 2>&1)

  WINEDEBUG=-all qvr_wine "$setup" >>"$log" 2>&1 &
  SETUP_PID=$!
  if ! drv wait-window "QVR-KELVADOR V2" 30 >/dev/null; then
    fail "the install dialog did not appear (archive there)"
    return
  fi
  install_until "Warnung" 60 "no final message" 99-no-final-message.png || return
  check "answer &Nein" quiet drv click "Warnung" "&Nein"
  check "setup ends" setup_ended 20
  check "\"Übersicht.txt\" installed under its name" cmp -s "$tree/$E2E_PRODUCT/Übersicht.txt" \
    "$product/Übersicht.txt"
  check "folder \"Grüße\" installed under its name" test -f "$product/Grüße/Brief.txt"
  check "installed tree equals the packed tree" diff -r "$tree/$E2E_PRODUCT" "$product"
  check "font \"Schrift Ä.ttf\" in the font folder under its name" \
    cmp -s "$tree/$E2E_PRODUCT/Daten/Programm/Fonts/Schrift Ä.ttf" "$fonts/Schrift Ä.ttf"
  rm -rf "$tree"
}

# ---------------------------------------------------------------------------

if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${all_scenarios[@]}"
  exit 0
fi
selected=("$@")
[ ${#selected[@]} -gt 0 ] || selected=("${all_scenarios[@]}")

if [ "${QVR_E2E_SKIP_BUILD:-}" != 1 ]; then
  if ! scripts/make-dist.sh e2e-driver qvrpack; then
    echo "0 passed, 1 failed"
    exit 1
  fi
fi
for f in "$QVR_DIST_DIR/Setup.exe" "$QVR_DIST_DIR/QVRKDV2.QVP" "$E2E_DRIVER" "$E2E_QVRPACK" \
  "$E2E_QVRPACK_EXE"; do
  [ -f "$f" ] || { echo "e2e: $f is missing"; echo "0 passed, 1 failed"; exit 1; }
done

mkdir -p "$work"
echo "== pristine Wine prefix"
pristine_prefix "$work/pristine" || { echo "0 passed, 1 failed"; exit 1; }
trap 'finish' EXIT

started=$SECONDS
for s in "${selected[@]}"; do
  fn="scenario_${s//-/_}"
  if ! declare -F "$fn" >/dev/null; then
    scenario="$s"
    fail "unknown scenario"
    continue
  fi
  failed_before=$failed
  "$fn"
  finish
  if [ -f "$work/logs/$s.log" ] && grep -q "Unhandled exception" "$work/logs/$s.log"; then
    fail "Setup.exe crashed (backtrace in $work/logs/$s.log)"
  fi
  # A prefix is some 600 MB: keep it only where there is something to look at.
  if [ "$failed" -eq "$failed_before" ]; then
    rm -rf "${work:?}/prefixes/$s" "${work:?}/media/$s"
  fi
done
echo "== end-to-end: $((SECONDS - started)) s; screenshots in $screens, Wine's output in $work/logs"
if [ "$failed" -gt 0 ]; then
  printf '  failed: %s\n' "${failures[@]}"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
