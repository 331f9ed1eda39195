"""Installations that run to their end: a first one, over an earlier one, beside a font
of the same name, through planted links, and one with a large archive."""

import os
import shutil
import subprocess
import time

from harness.product import CONFIRM, DIALOG, FINAL
from steps import (ESCAPE, bar_origin, check_fonts_copied, check_shortcut, check_tree_installed,
                   confirm_close, content, existing_product, final_message, install,
                   program_starts, same_file, same_tree, snapshot, welcome_screen, write, xclick)

SECRET = "a secret the administrator may read\n"


def test_fresh_install(scenario):
    """A first installation answered "&Nein" at the restart offer."""
    s = scenario
    s.launch()
    welcome_screen(s)
    install(s)
    final_message(s, "&Nein")
    check_tree_installed(s)
    check_fonts_copied(s)
    check_shortcut(s)
    program_starts(s)


def test_font_kept(scenario):
    """A font of the same name that is already installed keeps its content; the close
    confirmation answered "&Nein" keeps the dialog in its welcome state; Escape at the
    final message answers no."""
    s, d = scenario, scenario.driver
    old_font = b"an older font file of the same name\n"
    (s.fonts / "DejaVuSans.ttf").write_bytes(old_font)
    s.launch()
    confirm_close(s, "&Nein", shot="02-close-confirmation.png")
    s.check("Install >>" in d.buttons(DIALOG), "dialog stays in its welcome state")
    install(s)
    final_message(s, ESCAPE)
    s.check(content(s.fonts / "DejaVuSans.ttf") == old_font, "existing font keeps its content")
    s.check(same_file(s.wine.tree / "Daten/Programm/Fonts/DejaVuSans-Bold.ttf",
                      s.fonts / "DejaVuSans-Bold.ttf"), "other font copied")
    check_tree_installed(s)


def earlier_installation(s, *own_files):
    write(s.product / "Intern/Programm/QVR-Kelvador.exe", "from an earlier installation\n")
    for path in own_files:
        write(path, "the user's own report\n")


def test_existing_cancel(scenario):
    """An earlier installation, answered "Abbrechen": nothing on disk changes."""
    s = scenario
    earlier_installation(s)
    before = snapshot(s)
    s.launch()
    install(s)
    existing_product(s, "Abbrechen", shot="02-already-installed.png")
    s.check(snapshot(s) == before, "nothing on disk changed")
    s.check(not s.link.exists(), "no shortcut")


def test_existing_yes(scenario):
    """An earlier installation, answered "&Ja": the archive is unpacked over it; files
    of the archive are replaced, files of the user's stay."""
    s = scenario
    own = s.product / "Daten/Eigene/Bericht.txt"
    earlier_installation(s, own)
    s.launch()
    install(s)
    existing_product(s, "&Ja")
    final_message(s, "&Nein")
    s.check(same_file(s.wine.tree / "Intern/Programm/QVR-Kelvador.exe",
                      s.product / "Intern/Programm/QVR-Kelvador.exe"),
            "program replaced by the archive's")
    s.check(own.is_file(), "the user's own file stays")
    shutil.rmtree(own.parent, ignore_errors=True)
    check_tree_installed(s)


def test_planted_links(scenario):
    """What a user planted in the installation tree before an administrator's setup ran:
    a program folder with a library beside the program and a hard link to a file outside
    where the program belongs, and a hard link among the fonts. The program folder and
    the fonts are unpacked anew and hold only the archive's files; what lay there beyond
    them is kept aside, out of the program's reach; nothing outside the tree changes."""
    s = scenario
    outside = s.work / "outside"
    write(outside / "hard", "the hard link's target\n")
    write(outside / "secret", SECRET)
    member = s.product / "Intern/Programm/QVR-Kelvador.exe"
    fonts = s.product / "Daten/Programm/Fonts"
    write(member.parent / "version.dll", "a library planted beside the program\n")
    fonts.mkdir(parents=True)
    member.hardlink_to(outside / "hard")
    (fonts / "Hard.ttf").hardlink_to(outside / "secret")
    before = [(outside / n).read_bytes() for n in ("hard", "secret")]
    s.launch()
    install(s)
    existing_product(s, "&Ja")
    final_message(s, "&Nein")
    s.check([(outside / n).read_bytes() for n in ("hard", "secret")] == before,
            "the links' targets are unchanged")
    s.check(same_tree(s.wine.tree / "Intern", s.product / "Intern"),
            "the program folder holds the archive's files alone")
    s.check(member.is_file() and member.stat().st_nlink == 1, "the member is a file of its own")
    s.check(same_tree(s.wine.tree / "Daten/Programm/Fonts", fonts),
            "the fonts folder holds the archive's fonts alone")
    check_fonts_copied(s)
    s.check(not (s.fonts / "Hard.ttf").exists(), "no planted file copied into the font folder")
    kept = s.product / "Frühere Dateien"
    s.check((kept / "Intern/Programm/version.dll").is_file(), "the planted library kept aside")
    s.check((kept / "Fonts/Hard.ttf").is_file(), "the planted font kept aside")
    s.check(not (kept / "Intern/Programm/QVR-Kelvador.exe").exists(),
            "the archive's files not kept")


