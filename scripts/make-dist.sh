#!/usr/bin/env bash
# Builds the distribution medium: Setup.exe beside QVRKDV2.QVP, and the unpacked
# product tree that the archive was packed from (the reference for comparisons
# with an installation).
#
# qvrpack comes from the native build, Setup.exe and the product from the Windows
# build: the shipped 32-bit one (build/dist, build/dist-tree) unless
# QVR_WINDOWS_ARCH=win64 asks for the 64-bit one that tests and the demo use on
# hosts without 32-bit programs (build/dist-win64, build/dist-tree-win64). Every
# program of one medium is of one architecture. Extra Windows targets to build
# along (e.g. e2e-driver) may be named as arguments. Build folders and outputs can
# be moved with QVR_NATIVE_BUILD_DIR, QVR_WINDOWS_BUILD_DIR, QVR_DIST_DIR and
# QVR_DIST_TREE_DIR.
#
# The programs come from the build without their symbols; the symbol files of the
# medium's programs land beside it in <medium>-symbols (build/dist-symbols), to be kept
# with every release for resolving crash addresses (README.md). SHA256SUMS beside the
# two files of the medium holds their hashes.
#
# Signing: with QVR_SIGN_PKCS12 (a PKCS#12 file with the maker's code-signing
# certificate and key) and QVR_SIGN_PASSWORD (its password), Setup.exe and the
# product program inside the archive are signed with Authenticode (osslsigncode);
# QVR_SIGN_TIMESTAMP names an RFC 3161 timestamp server, optional. Without them
# the medium is built unsigned.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
: "${QVR_WINDOWS_ARCH:=win32}"
# shellcheck source=scripts/windows-arch.sh
source "$root/scripts/windows-arch.sh"

native_dir="${QVR_NATIVE_BUILD_DIR:-$root/build/native}"
windows_dir="$QVR_WINDOWS_BUILD_DIR"
dist="$QVR_DIST_DIR"
tree="$QVR_DIST_TREE_DIR"

echo "== make-dist: qvrpack (native, $native_dir)"
cmake --preset native -B "$native_dir" >/dev/null
cmake --build "$native_dir" --target qvrpack -j2
qvrpack="$native_dir/tools/qvrpack/qvrpack"
[ -x "$qvrpack" ] || { echo "make-dist: $qvrpack was not built" >&2; exit 1; }

echo "== make-dist: Setup.exe, QVR-Kelvador.exe and the archive ($QVR_WINDOWS_ARCH, $windows_dir)"
cmake --preset "$QVR_WINDOWS_ARCH" -B "$windows_dir" -DQVR_QVRPACK="$qvrpack" >/dev/null
cmake --build "$windows_dir" --target dist "$@" -j2

built="$windows_dir/demo"
for f in dist/Setup.exe dist/QVRKDV2.QVP; do
  [ -f "$built/$f" ] || { echo "make-dist: $built/$f was not built" >&2; exit 1; }
done
symbols="$dist-symbols"
rm -rf "$dist" "$tree" "$symbols"
mkdir -p "$(dirname "$dist")" "$(dirname "$tree")"
cp -a "$built/dist" "$dist"
cp -a "$built/dist-tree" "$tree"
cp -a "$built/dist-symbols" "$symbols"

# sign FILE: signs FILE in place; the password goes through a pipe, not the
# command line, where every user of the machine could read it.
sign() {
  local args=(sign -pkcs12 "$QVR_SIGN_PKCS12" -readpass /dev/stdin -h sha256
    -n "QVR-Kelvador [DV2.95]" -i "https://www.qvr-software.example")
  [ -z "${QVR_SIGN_TIMESTAMP:-}" ] || args+=(-ts "$QVR_SIGN_TIMESTAMP")
  if ! printf '%s' "$QVR_SIGN_PASSWORD" |
    osslsigncode "${args[@]}" -in "$1" -out "$1.signed" >/dev/null; then
    rm -f "$1.signed"
    echo "make-dist: signing $1 with $QVR_SIGN_PKCS12 failed" >&2
    exit 1
  fi
  chmod --reference="$1" "$1.signed"
  mv "$1.signed" "$1"
}

# Signing comes last: the programs are stripped by then, and any later change to a
# signed file would break its signature.
product="$tree/QVR-Kelvador [DV2.95]"
if [ -n "${QVR_SIGN_PKCS12:-}" ] && [ -n "${QVR_SIGN_PASSWORD+set}" ]; then
  echo "== make-dist: signing with $QVR_SIGN_PKCS12"
  sign "$product/Intern/Programm/QVR-Kelvador.exe"
  # The archive holds the product program: packed again with the signed one.
  "$qvrpack" pack -q "$product/" "$dist/QVRKDV2.QVP"
  sign "$dist/Setup.exe"
elif [ -n "${QVR_SIGN_PKCS12:-}${QVR_SIGN_PASSWORD:-}" ]; then
  echo "make-dist: signing needs both QVR_SIGN_PKCS12 and QVR_SIGN_PASSWORD" >&2
  exit 1
else
  echo "== make-dist: unsigned (QVR_SIGN_PKCS12 and QVR_SIGN_PASSWORD not given):" \
    "Windows will name the publisher \"Unknown\""
fi

# The customers' check of the files they received (README.md), over the files as they
# ship: written after signing.
(cd "$dist" && sha256sum Setup.exe QVRKDV2.QVP >SHA256SUMS)

echo "== make-dist: distribution medium $dist ($QVR_WINDOWS_ARCH programs)"
ls -l "$dist"
echo "== make-dist: their symbols (keep them with the release, not on the medium): $symbols"
