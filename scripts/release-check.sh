#!/usr/bin/env bash
# Checks that the medium is reproducible: brings build/dist up to date
# (scripts/make-dist.sh), then builds the same sources again from scratch in a folder of
# their own, build/release-check/rebuild (a copy of the checkout's files, with its own
# native and Windows builds), and compares the two file by file: the medium and its
# SHA256SUMS, the symbol files, the product tree and qvrpack.exe with its symbols.
# Where a program differs, scripts/release-compare.py names the first differing
# section. Exit status 0 when every file is the same; the copy stays for a look when
# one differs.
#
# The medium of QVR_WINDOWS_ARCH (win32, the shipped one, unless that says win64).
# Signing variables are ignored: a signed medium is checked as README.md says.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
unset QVR_SIGN_PKCS12 QVR_SIGN_PASSWORD QVR_SIGN_TIMESTAMP QVR_NATIVE_BUILD_DIR \
  QVR_WINDOWS_BUILD_DIR QVR_DIST_DIR QVR_DIST_TREE_DIR
: "${QVR_WINDOWS_ARCH:=win32}"
export QVR_WINDOWS_ARCH
# shellcheck source=scripts/windows-arch.sh
source "$root/scripts/windows-arch.sh"

# sources: the names of the files that a commit of this checkout would hold, as they are
# now (NUL-separated); outside git every file but the build folder.
sources() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
      while IFS= read -r -d '' f; do
        if [ -e "$f" ] || [ -L "$f" ]; then printf '%s\0' "$f"; fi
      done
  else
    find . -path ./build -prune -o ! -type d -printf '%P\0'
  fi
}

started=$SECONDS
echo "== release-check: the medium of this checkout ($QVR_WINDOWS_ARCH)"
scripts/make-dist.sh qvrpack
updated=$SECONDS

copy="$root/build/release-check/rebuild"
echo "== release-check: the same files built again from scratch in $copy"
rm -rf "$root/build/release-check"
mkdir -p "$copy"
sources | tar --null --files-from=- -cf - | tar -xf - -C "$copy"
(
  unset QVR_WINDOWS_BUILD_DIR QVR_DIST_DIR QVR_DIST_TREE_DIR
  "$copy/scripts/make-dist.sh" qvrpack
)
rebuilt=$SECONDS

echo "== release-check: comparing"
windows="build/$QVR_WINDOWS_ARCH/tools/qvrpack"
dist="${QVR_DIST_DIR#"$root"/}"
tree="${QVR_DIST_TREE_DIR#"$root"/}"
failed=0
for pair in "$dist" "$dist-symbols" "$tree" "$windows/qvrpack.exe" "$windows/qvrpack.exe.debug"; do
  scripts/release-compare.py "$pair" "$copy/$pair" || failed=1
done
echo "== release-check: $((updated - started)) s to bring $dist up to date," \
  "$((rebuilt - updated)) s to build it again, $((SECONDS - rebuilt)) s to compare"
if [ "$failed" -ne 0 ]; then
  echo "release-check: the medium built again differs from $dist" >&2
  exit 1
fi
rm -rf "$root/build/release-check"
echo "release-check: the medium built again in another folder is the same, byte for byte"
