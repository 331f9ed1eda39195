#!/usr/bin/python3
"""make demo: builds the distribution medium (build/dist: Setup.exe beside QVRKDV2.QVP)
and runs it under Wine in a fresh prefix, build/demo-wineprefix, made as the end-to-end
suite makes its prefixes. With a reachable $DISPLAY the setup runs there for you to click
through; otherwise it runs headless under Xvfb, driven through a whole installation by the
suite's steps (answering "&Nein" to the restart), with a screenshot of every step in
build/screenshots/demo/. Either way it ends by telling what was installed where."""

import os
import shutil
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests/e2e"))

from harness.prefix import desktop_dir, make_prefix  # noqa: E402
from harness.product import LINK  # noqa: E402
from harness.shortcut import header_number, link_fields  # noqa: E402
from harness.wine import ROOT, Wine  # noqa: E402
from scenario import Scenario, Stop  # noqa: E402
from steps import final_message, install, program_starts, succeeds, welcome_screen  # noqa: E402

PREFIX = ROOT / "build/demo-wineprefix"
SHOTS = ROOT / "build/screenshots/demo"


def headless(wine):
    """The setup on an Xvfb display, driven through an installation by the steps of the
    end-to-end suite; returns the checks that failed. A step that the rest needs ends
    the demo with a screenshot."""
    s = Scenario(wine, PREFIX, SHOTS, ROOT / "build/demo-setup.log", narrate=print)
    try:
        s.begin()
        print(f"== headless on Xvfb {s.display.name}")
        s.launch()
        welcome_screen(s)
        install(s)
        final_message(s, "&Nein", shot="02-final-message.png", seconds=120)
        program_starts(s, "03-installed-program.png")
    except Stop as stop:
        s.shot("99-failed.png")
        sys.exit(f"demo: step failed: {stop}")
    finally:
        s.finish(keep=True)
    return s.failures


def on_your_display(wine):
    display = os.environ.get("DISPLAY")
    if not display or not succeeds("xdpyinfo", env=dict(os.environ, DISPLAY=display)):
        return False
    print(f"== {wine.dist}/Setup.exe ({wine.arch}) on your display {display}: "
          "click through the installation")
    wine.start(PREFIX, [wine.dist / "Setup.exe"], display=display).wait()
    wine.wineserver(PREFIX, "-w")
    return True


def report(wine):
    drive_c = PREFIX / "drive_c"
    root = drive_c / "QVR-SOFTWARE"
    print(f"\n== installed: C:\\QVR-SOFTWARE\\ ({root})")
    entries = sorted(root.rglob("*")) if root.is_dir() else []
    for path in entries:
        size = "folder" if path.is_dir() else f"{path.stat().st_size:10d}"
        print(f"  {size:>10}  {path.relative_to(root)}")
    if not entries:
        print("  (nothing)")
    print("== fonts in C:\\windows\\Fonts")
    for font in sorted((wine.tree / "Daten/Programm/Fonts").iterdir()):
        installed = drive_c / "windows/Fonts" / font.name
        size = f"{installed.stat().st_size:10d}" if installed.is_file() else "   missing"
        print(f"  {size}  {font.name}")
    link = desktop_dir(PREFIX) / LINK
    print(f"== desktop shortcut C:\\users\\{desktop_dir(PREFIX).parent.name}\\Desktop\\{LINK}")
    if link.is_file():
        fields = link_fields(link)
        for name in ("Local path", "Working directory", "Command line arguments", "Description",
                     "Icon location", "Icon index"):
            print(f"  {name:<22} : {fields.get(name, '')}")
        print(f"  {'Show command (byte 60)':<22} : {header_number(link, 60, 4)}")
        print(f"  {'Hot key (byte 64)':<22} : {header_number(link, 64, 2)}")
    else:
        print("  (none)")
    shots = sorted(SHOTS.glob("*.png"))
    if shots:
        print(f"== screenshots in {SHOTS}")
        for shot in shots:
            print(f"  {shot.name}")


def main():
    wine = Wine()
    print(f"== Windows build: {wine.arch} ({wine.why})", flush=True)
    wine.make_dist("e2e-driver")
    print(f"== fresh Wine prefix {PREFIX}", flush=True)
    make_prefix(wine, PREFIX)
    shutil.rmtree(SHOTS, ignore_errors=True)
    SHOTS.mkdir(parents=True)
    failed = [] if on_your_display(wine) else headless(wine)
    report(wine)
    if failed:
        sys.exit("demo: check failed: " + "; ".join(failed))


if __name__ == "__main__":
    main()
