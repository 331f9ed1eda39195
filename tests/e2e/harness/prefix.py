"""Wine prefixes as the setup runs in them: made once, reused while what makes them
stays the same, copied for every run."""

import fcntl
import json
import os
import pwd
import shutil
from pathlib import Path

# Every registry value a prefix gets on top of Wine's own (key, name, type, data).
SETTINGS = (
    # Wine's own desktop of the screen's size: without a window manager on the X
    # display a maximised window would keep its design size, and windows would have
    # no frames; the virtual desktop maximises and draws frames itself.
    (r"HKCU\Software\Wine\Explorer", "Desktop", "REG_SZ", "Default"),
    (r"HKCU\Software\Wine\Explorer\Desktops", "Default", "REG_SZ", "1024x768"),
    # Windows' "Times New Roman" has a metric twin in Liberation Serif; without it
    # Wine falls back to a wide sans serif face and the dialog's texts wrap.
    (r"HKCU\Software\Wine\Fonts\Replacements", "Times New Roman", "REG_SZ", "Liberation Serif"),
    # A crash ends the program with a backtrace in its output instead of a dialog
    # that would wait for a click.
    (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
)
# Wine links Desktop, Documents and the like to the Linux home; a shortcut written
# to the desktop would then land outside the prefix. Our prefixes have real folders.
USER_FOLDERS = "real folders"
KEY_FILE = ".qvr-prefix"


def user_dir(prefix):
    return Path(prefix) / "drive_c/users" / pwd.getpwuid(os.getuid()).pw_name


def desktop_dir(prefix):
    return user_dir(prefix) / "Desktop"


def set_values(wine, prefix, settings):
    for key, name, kind, data in settings:
        output, code = wine.run(prefix, ["reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"])
        if code != 0:
            raise RuntimeError(f"reg add {key} {name} in {prefix} failed: {output.strip()}")


def make_prefix(wine, prefix):
    """A new prefix at `prefix` (whatever was there is removed)."""
    prefix = Path(prefix)
    shutil.rmtree(prefix, ignore_errors=True)
    prefix.parent.mkdir(parents=True, exist_ok=True)
    wine.run(prefix, ["wineboot", "-i"], timeout=300)
    wine.wineserver(prefix, "-w")
    if not (prefix / "system.reg").is_file():
        raise RuntimeError(f"wineboot did not create {prefix}")
    for link in user_dir(prefix).iterdir():
        if link.is_symlink():
            link.unlink()
            link.mkdir()
    set_values(wine, prefix, SETTINGS)
    wine.wineserver(prefix, "-w")
    if '"Default"="1024x768"' not in (prefix / "user.reg").read_text(errors="replace"):
        raise RuntimeError(f"the virtual desktop was not set in {prefix}")


def prefix_key(wine):
    """What makes a prefix: the Wine that made it, for which build, and how."""
    return json.dumps({"arch": wine.arch, "wine": wine.version(), "settings": SETTINGS,
                       "user folders": USER_FOLDERS}, indent=1)


def copy_prefix(pristine, prefix):
    """A copy of a pristine prefix for one run. Wine's own programs and libraries, nine
    tenths of a prefix, are hard links to the pristine prefix's: no program writes
    them (a Wine update, which would, changes the key and makes a new pristine prefix).
    Whatever was at `prefix` is removed."""
    pristine, prefix = Path(pristine), Path(prefix)
    shutil.rmtree(prefix, ignore_errors=True)
    shared = [pristine / "drive_c/windows" / name for name in ("system32", "syswow64")]
    for folder, folders, files in os.walk(pristine):
        folder = Path(folder)
        target = prefix / folder.relative_to(pristine)
        target.mkdir(parents=True, exist_ok=True)
        linked = any(folder == s or s in folder.parents for s in shared)
        for name in files + [f for f in folders if (folder / f).is_symlink()]:
            source = folder / name
            if source.is_symlink():
                (target / name).symlink_to(os.readlink(source))
            elif linked:
                (target / name).hardlink_to(source)
            else:
                shutil.copy2(source, target / name)
        folders[:] = [f for f in folders if not (folder / f).is_symlink()]


def pristine_prefix(wine, prefix):
    """`prefix` made once and kept while its key stays the same; concurrent callers wait
    for the one that makes it."""
    prefix = Path(prefix)
    prefix.parent.mkdir(parents=True, exist_ok=True)
    key = prefix_key(wine)
    with open(f"{prefix}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        stamp = prefix / KEY_FILE
        if (prefix / "system.reg").is_file() and stamp.is_file() and stamp.read_text() == key:
            return prefix
        make_prefix(wine, prefix)
        stamp.write_text(key)
    return prefix
