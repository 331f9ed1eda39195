#!/usr/bin/python3
"""make demo: builds the distribution medium (build/dist: Setup.exe beside QVRKDV2.QVP)
and runs it under Wine in a fresh prefix, build/demo-wineprefix, made as the end-to-end
suite makes its prefixes. With a reachable $DISPLAY the setup runs there for you to click
through; otherwise it runs headless under Xvfb, driven through a whole installation
(answering "&Nein" to the restart), with a screenshot of every step in
build/screenshots/demo/. Either way it ends by telling what was installed where."""

import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests/e2e"))

from harness.display import Display  # noqa: E402
from harness.driver import Driver  # noqa: E402
from harness.prefix import desktop_dir, make_prefix  # noqa: E402
from harness.product import DIALOG, LINK, PRODUCT  # noqa: E402
from harness.shortcut import header_number, link_fields  # noqa: E402
from harness.wine import ROOT, Wine  # noqa: E402

PREFIX = ROOT / "build/demo-wineprefix"
SHOTS = ROOT / "build/screenshots/demo"


def step(text):
    print(f"-- {text}", flush=True)


class Headless:
    """The setup on an Xvfb display, driven through an installation."""

    def __init__(self, wine):
        self.wine = wine
        self.display = Display()
        self.log = open(ROOT / "build/demo-setup.log", "w")
        self.driver = None

    def saved(self, name):
        self.display.grab().save(SHOTS / name)
        print(f"   screenshot {SHOTS / name}")

    def need(self, answer, what):
        """A step that must succeed."""
        if not answer:
            print(f"demo: step failed: {what} {getattr(answer, 'errors', '')}".strip(), file=sys.stderr)
            self.saved("99-failed.png")
            sys.exit(1)

    def run(self):
        wine, setup_exe = self.wine, self.wine.dist / "Setup.exe"
        print(f"== headless on Xvfb {self.display.name}")
        setup = wine.start(PREFIX, [setup_exe], display=self.display.name, log=self.log)
        step(f"Setup.exe ({wine.arch}) started from {wine.dist}")
        d = self.driver = Driver(wine, PREFIX, self.display.name, self.log)
        self.need(d.wait_window(DIALOG, 30), "the install dialog")
        time.sleep(1)  # the first paint
        self.saved("01-welcome.png")
        step("Install >>")
        self.need(d("click", DIALOG, "Install >>"), "click Install >>")
        self.need(d.wait_window("Warnung", 120), "the final message")
        time.sleep(0.5)
        self.saved("02-final-message.png")
        for line in d.text("Warnung").splitlines():
            if not line.startswith("[Button]"):
                print("   | " + line.removeprefix("[Static] "))
        step("&Nein: no restart")
        self.need(d("click", "Warnung", "&Nein"), "click &Nein")
        try:
            setup.wait(20)
        except subprocess.TimeoutExpired:
            sys.exit("demo: Setup.exe did not end")
        step("Setup.exe ended")
        step("the installed program, started through its desktop shortcut")
        wine.start(PREFIX, ["start", "/unix", desktop_dir(PREFIX) / LINK], display=self.display.name,
                   log=subprocess.DEVNULL)
        if d.wait_window(PRODUCT, 20):
            time.sleep(0.5)
            self.saved("03-installed-program.png")
            d("close", PRODUCT)
        else:
            print("   the program's window did not appear")

    def stop(self):
        self.wine.wineserver(PREFIX, "-k")
        if self.driver is not None:
            self.driver.close()
        self.display.stop()
        self.log.close()


def on_your_display(wine):
    display = os.environ.get("DISPLAY")
    if not display or subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL).returncode != 0:
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
    if not on_your_display(wine):
        headless = Headless(wine)
        try:
            headless.run()
        finally:
            headless.stop()
    report(wine)


if __name__ == "__main__":
    main()
