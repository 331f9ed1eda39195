"""One scenario's world: a Wine prefix, the medium, an X display, the window driver and
the setup under test, and the checks it counts. `make demo` runs in one too."""

import subprocess
import time
from contextlib import ExitStack

from harness import end
from harness.display import Display
from harness.driver import Driver
from harness.prefix import desktop_dir
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

    def check(self, ok, what, detail=""):
        """One check; its failure names `detail`, or the errors of a driver's answer `ok`."""
        self.count += 1
        if not ok:
            detail = detail or getattr(ok, "errors", "").strip()
            self.failures.append(f"{what}: {detail}" if detail else what)
        return bool(ok)

    def check_eq(self, got, want, what):
        """`got` equals `want`; a failure names both (texts as they are, in quotes)."""
        def shown(value):
            return f'"{value}"' if isinstance(value, str) else repr(value)

        return self.check(got == want, what, f"got {shown(got)}, want {shown(want)}")

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
    """A run in `prefix`, with screenshots in `shots` and Wine's output and the steps in
    `log_path`. A scenario of the suite has a copy of the medium and a work folder of its
    own; without them it runs the medium that was built. `narrate` hears the steps too."""

    def __init__(self, wine, prefix, shots, log_path, medium=None, work=None,
                 screen="1024x768", shot_prefix="", narrate=None):
        super().__init__()
        self.wine, self.prefix, self.shots, self.log_path = wine, prefix, shots, log_path
        self.medium, self.work = medium or wine.dist, work
        self.own = [path for path in (medium, work) if path]
        self.screen, self.shot_prefix, self.narrate = screen, shot_prefix, narrate
        self.desktop = desktop_dir(prefix)
        self.drive_c = prefix / "drive_c"
        self.install_root = self.drive_c / "QVR-SOFTWARE"
        self.product = self.install_root / PRODUCT
        self.fonts = self.drive_c / "windows/Fonts"
        self.link = self.desktop / LINK
        self.display = self.log = self._driver = self.setup = self.setup_rc = None
        self.processes = []
        self.keep = True
        self.later = ExitStack()

    # -- the world ---------------------------------------------------------

    def begin(self, make_prefix=None):
        """The prefix made by `make_prefix(path)` (None: it is there), the scenario's own
        medium and work folder, the log and the display. `finish` takes down whatever
        was made, even where a step of that fails."""
        self.later.callback(self._remove)
        remove(*self.own)
        for path in (*self.own, self.shots, self.log_path.parent):
            path.mkdir(parents=True, exist_ok=True)
        for old in self.shots.glob(f"{self.shot_prefix}*.png"):
            old.unlink()
        if make_prefix:
            make_prefix(self.prefix)
        if self.medium != self.wine.dist:
            subprocess.run(["cp", "-a", f"{self.wine.dist}/.", str(self.medium)], check=True)
        self.log = open(self.log_path, "w")
        self.later.callback(self.log.close)
        self.display = Display(self.screen)
        self.later.callback(self.display.stop)
        self.later.callback(self._end_programs)
        self.later.callback(self.wine.wineserver, self.prefix, "-k")

    def finish(self, keep):
        """Ends every program of the scenario, its display and log; the prefix and the
        medium stay when `keep`."""
        self.keep = keep
        self.later.close()

    def _end_programs(self):
        """What outlived wineserver -k, then the driver."""
        for process in self.processes:
            end(process, 10)
        if self._driver is not None:
            self._driver.close()

    def _remove(self):
        if self.work:
            remove(self.work)
        if not self.keep:
            # A prefix is some 600 MB: kept only where there is something to look at.
            remove(self.prefix, *self.own)

    @property
    def driver(self):
        if self._driver is None:
            self._driver = Driver(self.wine, self.prefix, self.display.name, self.log)
        return self._driver

    def say(self, step, *lines):
        """A step as it begins, with the `lines` it shows: into the log among Wine's
        output, and to `narrate`."""
        text = "\n".join([f"-- {step}", *(f"   | {line}" for line in lines)])
        print(text, file=self.log, flush=True)
        if self.narrate:
            self.narrate(text)

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

    def launch(self, path=None, debug="+loaddll"):
        """Setup.exe from the medium (or `path`) until its install dialog shows. The
        DLL-load trace tells later whether the WMI scripting library was loaded, i.e.
        whether a restart was requested."""
        path = path or self.medium / "Setup.exe"
        self.say(f"{path.name} ({self.wine.arch}) started from {path.parent}")
        self.setup, self.setup_rc = self.start([path], debug=debug), None
        self.require(self.driver.wait_window(DIALOG, 30), "the install dialog did not appear")

    def setup_ended(self, seconds=20):
        """The setup has ended within `seconds`; its exit code is then in setup_rc."""
        try:
            self.setup_rc = self.setup.wait(seconds)
            return True
        except subprocess.TimeoutExpired:
            return False

    def wmi_loaded(self):
        self.log.flush()
        text = self.log_path.read_text(errors="replace").lower()
        return "wbemdisp" in text or "wbemprox" in text

    # -- the screen ----------------------------------------------------------

    def shot(self, name):
        """A screenshot, kept in the scenario's screenshot folder."""
        return self.shot_when(name, lambda shot: True)

    def shot_when(self, name, painted, seconds=5):
        """A screenshot as soon as `painted(shot)` holds (or after `seconds`), kept."""
        deadline = time.monotonic() + seconds
        while True:
            shot = self.display.grab()
            if painted(shot) or time.monotonic() >= deadline:
                path = self.shots / f"{self.shot_prefix}{name}"
                if self.narrate:
                    self.narrate(f"   screenshot {path}")
                return shot.save(path)
            time.sleep(0.1)

    @staticmethod
    def settle():
        """A window found by the driver may not have painted yet: a moment before a
        screenshot that only a person looks at."""
        time.sleep(0.5)
