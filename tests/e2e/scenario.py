"""One scenario's world: a copy of the pristine prefix, a copy of the medium, an X
display, the window driver and the setup under test, and the checks it counts."""

import os
import subprocess
import time

from harness.display import Display
from harness.driver import Driver
from harness.prefix import copy_prefix, desktop_dir
from harness.product import DIALOG, LINK, PRODUCT


def remove(*paths):
    subprocess.run(["rm", "-rf", "--", *map(str, paths)], check=True)


class Stop(AssertionError):
    """A step failed that the rest of the scenario needs."""


class Checks:
    """The checks of one scenario: each failure counted, the scenario going on unless
    the rest needs what failed."""

    def __init__(self):
        self.count = 0
        self.failures = []
        self.unchecked = []

    def check(self, ok, what):
        """One check; `ok` may be a driver's answer, whose errors then join `what`."""
        self.count += 1
        if not ok:
            errors = getattr(ok, "errors", "").strip()
            self.failures.append(f"{what}: {errors}" if errors else what)
        return bool(ok)

    def fail(self, what):
        self.check(False, what)

    def require(self, ok, what):
        """A step that the rest of the scenario needs: its failure is counted and ends
        the scenario."""
        if not ok:
            self.check(ok, what)
            raise Stop(what)

    def cannot_check(self, reason):
        """A check that this host cannot run; the scenario is skipped with the reason
        unless another check failed."""
        self.unchecked.append(reason)

    def verdict(self):
        return list(self.failures)


class Scenario(Checks):
    def __init__(self, wine, build, name, label=None, screen="1024x768", shot_prefix=""):
        super().__init__()
        self.wine = wine
        self.name = name
        self.label = label or name
        self.prefix = build / "e2e/prefixes" / self.label
        self.medium = build / "e2e/media" / self.label
        self.work = build / "e2e/work" / self.label
        self.shots = build / "screenshots" / name
        self.shot_prefix = shot_prefix
        self.log_path = build / "e2e/logs" / f"{self.label}.log"
        self.desktop = desktop_dir(self.prefix)
        self.drive_c = self.prefix / "drive_c"
        self.install_root = self.drive_c / "QVR-SOFTWARE"
        self.product = self.install_root / PRODUCT
        self.fonts = self.drive_c / "windows/Fonts"
        self.link = self.desktop / LINK
        self.screen = screen
        self.display = None
        self.log = None
        self._driver = None
        self.setup = None
        self.setup_rc = None
        self.processes = []

    # -- the world ---------------------------------------------------------

    def begin(self, pristine):
        remove(self.prefix, self.medium, self.work)
        for path in (self.medium, self.work, self.shots, self.log_path.parent):
            path.mkdir(parents=True, exist_ok=True)
        for old in self.shots.glob(f"{self.shot_prefix}*.png"):
            old.unlink()
        copy_prefix(pristine, self.prefix)
        subprocess.run(["cp", "-a", f"{self.wine.dist}/.", str(self.medium)], check=True)
        self.log = open(self.log_path, "w")
        self.display = Display(self.screen)

    def finish(self, keep):
        """Ends every program of the scenario; the prefix and medium stay when `keep`."""
        self.wine.wineserver(self.prefix, "-k")
        for process in [self.setup, *self.processes]:
            if process is not None and process.poll() is None:
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        if self._driver is not None:
            self._driver.close()
        if self.display is not None:
            self.display.stop()
        if self.log is not None:
            self.log.close()
        remove(self.work)
        if not keep:
            # A prefix is some 600 MB: kept only where there is something to look at.
            remove(self.prefix, self.medium)

    @property
    def driver(self):
        if self._driver is None:
            self._driver = Driver(self.wine, self.prefix, self.display.name, self.log)
        return self._driver

    def start(self, args, **popen):
        """A Windows program in the scenario's prefix, ended with the scenario."""
        popen.setdefault("log", self.log)
        process = self.wine.start(self.prefix, args, display=self.display.name, **popen)
        self.processes.append(process)
        return process

    def run(self, args, timeout=120):
        """Output and exit code of a Windows program in the scenario's prefix."""
        return self.wine.run(self.prefix, args, display=self.display.name, timeout=timeout)

    def verdict(self):
        """The failed checks, with a crash of the setup as one more."""
        failures = super().verdict()
        log = self.log_path.read_text(errors="replace") if self.log_path.is_file() else ""
        if "Unhandled exception" in log:
            failures.append(f"Setup.exe crashed (backtrace in {self.log_path})")
        return failures

    # -- the setup ---------------------------------------------------------

    def start_setup(self, path=None, debug="+loaddll"):
        """Setup.exe from the medium. The DLL-load trace tells later whether the WMI
        scripting library was loaded, i.e. whether a restart was requested."""
        self.setup = self.wine.start(self.prefix, [path or self.medium / "Setup.exe"],
                                     display=self.display.name, log=self.log, debug=debug)
        self.setup_rc = None

    def launch(self, path=None, debug="+loaddll", missing="the install dialog did not appear"):
        self.start_setup(path, debug)
        self.require(self.driver.wait_window(DIALOG, 30), missing)

    def setup_ended(self, seconds=20):
        """The setup has ended within `seconds`; its exit code is then in setup_rc."""
        try:
            self.setup_rc = self.setup.wait(seconds)
            return True
        except subprocess.TimeoutExpired:
            return False

    def setup_running(self):
        return self.setup.poll() is None

    def wmi_loaded(self):
        self.log.flush()
        text = self.log_path.read_text(errors="replace").lower()
        return "wbemdisp" in text or "wbemprox" in text

    # -- the screen ----------------------------------------------------------

    def shot(self, name):
        """A screenshot, kept in the scenario's screenshot folder."""
        return self.display.grab().save(self.shots / f"{self.shot_prefix}{name}")

    def shot_when(self, name, painted, seconds=5):
        """A screenshot as soon as `painted(shot)` holds (or after `seconds`), kept."""
        deadline = time.monotonic() + seconds
        while True:
            shot = self.display.grab()
            if painted(shot) or time.monotonic() >= deadline:
                return shot.save(self.shots / f"{self.shot_prefix}{name}")
            time.sleep(0.1)

    @staticmethod
    def settle():
        """A window found by the driver may not have painted yet: a moment before a
        screenshot that only a person looks at."""
        time.sleep(0.5)

    def xclick(self, x, y, count=1):
        """Real pointer clicks through the X server, as a user's come; Wine's desktop
        fills the screen from 0,0."""
        return subprocess.run(
            ["xdotool", "mousemove", "--sync", str(x), str(y), "click", "--repeat", str(count),
             "--delay", "40", "1"], env=dict(os.environ, DISPLAY=self.display.name),
            check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
