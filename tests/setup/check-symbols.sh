#!/usr/bin/env bash
# The Windows programs as they go onto the medium keep no debug sections and no symbol
# table, only a link to their .debug file beside them; through that link an address in
# the middle of TFormInstall::InstallButtonClick resolves to UnitInstall.cpp and a line
# of that function, as README.md resolves a crash address from a customer.
# Usage: check-symbols.sh ADDR2LINE NM OBJDUMP UNITINSTALL.CPP SETUP.EXE [PROGRAM.EXE ...]
set -euo pipefail

addr2line="$1" nm="$2" objdump="$3" source="$4"
shift 4
setup="$1"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

for program in "$@"; do
  sections="$("$objdump" -h "$program")"
  if grep -q ' \.debug_' <<<"$sections"; then fail "$program has debug sections"; fi
  grep -q ' \.gnu_debuglink ' <<<"$sections" || fail "$program has no link to its symbol file"
  [ -s "$program.debug" ] || fail "there is no symbol file $program.debug"
  if [ -n "$("$nm" "$program" 2>/dev/null)" ]; then fail "$program keeps its symbol table"; fi
done

# The function's lines in the source: from its head to the first closing brace in
# column 1 after it.
function_name='TFormInstall::InstallButtonClick'
first="$(grep -n "^void $function_name(" "$source" | cut -d: -f1)"
last="$(awk -v first="$first" 'NR > first && /^}/ { print NR; exit }' "$source")"
# Its addresses in the symbol file: from its symbol to the next one above it.
read -r start end < <("$nm" -n -C "$setup.debug" | awk -v name="qvr::$function_name(" '
  found && $1 != start { print start, $1; exit }
  $2 == "T" && index($0, name) { found = 1; start = $1 }') || true
if [ -z "$first" ] || [ -z "$last" ] || [ -z "${end:-}" ]; then
  echo "FAIL: $function_name not found (lines '$first'-'$last', addresses '${start:-}'-'${end:-}')"
  exit 1
fi
address="$(printf '0x%x' $(((0x$start + 0x$end) / 2)))"

# -i prints the functions inlined at the address first, the one that holds them last.
resolved="$("$addr2line" -f -i -e "$setup" "$address" | tail -n 2)"
function="$(head -n 1 <<<"$resolved")"
location="$(tail -n 1 <<<"$resolved")"
line="${location##*:}"
line="${line%% *}"
echo "$address -> $function at $location (the function spans lines $first-$last)"
# The name may come back mangled (32-bit targets prefix an underscore that addr2line
# takes off before demangling), but it names the function either way.
[[ "$function" == *InstallButtonClick* ]] || fail "$address resolves to $function"
[[ "$location" == */src/setup/UnitInstall.cpp:* ]] || fail "$address resolves to $location"
if ! [[ "$line" =~ ^[0-9]+$ ]] || [ "$line" -lt "$first" ] || [ "$line" -gt "$last" ]; then
  fail "$address resolves to line '$line', not one of $first-$last"
fi
[ "$failures" -eq 0 ]