def test_planted_symlink(scenario):
    """A symbolic link a user planted among the fonts. The fonts folder moves aside whole,
    the link in it, which is never read or removed (Wine would remove what it leads to):
    the new fonts folder holds the archive's fonts alone, the link is kept where nothing
    loads from it, and what it leads to is unchanged."""
    s = scenario
    secret = s.work / "outside/secret"
    write(secret, SECRET)
    fonts = s.product / "Daten/Programm/Fonts"
    fonts.mkdir(parents=True)
    (fonts / "Linked.ttf").symlink_to(secret)
    s.launch()
    install(s)
    existing_product(s, "&Ja")
    final_message(s, "&Nein")
    s.check(content(secret) == SECRET.encode(), "the link's target is unchanged")
    s.check(same_tree(s.wine.tree / "Daten/Programm/Fonts", fonts),
            "the fonts folder holds the archive's fonts alone")
    s.check((s.product / "Frühere Dateien/Fonts/Linked.ttf").is_symlink(), "the link kept aside")
    s.check(not (s.fonts / "Linked.ttf").exists(), "the linked font not copied")
    check_fonts_copied(s)


def test_restart_yes(scenario):
    """A large archive, so that the bar is caught mid-run. "Install >>" is double-clicked
    and the user switches to another program during the unpack: one install sequence
    runs, and its final message stays with the dialog and comes to the front. "&Ja" at
    the restart offer asks WMI for the restart, which Wine refuses, and the setup ends
    all the same."""
    s, d = scenario, scenario.driver
    big = s.work / "big-tree"
    shutil.copytree(s.wine.tree, big / s.product.name, copy_function=os.link)
    # Sparse: costs no disk in the tree, yet the setup writes every byte.
    with open(big / s.product.name / "Daten/Programm/Vorlagen/Gross.dat", "wb") as large:
        large.truncate(300 * 1024 * 1024)
    packed = subprocess.run([s.wine.qvrpack, "pack", "-q", f"{big / s.product.name}/",
                             s.medium / "QVRKDV2.QVP"], stdout=s.log, stderr=s.log, check=False)
    s.require(packed.returncode == 0, "packing the large archive")
    shutil.rmtree(big)
    s.launch()
    other = "Anderes Programm"
    with open(s.work / "fronts.txt", "wb") as fronts:
        s.start([s.wine.driver, "open-window", other, 8, 8, 300], stdout=fronts, stderr=s.log)
    s.check(d.wait_window(other, 20), "another program's window")
    cx, cy, _, _ = d.rect(DIALOG).client
    s.check(xclick(s, cx + 462 + 37, cy + 407 + 12, 2), "double-click on Install >>")
    s.check(xclick(s, 100, 60), "the user switches to the other program")
    bx, by = bar_origin(s)
    caught = None
    deadline = time.monotonic() + 30
    while caught is None and time.monotonic() < deadline:
        shot = s.display.grab()
        if shot.near(bx + 1, by, (1, 255, 0), 0) and shot.near(bx + 526, by, (255, 255, 255), 0):
            caught = shot.save(s.shots / "02-installing.png")
        elif d("exists", FINAL):
            break
    if caught:
        labels = d.text(DIALOG)
        s.check("Dateien werden installiert ..." in labels, "installing label shown")
        s.check("Allgemeine Informationen:" not in labels, "welcome label hidden")
    else:
        s.cannot_check("the bar was not caught part filled mid-run (the unpack was faster than "
                       "the screenshots)")
    s.require(d.wait_window(FINAL, 120), "no final message")
    front = (s.work / "fronts.txt").read_text(errors="replace").splitlines()
    s.check((f'front "{other}"', f'front "{FINAL}"') in zip(front, front[1:]),
            "final message came to the front from the other program")
    s.check(not d("exists", CONFIRM),
            "one install sequence: no second question about an earlier installation")
    final_message(s, "&Ja", owned=True)
    large = s.product / "Daten/Programm/Vorlagen/Gross.dat"
    s.check(large.is_file() and large.stat().st_size == 300 * 1024 * 1024,
            "large member unpacked whole")
    check_shortcut(s)
