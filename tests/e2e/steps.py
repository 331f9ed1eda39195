"""Steps and checks that several scenarios share."""

import hashlib
import subprocess

from harness.product import BACKGROUND, DIALOG
from harness.shortcut import header_number, link_fields
PROGRAMM = "C:\\QVR-SOFTWARE\\QVR-Kelvador [DV2.95]\\Intern\\Programm\\"


def has_words(text, *words):
    """Every word occurs in `text` as a whole word, and no -word does."""
    present = set(text.split())
    return all((w[1:] not in present) if w.startswith("-") else (w in present) for w in words)


def welcome_screen(s):
    """The welcome screen: black background with the two pictures laid out from the
    window's outer size, and the dialog centred over it."""
    d = s.driver
    background, dialog = d.rect(BACKGROUND), d.rect(DIALOG)
    s.require(background is not None and dialog is not None, "the background window has no rectangle")
    bl, bt, br, bb = background.window
    cx, cy, _, _ = background.client
    W, H = br - bl, bb - bt
    # Picture sizes: outer width and height divided by 2.3, 8.5, 3 and 9.5, truncated.
    w1, h1, w2, h2 = W * 10 // 23, H * 10 // 85, W // 3, H * 10 // 95
    x2, y2 = cx + W - w2 - 9, cy + H - h2 - 28
    dl, dt, dr, db = dialog.window
    dcx, dcy, dcw, dch = dialog.client
    my = (bt + bb) // 2
    face = d.syscolor(15)
    pixels = {
        "black background left of the dialog": lambda p: p.near((bl + dl) // 2, my, (0, 0, 0), 0),
        "black background right of the dialog": lambda p: p.near((dr + br) // 2, my, (0, 0, 0), 0),
        "black background right of the top picture":
            lambda p: p.near(cx + w1 + 4, cy + h1 // 2, (0, 0, 0), 0),
        "black background below the top picture":
            lambda p: p.near(cx + w1 // 2, cy + h1 + 4, (0, 0, 0), 0),
        "black background left of the bottom picture":
            lambda p: p.near(x2 - 4, y2 + h2 // 2, (0, 0, 0), 0),
        "top picture drawn at its place": lambda p: p.mean(cx + 2, cy + 2, w1 - 4, h1 - 4) > 8,
        "bottom picture drawn at its place": lambda p: p.mean(x2 + 2, y2 + 2, w2 - 4, h2 - 4) > 8,
        "dialog background in the button-face colour": lambda p: p.near(dcx + 3, dcy + 3, face, 0),
    }
    # The dialog is found as soon as it is shown: the picture is taken once it is painted.
    shot = s.shot_when("01-welcome.png", painted(pixels))
    s.check(background.state == "maximized", "background maximised")
    s.check(bl <= 0 and bt <= 0 and br >= 1024 and bb >= 768,
            f"background covers the screen (outer {bl},{bt}-{br},{bb})")
    ddx, ddy = (dl + dr) - (bl + br), (dt + db) - (bt + bb)
    for what, ok in pixels.items():
        s.check(ok(shot), what)
    s.check(abs(ddx) <= 16 and abs(ddy) <= 16,
            f"dialog centred over the background (offset {ddx // 2},{ddy // 2})")
    s.check((dcw, dch) == (550, 443), f"dialog client area 550 x 443 (is {dcw}x{dch})")
    style = d("style", BACKGROUND).out
    s.check(has_words(style, "caption", "sysmenu", "thickframe", "minimizebox", "maximizebox"),
            f"background: resizable frame with the title-bar buttons ({style.strip()})")
    style = d("style", DIALOG).out
    s.check(has_words(style, "caption", "-sysmenu", "-thickframe"),
            f"dialog: a caption, no system menu, not resizable ({style.strip()})")
    s.check(d.buttons(DIALOG) == ["Abbrechen", "Install >>"], "welcome buttons")
    s.check("QVR-KELVADOR SERIES V2" in d.text(DIALOG), "welcome text shown")


def bar_origin(s, dpi=96):
    """Screen x of the bar's left edge and y of a row above its centred text."""
    rect = s.driver.rect(DIALOG)
    s.require(rect is not None, "no dialog for the bar")
    cx, cy, _, _ = rect.client
    return cx + muldiv(8, dpi), cy + muldiv(407, dpi) + 3


def bar_full_pixels(s, dpi=96, frame=True):
    """The full bar: lime at the left, yellow in the middle, pink-red at the right, and
    its frame in the button's shadow and highlight colours."""
    bx, by = bar_origin(s, dpi)
    width = muldiv(529, dpi)
    pixels = {
        "bar column 1 lime": lambda p: p.near(bx + 1, by, (1, 255, 0)),
        f"bar middle (column {width // 2}) yellow": lambda p: p.near(bx + width // 2, by, (255, 255, 0)),
        f"bar column {width - 2} pink-red": lambda p: p.near(bx + width - 2, by, (255, 1, 128)),
    }
    if frame:
        shadow, highlight = s.driver.syscolor(16), s.driver.syscolor(20)
        pixels["bar frame: button shadow at the left"] = lambda p: p.near(bx, by, shadow, 0)
        pixels["bar frame: button highlight at the right"] = \
            lambda p: p.near(bx + width - 1, by, highlight, 0)
    return pixels


def painted(pixels):
    """A screenshot condition: every pixel check holds."""
    return lambda shot: all(ok(shot) for ok in pixels.values())


def check_pixels(s, shot, pixels):
    for what, ok in pixels.items():
        s.check(ok(shot), what)


def install_until(s, caption, seconds, missing, picture=None):
    """"Install >>", then the window `caption` within `seconds`; without it the scenario
    stops with `missing` (and a screenshot `picture`)."""
    s.check(s.driver("click", DIALOG, "Install >>"), "click Install >>")
    if s.driver.wait_window(caption, seconds):
        return
    if picture:
        s.shot(picture)
    s.require(False, missing)


def install_over_existing(s, missing):
    """"Install >>" over an existing product folder, "&Ja" to the question, "&Nein" to
    the final message; the setup ends."""
    d = s.driver
    install_until(s, "Bestätigen", 20, missing)
    s.check(d("click", "Bestätigen", "&Ja"), "answer &Ja")
    s.check(d.wait_window("Warnung", 60), "final message")
    d("click", "Warnung", "&Nein")
    s.check(s.setup_ended(20), "setup ends")


def install_to_final(s):
    """"Install >>", then the final message; leaves it open."""
    d = s.driver
    install_until(s, "Warnung", 60, "no final message", "99-no-final-message.png")
    pixels = bar_full_pixels(s)
    s.settle()
    shot = s.shot_when("03-final-message.png", painted(pixels))
    text = d.text("Warnung")
    s.check("[Static]  Die Installation wurde erfolgreich abgeschlossen." in text.splitlines(),
            "final message first line centred in 50 columns")
    s.check("wurden neue Schriften installiert." in text, "final message names the new fonts")
    s.check(d.buttons("Warnung") == ["&Ja", "&Nein"], "final message buttons")
    check_pixels(s, shot, pixels)


def same_tree(a, b):
    return subprocess.run(["diff", "-r", str(a), str(b)], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, check=False).returncode == 0


def content(path):
    """A file's bytes, None where there is no file to read."""
    try:
        return path.read_bytes()
    except OSError:
        return None


def same_file(a, b):
    return content(a) is not None and content(a) == content(b)


def check_tree_installed(s):
    s.check(same_tree(s.wine.tree, s.product),
            "installed tree equals the packed tree byte for byte")
    s.check(s.install_root.is_dir() and [p.name for p in s.install_root.iterdir()] == [s.product.name],
            "nothing but the product in QVR-SOFTWARE")


def check_fonts_copied(s):
    for font in sorted((s.wine.tree / "Daten/Programm/Fonts").iterdir()):
        s.check(same_file(font, s.fonts / font.name), f"font {font.name} in the font folder")


def check_shortcut(s):
    if not s.check(s.link.is_file(), "shortcut on the desktop"):
        return
    fields = link_fields(s.link)
    s.check(fields.get("Local path") == PROGRAMM + "QVR-Kelvador.exe", "shortcut target")
    s.check(fields.get("Working directory") == PROGRAMM, "shortcut working folder")
    s.check(fields.get("Icon location") ==
            "C:\\QVR-SOFTWARE\\QVR-Kelvador [DV2.95]\\Daten\\Programm\\Bilder\\QVR.bmp",
            "shortcut icon location")
    s.check(fields.get("Icon index") == "0", "shortcut icon index 0")
    s.check(not fields.get("Description"), "shortcut description empty")
    s.check(header_number(s.link, 60, 4) == 0, "shortcut show command 0 (header offset 60)")
    s.check(header_number(s.link, 64, 2) == 0, "shortcut hot key 0 (header offset 64)")


def snapshot(s):
    """What an installation could have touched, with checksums."""
    entries = []
    if s.install_root.exists():
        for path in sorted(s.install_root.rglob("*")):
            kind = "d" if path.is_dir() else "f"
            digest = hashlib.md5(path.read_bytes()).hexdigest() if kind == "f" else ""
            entries.append((kind, path.lstat().st_size, str(path.relative_to(s.drive_c)), digest))
    fonts = [(p.name, p.lstat().st_size, p.lstat().st_mode) for p in sorted(s.fonts.iterdir())]
    return entries, fonts, sorted(p.name for p in s.desktop.iterdir())


def muldiv(value, dpi, base=96):
    """value * dpi / base rounded to the nearest integer, as the platform's MulDiv scales
    a design pixel value to a display density."""
    return (2 * value * dpi + base) // (2 * base)
