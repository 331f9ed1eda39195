"""Installations that cannot run to their end: the product folder, the archive, the
installation root or the shortcut is in the way or missing, or the archive is damaged."""

import time

import pytest

from harness.product import CONFIRM, DIALOG, ERROR, FINAL
from steps import (box, check_fonts_copied, check_shortcut, check_tree_installed, confirm_close,
                   content, failure_box, final_message, install, write)


def wait_for_file(path, seconds=20):
    deadline = time.monotonic() + seconds
    while not path.is_file() and time.monotonic() < deadline:
        time.sleep(0.1)
    return path.is_file()


def check_nothing_copied(s):
    s.check(not (s.fonts / "DejaVuSans.ttf").exists(), "no font copied")
    s.check(not s.link.exists(), "no shortcut")


def runs_without_a_box(s, shot):
    """"Install >>" runs to the shortcut, the completion's last step, and no box follows
    (it would at once): the dialog stays in its installing state."""
    d = s.driver
    install(s)
    s.check(wait_for_file(s.link), "shortcut written")
    s.check(not d.wait_window(FINAL, 3), "no final message")
    s.check(not d("exists", CONFIRM), "no question about an earlier installation")
    s.check(not d("exists", ERROR), "no failure message")
    s.settle()
    s.shot(shot)
    s.check(d("exists", DIALOG), "dialog still open")
    s.check_eq(d.buttons(DIALOG), [], "dialog in its installing state (no buttons)")


def test_product_file(scenario):
    """A file named like the product folder is no earlier installation: no question.
    Unpacking cannot create the product folder, which ends the run without a status;
    the shortcut is still written and the dialog stays open."""
    s = scenario
    write(s.product, "a file, not a folder\n")
    s.launch()
    runs_without_a_box(s, "02-after-failed-run.png")
    s.check(content(s.product) == b"a file, not a folder\n", "the file is left alone")
    s.check(not (s.fonts / "DejaVuSans.ttf").exists(), "no font copied")


# Failures of the packer: what is planted before the run, the status it reports, and
# what stays on disk.
FAILURES = {
    "missing-archive": (lambda s: (s.medium / "QVRKDV2.QVP").unlink(), 5,
                        lambda s: s.install_root.is_dir() and not any(s.install_root.iterdir()),
                        "installation root created and left empty"),
    # The root cannot be created: the packer misses its destination folder.
    "root-blocked": (lambda s: s.install_root.write_text("not a folder\n"), 4,
                     lambda s: content(s.install_root) == b"not a folder\n",
                     "the blocking file is left alone"),
}


@pytest.mark.parametrize("scenario_name", FAILURES)
def test_failure_status(scenario, scenario_name):
    """A failure status of the packer: its box, then the end; no fonts, no shortcut."""
    s = scenario
    plant, code, left, what = FAILURES[scenario_name]
    plant(s)
    s.launch()
    install(s)
    failure_box(s, code)
    s.check(left(s), what)
    check_nothing_copied(s)


def test_shortcut_blocked(scenario):
    """A folder in the place of the shortcut file: saving the link fails, the error box
    says so, and the completion goes on with the final message."""
    s = scenario
    s.link.mkdir(parents=True)
    s.launch()
    install(s)
    box(s, ERROR, "error box", ["Unable to create .lnk file."], buttons=["OK"],
        shot="02-shortcut-error.png", answer="OK", seconds=60)
    final_message(s, "&Nein", seconds=20)
    s.check(s.link.is_dir(), "the folder in the way is left alone")
    check_tree_installed(s)
    check_fonts_copied(s)


def damaged_copy(archive, out, folder):
    """A copy of `archive` with every record up to the end of `folder`'s contents, then a
    record header that is not hexadecimal: an unpack stops with an error after it has
    created `folder` and all before it."""
    data, pos, inside, cut = archive.read_bytes(), 0, None, None
    while pos < len(data):
        length, level = int(data[pos:pos + 2], 16), int(data[pos + 2:pos + 4], 16)
        end = pos + 4 + (length & 127)
        name = data[pos + 4:end].decode("cp1252")
        if length <= 128:  # a file: its size in 8 hex digits, then its bytes
            end += 8 + int(data[end:end + 8], 16)
        if inside is None:
            if length > 128 and name == folder:
                inside, cut = level, end
        elif level > inside:  # the folder's contents carry a higher level than its record
            cut = end
        else:
            break
        pos = end
    assert cut is not None and cut < len(data), f"nothing follows the folder {folder} in {archive}"
    out.write_bytes(data[:cut] + b"ZZ01Kaputt" + data[cut:cut + 64])


def test_damaged_archive(scenario):
    """A bad record header after the fonts: no status, fonts and shortcut done, the
    dialog stays until a confirmed close; "&Nein" keeps it, "&Ja" ends the setup."""
    s = scenario
    damaged_copy(s.wine.dist / "QVRKDV2.QVP", s.medium / "QVRKDV2.QVP", "Fonts")
    s.launch()
    runs_without_a_box(s, "02-after-damaged-run.png")
    check_fonts_copied(s)
    s.check((s.product / "Daten/Programm/Fonts").is_dir(), "fonts unpacked before the damage")
    s.check(not (s.product / "Intern").exists(), "nothing unpacked after the damage")
    check_shortcut(s)
    confirm_close(s, "&Nein", ask="close", shot="03-close-confirmation.png")
    confirm_close(s, "&Ja", ask="close")
