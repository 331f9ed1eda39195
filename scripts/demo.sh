#!/usr/bin/env bash
# The main job: builds everything and reports what it built.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/build.sh native win32
echo "== built"
find build/native build/win32 -maxdepth 3 -type f \( -name '*.exe' -o -perm -u+x \) \
  -not -path '*/CMakeFiles/*' -not -path '*/googletest/*' | sort
