"""Installations over an earlier one that fail, and one that succeeds. The earlier
installation is planted as the setup leaves one, with what the program keeps beside
itself, a font somebody added and a user's report. After any failure the earlier
program, settings and fonts and the user's data are as they were; after success what lay
beside the program and the fonts beyond the archive's files is kept aside."""

import shutil

import pytest

from steps import existing_product, failure_box, final_message, install, same_tree, succeeds, write
from test_failures import damaged_copy, refused_folder

SETTINGS = "Intern/Programm/Einstellungen.ini"
ADDED_FONT = "Daten/Programm/Fonts/Hinzugefuegt.ttf"
REPORT = "Daten/Spielberichte/Mein Bericht.txt"


def plant_earlier(s):
    s.install_root.mkdir()
    s.require(succeeds(s.wine.qvrpack, "-q", "unpack", s.wine.dist / "QVRKDV2.QVP",
                       s.install_root, log=s.log), "the earlier installation unpacked")
    write(s.product / SETTINGS, "[Ansicht]\nSpalten=7\n")
    write(s.product / ADDED_FONT, "a font somebody added\n")
    write(s.product / REPORT, "a user's report\n")


def earlier(s):
    """The earlier installation as it stands: its program folder and fonts whole, the
    user's report, the Windows fonts."""
    return {str(p.relative_to(s.product)): p.read_bytes()
            for folder in ("Intern", "Daten/Programm/Fonts") for p in (s.product / folder).rglob("*")
            if p.is_file()} | {REPORT: (s.product / REPORT).read_bytes(),
                               "fonts": sorted(p.name for p in s.fonts.iterdir())}


def longer_archive(s):
    """The archive with a file after the program folder, for a failure once that is
    unpacked."""
    tree = s.work / "tree" / s.product.name
    shutil.copytree(s.wine.tree, tree)
    write(tree / "Zusatz.txt", "unpacked after Intern\n")
    s.require(succeeds(s.wine.qvrpack, "-q", "pack", f"{tree}/", s.medium / "QVRKDV2.QVP",
                       log=s.log), "packing the longer archive")


# Each failure: what is planted after the earlier installation, and the box it ends with.
FAILURES = {
    "reinstall-missing-archive": (lambda s: (s.medium / "QVRKDV2.QVP").unlink(),
                                  lambda s: failure_box(s, 5)),
    "reinstall-damaged-archive": (
        lambda s: damaged_copy(s.wine.dist / "QVRKDV2.QVP", s.medium / "QVRKDV2.QVP", "Fonts"),
        lambda s: failure_box(s, 11)),
    "reinstall-file-in-tree": (
        lambda s: (shutil.rmtree(s.product / "Daten/Programm/Bilder"),
                   write(s.product / "Daten/Programm/Bilder", "a file, not a folder\n")),
        lambda s: refused_folder(s, "\\QVR-Kelvador [DV2.95]\\Daten\\Programm\\Bilder",
                                 "es ist eine Datei, kein Ordner")),
    # A folder where a file belongs: the unpack fails before it reaches the program
    # folder, or after it has unpacked it.
    "reinstall-fails-before-program": (
        lambda s: (s.product / "Daten/Programm/Bilder/QVR.bmp").unlink() or
        (s.product / "Daten/Programm/Bilder/QVR.bmp").mkdir(),
        lambda s: failure_box(s, 12)),
    "reinstall-fails-after-program": (
        lambda s: (longer_archive(s), (s.product / "Zusatz.txt").mkdir()),
        lambda s: failure_box(s, 12)),
}


@pytest.mark.parametrize("scenario_name", FAILURES)
def test_reinstall_failure(scenario, scenario_name):
    s = scenario
    plant, ends = FAILURES[scenario_name]
    plant_earlier(s)
    plant(s)
    before = earlier(s)
    s.launch()
    install(s)
    existing_product(s, "&Ja")
    ends(s)
    s.check(earlier(s) == before, "the earlier program, settings and fonts and the user's data "
                                  "are as they were")
    s.check(not (s.product / "Vorherige Installation").exists(), "nothing left aside")
    s.check(not (s.product / "Frühere Dateien").exists(), "nothing kept")
    s.check(not s.link.exists(), "no shortcut")


def test_reinstall_success(scenario):
    s = scenario
    plant_earlier(s)
    s.launch()
    install(s)
    existing_product(s, "&Ja")
    final_message(s, "&Nein")
    kept = s.product / "Frühere Dateien"
    s.check(same_tree(s.wine.tree / "Intern", s.product / "Intern"),
            "the program folder holds the archive's files alone")
    s.check_eq((kept / SETTINGS).read_bytes(), b"[Ansicht]\nSpalten=7\n",
               "the earlier settings kept in Frühere Dateien")
    s.check_eq((kept / "Fonts/Hinzugefuegt.ttf").read_bytes(), b"a font somebody added\n",
               "the added font kept in Frühere Dateien")
    s.check_eq(sorted(p.name for p in (kept / "Intern/Programm").iterdir()), ["Einstellungen.ini"],
               "nothing of the archive kept beside the settings")
    s.check(not (s.fonts / "Hinzugefuegt.ttf").exists(), "the added font not copied into Windows")
    s.check_eq((s.product / REPORT).read_bytes(), b"a user's report\n", "the user's report")
    s.check(not (s.product / "Vorherige Installation").exists(), "nothing left aside")
