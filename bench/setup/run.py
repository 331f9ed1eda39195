#!/usr/bin/python3
"""make bench-setup: builds setup_bench.exe for the Windows build this host runs
(scripts/windows-arch.sh; QVR_WINDOWS_ARCH=win32|win64 forces one) and runs it in a Wine
prefix of its own, build/bench-setup/wineprefix-<build> (made as the end-to-end suite
makes its prefixes), on an Xvfb display of its own. Its work folder, with the generated
archives kept from run to run, is C:\\qvr-bench in that prefix. Arguments go to
setup_bench.exe, for example

    bench/setup/run.py --reps 9 --archives large --large 4x128
    bench/setup/run.py --probe

Other builds on the machine disturb the figures: take them under
`flock /tmp/qvr-heavy.lock make bench-setup`."""

import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests/e2e"))

from harness.display import Display  # noqa: E402
from harness.prefix import pristine_prefix  # noqa: E402
from harness.wine import ROOT, Wine  # noqa: E402


def load_average():
    return " ".join(Path("/proc/loadavg").read_text().split()[:3])


def main():
    wine = Wine()
    print(f"== Windows build: {wine.arch} ({wine.why})", flush=True)
    for command in (["cmake", "--preset", wine.arch],
                    ["cmake", "--build", "--preset", wine.arch, "--target", "setup_bench"]):
        subprocess.run(command, cwd=ROOT, env=wine.env, check=True, stdout=subprocess.DEVNULL)
    program = Path(wine.env["QVR_WINDOWS_BUILD_DIR"]) / "bench/setup/setup_bench.exe"
    prefix = pristine_prefix(wine, ROOT / f"build/bench-setup/wineprefix-{wine.arch}")
    display = Display()
    try:
        print(f"== load average before: {load_average()}", flush=True)
        done = subprocess.run([wine.loader, str(program), "--work", "C:\\qvr-bench", *sys.argv[1:]],
                              env=wine.environment(prefix, display.name), check=False)
        print(f"== load average after: {load_average()}", flush=True)
        return done.returncode
    finally:
        wine.wineserver(prefix, "-k")
        display.stop()


if __name__ == "__main__":
    sys.exit(main())
