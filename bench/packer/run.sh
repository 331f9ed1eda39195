#!/usr/bin/env bash
# Times qvrpack against GNU tar and cp -r on two generated trees in the same run:
# "small" (many small files in many folders) and "large" (a few big files), about
# 1 GiB in all. Prints wall times, the ratios qvrpack/tar, the peak memory and, for
# the unpack of the small tree, the processor time (user and system) per file, also
# into memory (/dev/shm), where no disk and no other writer's writeback take part.
#
#   bench/packer/run.sh            # builds qvrpack (Release) under build/bench-packer
#   QVRPACK=/path/qvrpack bench/packer/run.sh
#   QVR_BENCH_TREES=small bench/packer/run.sh   # one tree only
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
root="$PWD/build/bench-packer"
reps="${QVR_BENCH_REPS:-5}"
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

# Runs `prep`, then the command; keeps in best[$key] the least wall time (s), in
# cpu[$key] the least processor time (s) and in peak[$key] the largest peak RSS (KiB).
declare -A best cpu peak
measure() {
  local key="$1" prep="$2" t u s rss
  shift 2
  "$prep"
  /usr/bin/time -f '%e %U %S %M' -o "$root/time.txt" "$@" >/dev/null 2>&1
  read -r t u s rss <"$root/time.txt"
  if [ -z "${best[$key]:-}" ] || awk "BEGIN{exit !($t < ${best[$key]})}"; then best[$key]=$t; fi
  local c
  c=$(awk "BEGIN{print $u + $s}")
  if [ -z "${cpu[$key]:-}" ] || awk "BEGIN{exit !($c < ${cpu[$key]})}"; then cpu[$key]=$c; fi
  if [ "$rss" -gt "${peak[$key]:-0}" ]; then peak[$key]=$rss; fi
}

clear_qvp() { rm -f "$root/$tree.qvp"; sync; }
clear_tar() { rm -f "$root/$tree.tar"; sync; }
clear_out() { rm -rf "$root/out"; mkdir -p "$root/out"; sync; }
memory=/dev/shm/qvr-bench-packer
clear_memory() { rm -rf "$memory"; mkdir -p "$memory"; }

make_trees
printf '%-6s %-8s %9s %9s %9s %8s %12s\n' tree step qvrpack tar "cp -r" ratio "peak qvrpack"
for tree in ${QVR_BENCH_TREES:-small large}; do
  src="$root/$tree"
  # The tools take turns in every round, so that a disturbance hits them alike.
  for _ in $(seq "$reps"); do
    measure qp clear_qvp "$QVRPACK" -q pack "$src/tree" "$root/$tree.qvp"
    measure tp clear_tar tar -cf "$root/$tree.tar" -C "$src" tree
    measure qu clear_out "$QVRPACK" -q unpack "$root/$tree.qvp" "$root/out"
    measure tu clear_out tar -xf "$root/$tree.tar" -C "$root/out"
    measure cp clear_out cp -r "$src/tree" "$root/out/"
    if [ "$tree" = small ] && [ -d /dev/shm ]; then
      measure qm clear_memory "$QVRPACK" -q unpack "$root/$tree.qvp" "$memory"
    fi
  done
  # The unpacked tree must equal the source.
  clear_out
  "$QVRPACK" -q unpack "$root/$tree.qvp" "$root/out"
  diff -r "$src/tree" "$root/out/tree" >/dev/null
  printf '%-6s %-8s %8ss %8ss %9s %8s %9s KiB\n' "$tree" pack "${best[qp]}" "${best[tp]}" "" \
    "$(awk "BEGIN{printf \"%.2f\", ${best[qp]}/${best[tp]}}")" "${peak[qp]}"
  printf '%-6s %-8s %8ss %8ss %8ss %8s %9s KiB\n' "$tree" unpack "${best[qu]}" "${best[tu]}" \
    "${best[cp]}" "$(awk "BEGIN{printf \"%.2f\", ${best[qu]}/${best[tu]}}")" "${peak[qu]}"
  if [ "$tree" = small ]; then
    files=$(find "$src/tree" -type f | wc -l)
    printf '%-6s %-8s %8s µs processor time per file (user and system, best of %d)\n' "$tree" \
      unpack "$(awk "BEGIN{printf \"%.1f\", ${cpu[qu]} * 1e6 / $files}")" "$reps"
    if [ -n "${cpu[qm]:-}" ]; then
      printf '%-6s %-8s %8s µs processor time per file into memory (/dev/shm)\n' "$tree" unpack \
        "$(awk "BEGIN{printf \"%.1f\", ${cpu[qm]} * 1e6 / $files}")"
      rm -rf "$memory"
    fi
  fi
  best=() cpu=() peak=()
done
rm -rf "$root/out"
