#!/usr/bin/env bash
# Times qvrpack against GNU tar and cp -r on two generated trees in the same run:
# "small" (many small files in many folders) and "large" (a few big files), about
# 1 GiB in all. Prints wall times, the ratios qvrpack/tar and the peak memory.
#
#   bench/packer/run.sh            # builds qvrpack (Release) under build/bench-packer
#   QVRPACK=/path/qvrpack bench/packer/run.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
root="$PWD/build/bench-packer"
reps="${QVR_BENCH_REPS:-3}"
mkdir -p "$root"

if [ -z "${QVRPACK:-}" ]; then
  cmake -S . -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DQVR_BENCHMARKS=OFF >/dev/null
  cmake --build "$root/build" --target qvrpack -j2 >/dev/null
  QVRPACK="$root/build/tools/qvrpack/qvrpack"
fi

make_trees() {
  if [ -f "$root/trees.done" ]; then return; fi
  rm -rf "$root/small" "$root/large"
  python3 - "$root" <<'PY'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(42)
# small: 20,000 files of 0 to 16 KiB in 400 folders, two levels deep
for d in range(400):
    folder = os.path.join(root, "small", "tree", "g%02d" % (d // 20), "d%03d" % d)
    os.makedirs(folder, exist_ok=True)
    for f in range(50):
        with open(os.path.join(folder, "f%02d.dat" % f), "wb") as out:
            out.write(rnd.randbytes(rnd.randint(0, 16384)))
# large: 4 files of 200 MiB and one of 100 MiB
os.makedirs(os.path.join(root, "large", "tree"), exist_ok=True)
block = rnd.randbytes(1 << 20)
for name, mib in [("a.bin", 200), ("b.bin", 200), ("c.bin", 200), ("d.bin", 200), ("e.bin", 100)]:
    with open(os.path.join(root, "large", "tree", name), "wb") as out:
        for i in range(mib):
            out.write(block[i % 7:] + block[:i % 7])
PY
  touch "$root/trees.done"
}

# Runs `prep`, then the command, `reps` times; prints the best wall time (s) and the
# largest peak RSS (KiB).
measure() {
  local prep="$1" best="" peak=0 t rss
  shift
  for _ in $(seq "$reps"); do
    "$prep"
    /usr/bin/time -f '%e %M' -o "$root/time.txt" "$@" >/dev/null 2>&1
    read -r t rss <"$root/time.txt"
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
    if [ "$rss" -gt "$peak" ]; then peak=$rss; fi
  done
  echo "$best $peak"
}

clear_qvp() { rm -f "$root/$tree.qvp"; sync; }
clear_tar() { rm -f "$root/$tree.tar.new"; sync; }
clear_out() { rm -rf "$root/out"; mkdir -p "$root/out"; sync; }

make_trees
printf '%-6s %-8s %9s %9s %9s %8s %12s\n' tree step qvrpack tar "cp -r" ratio "peak qvrpack"
for tree in small large; do
  src="$root/$tree"
  read -r qp qpm < <(measure clear_qvp "$QVRPACK" -q pack "$src/tree" "$root/$tree.qvp")
  read -r tp _ < <(measure clear_tar tar -cf "$root/$tree.tar.new" -C "$src" tree)
  read -r qu qum < <(measure clear_out "$QVRPACK" -q unpack "$root/$tree.qvp" "$root/out")
  mv "$root/$tree.tar.new" "$root/$tree.tar"
  read -r tu _ < <(measure clear_out tar -xf "$root/$tree.tar" -C "$root/out")
  read -r cp _ < <(measure clear_out cp -r "$src/tree" "$root/out/")
  # The unpacked tree must equal the source.
  clear_out
  "$QVRPACK" -q unpack "$root/$tree.qvp" "$root/out"
  diff -r "$src/tree" "$root/out/tree" >/dev/null
  printf '%-6s %-8s %8ss %8ss %9s %8s %9s KiB\n' "$tree" pack "$qp" "$tp" "" \
    "$(awk "BEGIN{printf \"%.2f\", $qp/$tp}")" "$qpm"
  printf '%-6s %-8s %8ss %8ss %8ss %8s %9s KiB\n' "$tree" unpack "$qu" "$tu" "$cp" \
    "$(awk "BEGIN{printf \"%.2f\", $qu/$tu}")" "$qum"
done
rm -rf "$root/out"
