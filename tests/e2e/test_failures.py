"""Installations that cannot run to their end: a folder of the tree is in the way, the
archive is missing or damaged, or the shortcut cannot be saved."""

import os

import pytest

from harness.product import ERROR
from steps import (STOPS, box, check_fonts_copied, check_tree_installed, failure_box,
                   final_message, install, setup_ends, snapshot, write)


def check_nothing_copied(s):
    s.check(not (s.fonts / "DejaVuSans.ttf").exists(), "no font copied")
    s.check(not s.link.exists(), "no shortcut")


def made_by_another_user(s, folder):
    if os.geteuid() != 0:
        pytest.skip("only root can give a folder to another user here")
    folder.mkdir(parents=True)
    os.chown(folder, 65534, 65534)


def refused_folder(s, folder, why, shot="02-refused-folder.png"):
    """The box that names a folder of the tree the setup cannot secure, and the end with
    exit code 20."""
    box(s, ERROR, "box about the folder", buttons=["OK"], owned=True,
        mentions=[f"Der Ordner C:\\QVR-SOFTWARE{folder} ", why, STOPS], shot=shot, answer="OK")
    setup_ends(s, "after OK", code=20)


# Folders of the tree that stand in the way: the setup refuses each before anything
# changes, names it in its box and ends with exit code 20. What is planted, the folder
# below QVR-SOFTWARE the box names, and why.
REFUSED = {
    # A file is no earlier installation: no question first.
    "product-file": (lambda s: write(s.product, "a file, not a folder\n"),
                     "\\QVR-Kelvador [DV2.95]", "es ist eine Datei, kein Ordner"),
    "root-blocked": (lambda s: write(s.install_root, "a file, not a folder\n"), "",
                     "es ist eine Datei, kein Ordner"),
    # Another user made it and could take it back; under Wine a folder another Unix user
    # owns belongs to Anonymous.
    "foreign-root": (lambda s: made_by_another_user(s, s.install_root), "",
                     "wurde von einem anderen Benutzer angelegt"),
}


@pytest.mark.parametrize("scenario_name", REFUSED)
def test_refused_folder(scenario, scenario_name):
    s = scenario
    plant, folder, why = REFUSED[scenario_name]
    plant(s)
    before = snapshot(s)
    s.launch()
    install(s)
    refused_folder(s, folder, why)
    s.check_eq(snapshot(s), before, "nothing changed below C:\\")
    check_nothing_copied(s)


# Failures of the packer found before anything changes: what is planted, the status.
FAILURES = {
    "missing-archive": (lambda s: (s.medium / "QVRKDV2.QVP").unlink(), 5),
    # A bad record header after the fonts.
    "damaged-archive": (lambda s: damaged_copy(s.wine.dist / "QVRKDV2.QVP",
                                               s.medium / "QVRKDV2.QVP", "Fonts"), 11),
}


@pytest.mark.parametrize("scenario_name", FAILURES)
def test_failure_status(scenario, scenario_name):
    """A failure status of the packer: its box, then the end; nothing installed."""
    s = scenario
    plant, code = FAILURES[scenario_name]
    plant(s)
    s.launch()
    install(s)
    failure_box(s, code)
    s.check(not s.install_root.exists(), "nothing created below C:\\")
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
    record header that is not hexadecimal: the setup reads the archive through and finds
    it before it writes anything."""
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
