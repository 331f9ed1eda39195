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
rm -rf "$dist" "$tree"
mkdir -p "$(dirname "$dist")" "$(dirname "$tree")"
cp -a "$built/dist" "$dist"
cp -a "$built/dist-tree" "$tree"

echo "== make-dist: distribution medium $dist ($QVR_WINDOWS_ARCH programs)"
ls -l "$dist"
