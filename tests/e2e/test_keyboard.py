"""The whole installation with the keyboard alone, as a user without a mouse (or with a
screen reader) goes through it: real key presses through the X server, no clicks."""

import os
import subprocess
import time

from harness.product import CONFIRM, DIALOG, FINAL
from steps import check_tree_installed, setup_ends


def press(s, *keys):
    """Real key presses through the X server, one after the other, as a keyboard's come
    (xdotool names: Tab, shift+Tab, Return, Escape, alt+n)."""
    return subprocess.run(["xdotool", "key", "--delay", "100", *keys],
                          env=dict(os.environ, DISPLAY=s.display.name), check=False,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def keyboard_on(s, caption, control, seconds=10):
    """The control `control` of the window `caption` has the keyboard within `seconds`."""
    want = f'focus "{control}"'
    deadline = time.monotonic() + seconds
    while True:
        if want in s.driver("focus", caption).lines:
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.1)


def test_keyboard_only(scenario):
    """The dialog opens with the keyboard on "Install >>". Tab and Return on "Abbrechen"
    ask the close confirmation, whose keyboard starts on "&Ja"; Escape answers it, the
    keyboard comes back to "Abbrechen" and the dialog stays. Shift+Tab and Return on
    "Install >>" install; Alt+N at the final message ends the setup without a restart."""
    s, d = scenario, scenario.driver
    s.launch()
    s.require(keyboard_on(s, DIALOG, "Install >>"), "the dialog opens with the keyboard on Install >>")
    s.check(press(s, "Tab"), "Tab")
    s.require(keyboard_on(s, DIALOG, "Abbrechen"), "Tab brings the keyboard to Abbrechen")
    s.check(press(s, "Return"), "Return on Abbrechen")
    s.require(d.wait_window(CONFIRM, 10), "no close confirmation after Return on Abbrechen")
    s.check(keyboard_on(s, CONFIRM, "&Ja"), "the close confirmation opens on &Ja")
    s.check(press(s, "Escape"), "Escape at the close confirmation")
    s.check(d("wait-gone", CONFIRM, 10), "the close confirmation goes after Escape")
    s.check(s.setup.poll() is None, "the setup goes on after Escape")
    s.check(keyboard_on(s, DIALOG, "Abbrechen"), "the keyboard comes back to Abbrechen")
    s.check(press(s, "shift+Tab"), "Shift+Tab")
    s.require(keyboard_on(s, DIALOG, "Install >>"), "Shift+Tab brings the keyboard to Install >>")
    s.check(press(s, "Return"), "Return on Install >>")
    s.require(d.wait_window(FINAL, 60), "no final message after Return on Install >>")
    s.check(keyboard_on(s, FINAL, "&Ja"), "the final message opens on &Ja")
    s.check(press(s, "alt+n"), "Alt+N at the final message")
    setup_ends(s, "after Alt+N", code=0)
    s.check(not s.wmi_loaded(), "no restart requested after Alt+N")
    check_tree_installed(s)
