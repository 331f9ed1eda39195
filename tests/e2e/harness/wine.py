"""Which Windows build runs under Wine on this host, and how its programs start.

scripts/windows-arch.sh decides; this runs it and takes over what it exports."""

import subprocess
import tempfile
from pathlib import Path

from harness.product import PRODUCT

ROOT = Path(__file__).resolve().parents[3]


def _utf8_locale(env):
    # Wine reads command lines and window texts through the locale: umlauts in
    # captions such as "Bestätigen" need a UTF-8 one.
    current = env.get("LC_ALL") or env.get("LANG") or ""
    if "UTF-8" not in current and "utf8" not in current:
        env["LC_ALL"] = "C.UTF-8"


class Wine:
    """The Windows build under test, its programs and the Wine that runs them."""

    def __init__(self, root=ROOT):
        self.root = Path(root)
        script = 'root="$1"; source "$root/scripts/windows-arch.sh" >&2 && env -0'
        done = subprocess.run(["bash", "-c", script, "bash", str(self.root)],
                              capture_output=True, check=False)
        if done.returncode != 0:
            raise RuntimeError("scripts/windows-arch.sh: " + done.stderr.decode(errors="replace"))
        env = dict(entry.split("=", 1) for entry in done.stdout.decode().split("\0") if "=" in entry)
        _utf8_locale(env)
        env["WINEDEBUG"] = "-all"
        # No Mono/Gecko installers, and no menu or desktop entries of the host for
        # the shortcuts that the setup writes.
        env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;winemenubuilder.exe=d"
        env.setdefault("QVR_NATIVE_BUILD_DIR", str(self.root / "build/native"))
        self.env = env
        self.arch = env["QVR_WINDOWS_ARCH"]
        self.why = env["QVR_WINDOWS_ARCH_WHY"]
        self.loader = env["WINELOADER"]
        self.server = env["WINESERVER"]
        build = Path(env["QVR_WINDOWS_BUILD_DIR"])
        native = Path(env["QVR_NATIVE_BUILD_DIR"])
        self.dist = Path(env["QVR_DIST_DIR"])
        self.tree = Path(env["QVR_DIST_TREE_DIR"]) / PRODUCT
        self.driver = build / "tests/e2e/driver/e2e-driver.exe"
        self.qvrpack = native / "tools/qvrpack/qvrpack"
        self.qvrpack_exe = build / "tools/qvrpack/qvrpack.exe"

    def environment(self, prefix, display=None, **extra):
        env = dict(self.env, WINEPREFIX=str(prefix), **extra)
        if display is not None:
            env["DISPLAY"] = display
        return env

    def start(self, prefix, args, display=None, log=None, debug=None, **popen):
        """A Windows program started in `prefix`; its output goes to the file `log`."""
        extra = {"WINEDEBUG": debug} if debug else {}
        if log is not None:
            popen.setdefault("stdout", log)
            popen.setdefault("stderr", subprocess.STDOUT)
        return subprocess.Popen([self.loader, *map(str, args)],
                                env=self.environment(prefix, display, **extra), **popen)

    def run(self, prefix, args, display=None, timeout=120):
        """Output and exit code of a Windows program run to its end."""
        # A file, not a pipe: the wineserver that the program may start keeps its
        # output open for seconds after the program ended.
        with tempfile.TemporaryFile() as output:
            done = subprocess.run([self.loader, *map(str, args)], env=self.environment(prefix, display),
                                  stdout=output, stderr=subprocess.STDOUT, timeout=timeout,
                                  check=False)
            output.seek(0)
            return output.read().decode(errors="replace"), done.returncode

    def wineserver(self, prefix, *args):
        subprocess.run([self.server, *args], env=self.environment(prefix),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False, timeout=60)

    def version(self):
        return subprocess.run([self.loader, "--version"], capture_output=True, text=True,
                              check=True).stdout.strip()

    def make_dist(self, *targets):
        """scripts/make-dist.sh for this build, with extra Windows targets built along."""
        subprocess.run([str(self.root / "scripts/make-dist.sh"), *targets], env=self.env,
                       cwd=self.root, check=True)
