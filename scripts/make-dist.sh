#!/usr/bin/env bash
# Builds the distribution medium: build/dist/ holds Setup.exe beside QVRKDV2.QVP,
# build/dist-tree/ the unpacked product tree that the archive was packed from (the
# reference for comparisons with an installation).
#
# qvrpack comes from the native build, Setup.exe and the product from the win32
# build. Extra win32 targets to build along (e.g. e2e-driver) may be named as
# arguments. Build folders and outputs can be moved with QVR_NATIVE_BUILD_DIR,
# QVR_WIN32_BUILD_DIR, QVR_DIST_DIR and QVR_DIST_TREE_DIR.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

native_dir="${QVR_NATIVE_BUILD_DIR:-$root/build/native}"
win32_dir="${QVR_WIN32_BUILD_DIR:-$root/build/win32}"
dist="${QVR_DIST_DIR:-$root/build/dist}"
tree="${QVR_DIST_TREE_DIR:-$root/build/dist-tree}"

echo "== make-dist: qvrpack (native, $native_dir)"
cmake --preset native -B "$native_dir" >/dev/null
cmake --build "$native_dir" --target qvrpack -j2
qvrpack="$native_dir/tools/qvrpack/qvrpack"
[ -x "$qvrpack" ] || { echo "make-dist: $qvrpack was not built" >&2; exit 1; }

echo "== make-dist: Setup.exe, QVR-Kelvador.exe and the archive (win32, $win32_dir)"
cmake --preset win32 -B "$win32_dir" -DQVR_QVRPACK="$qvrpack" >/dev/null
cmake --build "$win32_dir" --target dist "$@" -j2

built="$win32_dir/demo"
for f in dist/Setup.exe dist/QVRKDV2.QVP; do
  [ -f "$built/$f" ] || { echo "make-dist: $built/$f was not built" >&2; exit 1; }
done
rm -rf "$dist" "$tree"
mkdir -p "$(dirname "$dist")" "$(dirname "$tree")"
cp -a "$built/dist" "$dist"
cp -a "$built/dist-tree" "$tree"

echo "== make-dist: distribution medium $dist"
ls -l "$dist"
