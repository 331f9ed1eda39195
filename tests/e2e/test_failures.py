"""Installations that cannot run to their end: the product folder, the archive, the
installation root or the shortcut is in the way or missing, or the archive is damaged."""

import subprocess
import sys
import time

from harness.product import DIALOG
from steps import (check_fonts_copied, check_shortcut, check_tree_installed, content,
                   install_until)

ARCHIVE_TOOL = __file__.rsplit("/", 1)[0] + "/archive_tool.py"


def wait_for_file(path, seconds=20):
    deadline = time.monotonic() + seconds
    while not path.is_file() and time.monotonic() < deadline:
        time.sleep(0.1)
    return path.is_file()


def check_nothing_copied(s):
    s.check(not (s.fonts / "DejaVuSans.ttf").exists(), "no font copied")
    s.check(not s.link.exists(), "no shortcut")


def test_product_file(scenario):
    """A file named like the product folder is no earlier installation: no question.
    Unpacking cannot create the product folder, which ends the run without a status;
    the shortcut is still written and the dialog stays open."""
    s, d = scenario, scenario.driver
    s.install_root.mkdir()
    s.product.write_text("a file, not a folder\n")
    s.launch()
    s.check(d("click", DIALOG, "Install >>"), "click Install >>")
    s.check(wait_for_file(s.link), "shortcut written")
    s.check(not d("exists", "Bestätigen"), "no question about an earlier installation")
    s.check(not d.wait_window("Warnung", 3), "no final message")
    s.check(not d("exists", "Setup"), "no failure message")
    s.settle()
    s.shot("02-after-failed-run.png")
    s.check(d("exists", DIALOG), "dialog still open")
    s.check(content(s.product) == b"a file, not a folder\n", "the file is left alone")
    s.check(not (s.fonts / "DejaVuSans.ttf").exists(), "no font copied")


def test_missing_archive(scenario):
    """No archive beside the setup: failure code 5, the program ends."""
    s, d = scenario, scenario.driver
    (s.medium / "QVRKDV2.QVP").unlink()
    s.launch()
    install_until(s, "Setup", 20, "no failure message", "99-no-failure-message.png")
    s.settle()
    s.shot("02-failure-code.png")
    text = d.text("Setup")
    s.check("[Static] FehlerCode = 5" in text.splitlines(), "failure message shows code 5")
    s.check("Die Installation wird abgebrochen!!!" in text,
            "failure message says the installation stops")
    s.check(d.buttons("Setup") == ["OK"], "failure message has OK alone")
    s.check("Zu entpackende Datei" not in text, "the packer's own status text is not shown")
    s.check(d("click", "Setup", "OK"), "answer OK")
    s.check(s.setup_ended(20), "setup ends without a close confirmation")
    s.check(s.install_root.is_dir() and not any(s.install_root.iterdir()),
            "installation root created and left empty")
    check_nothing_copied(s)


def test_root_blocked(scenario):
    """A file where the installation root belongs: the root cannot be created, and the
    packer reports the missing destination folder, code 4."""
    s, d = scenario, scenario.driver
    s.install_root.write_text("not a folder\n")
    s.launch()
    install_until(s, "Setup", 20, "no failure message")
    s.settle()
    s.shot("02-failure-code.png")
    s.check("[Static] FehlerCode = 4" in d.text("Setup").splitlines(), "failure message shows code 4")
    s.check(d("click", "Setup", "OK"), "answer OK")
    s.check(s.setup_ended(20), "setup ends")
    s.check(content(s.install_root) == b"not a folder\n", "the blocking file is left alone")
    check_nothing_copied(s)


def test_shortcut_blocked(scenario):
    """A folder in the place of the shortcut file: saving the link fails, the error box
    says so, and the completion goes on with the final message."""
    s, d = scenario, scenario.driver
    s.link.mkdir(parents=True)
    s.launch()
    install_until(s, "Setup", 60, "no error box for the shortcut", "99-no-error-box.png")
    s.settle()
    s.shot("02-shortcut-error.png")
    s.check("[Static] Unable to create .lnk file." in d.text("Setup").splitlines(),
            "error box text with a full stop")
    s.check(d.buttons("Setup") == ["OK"], "error box has OK alone")
    s.check(d("click", "Setup", "OK"), "answer OK")
    s.check(d.wait_window("Warnung", 20), "final message follows")
    d("click", "Warnung", "&Nein")
    s.check(s.setup_ended(20), "setup ends")
    s.check(s.link.is_dir(), "the folder in the way is left alone")
    check_tree_installed(s)
    check_fonts_copied(s)


def test_damaged_archive(scenario):
    """A bad record header after the fonts: no status, fonts and shortcut done, the
    dialog stays until a confirmed close; "&Nein" keeps it, "&Ja" ends the setup."""
    s, d = scenario, scenario.driver
    subprocess.run([sys.executable, ARCHIVE_TOOL, "damage", s.wine.dist / "QVRKDV2.QVP",
                    s.medium / "QVRKDV2.QVP", "--after-folder", "Fonts"], stdout=s.log, check=True)
    s.launch()
    s.check(d("click", DIALOG, "Install >>"), "click Install >>")
    s.check(wait_for_file(s.link), "shortcut written after the damaged run")
    # The shortcut is the completion's last step; a message after it would follow at once.
    s.check(not d.wait_window("Warnung", 3), "no final message")
    s.check(not d("exists", "Setup"), "no failure message")
    s.shot("02-after-damaged-run.png")
    s.check(d("exists", DIALOG), "dialog still open")
    s.check(d.buttons(DIALOG) == [], "dialog in its installing state (no buttons)")
    check_fonts_copied(s)
    s.check((s.product / "Daten/Programm/Fonts").is_dir(), "fonts unpacked before the damage")
    s.check(not (s.product / "Intern").exists(), "nothing unpacked after the damage")
    check_shortcut(s)

    s.check(d("close", DIALOG), "close requested")
    if d.wait_window("Bestätigen", 10):
        s.settle()
        s.shot("03-close-confirmation.png")
        s.check(d("click", "Bestätigen", "&Nein"), "answer &Nein")
        s.check(d("wait-gone", "Bestätigen", 10), "confirmation gone")
        s.check(d("exists", DIALOG), "dialog stays after &Nein")
        s.check(s.setup_running(), "setup still running")
    else:
        s.fail("no close confirmation")
    s.check(d("close", DIALOG), "close requested again")
    if d.wait_window("Bestätigen", 10):
        s.check(d("click", "Bestätigen", "&Ja"), "answer &Ja")
        s.check(s.setup_ended(20), "setup ends after &Ja")
    else:
        s.fail("no second close confirmation")
