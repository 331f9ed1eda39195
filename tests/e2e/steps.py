"""Steps and checks that several scenarios share: the setup's boxes by name, the
welcome screen, the bar and what an installation leaves on disk."""

import hashlib
import os
import re
import subprocess

from harness.product import BACKGROUND, CONFIRM, DIALOG, ERROR, FINAL, PRODUCT
from harness.shortcut import header_number, link_fields

PROGRAMM = "C:\\QVR-SOFTWARE\\QVR-Kelvador [DV2.95]\\Intern\\Programm\\"
STOPS = "Die Installation wird abgebrochen!!!"
CLOSE_QUESTION = ("Sind Sie sicher das sie die Installation abbrechen möchten?",)
EXISTING_QUESTION = ("Dieses Programm ist auf Ihrem Computer schon installiert!!!",
                     "Betätigen Sie ABBRECHEN um die Installation abzubrechen.",
                     "Betätigen Sie JA um mit der Installation fortzufahren.")
# The first line centred in 50 columns; the others are longer.
FINAL_MESSAGE = (" Die Installation wurde erfolgreich abgeschlossen.",
                 "Wenn es sich hier um eine Erstinstallation handelt, wurden neue Schriften "
                 "installiert.",
                 "Damit diese im Spielbericht sichtbar sind muss Windows neu gestartet werden.")
BLACK = (0, 0, 0)


class Key(str):
    """A key pressed in a box instead of a button clicked (the driver's key names)."""


ESCAPE = Key("escape")


def welcome_screen(s):
    """The welcome screen: black background with the two pictures laid out from the
    window's outer size, and the dialog centred over it."""
    d = s.driver
    background, dialog = d.rect(BACKGROUND), d.rect(DIALOG)
    s.require(background is not None and dialog is not None, "the background window has no rectangle")
    bl, bt, br, bb = background.window
    cx, cy, _, _ = background.client
    (_, _, w1, h1), (x2, y2, w2, h2) = pictures(background)
    x2, y2 = cx + x2, cy + y2
    dl, dt, dr, db = dialog.window
    dcx, dcy, dcw, dch = dialog.client
    my, face = (bt + bb) // 2, d.syscolor(15)
    pixels = {
        "black background left of the dialog": lambda p: p.near((bl + dl) // 2, my, BLACK, 0),
        "black background right of the dialog": lambda p: p.near((dr + br) // 2, my, BLACK, 0),
        "black background right of the top picture": lambda p: p.near(cx + w1 + 4, cy + h1 // 2, BLACK, 0),
        "black background below the top picture": lambda p: p.near(cx + w1 // 2, cy + h1 + 4, BLACK, 0),
        "black background left of the bottom picture": lambda p: p.near(x2 - 4, y2 + h2 // 2, BLACK, 0),
        "top picture drawn at its place": lambda p: p.mean(cx + 2, cy + 2, w1 - 4, h1 - 4) > 8,
        "bottom picture drawn at its place": lambda p: p.mean(x2 + 2, y2 + 2, w2 - 4, h2 - 4) > 8,
        "dialog background in the button-face colour": lambda p: p.near(dcx + 3, dcy + 3, face, 0),
    }
    # The dialog is found as soon as it is shown: the picture is taken once it is painted.
    check_pixels(s, s.shot_when("01-welcome.png", painted(pixels)), pixels)
    s.check(background.state == "maximized", "background maximised")
    s.check(bl <= 0 and bt <= 0 and br >= 1024 and bb >= 768,
            f"background covers the screen (outer {bl},{bt}-{br},{bb})")
    ddx, ddy = (dl + dr) - (bl + br), (dt + db) - (bt + bb)
    s.check(abs(ddx) <= 16 and abs(ddy) <= 16,
            f"dialog centred over the background (offset {ddx // 2},{ddy // 2})")
    s.check_eq((dcw, dch), (550, 443), "dialog client area 550 x 443")
    style = d("style", BACKGROUND).out
    s.check(set(style.split()) >= {"caption", "sysmenu", "thickframe", "minimizebox", "maximizebox"},
            f"background: resizable frame with the title-bar buttons ({style.strip()})")
    style = d("style", DIALOG).out
    s.check("caption" in style.split() and not {"sysmenu", "thickframe"} & set(style.split()),
            f"dialog: a caption, no system menu, not resizable ({style.strip()})")
    s.check_eq(d.buttons(DIALOG), ["Abbrechen", "Install >>"], "welcome buttons")
    s.check("QVR-KELVADOR SERIES V2" in d.text(DIALOG), "welcome text shown")


def pictures(background, dpi=96):
    """Left, top, width and height of the background's two pictures in its client area,
    from its outer size (divided by 2.3, 8.5, 3 and 9.5, truncated); the bottom one's
    margins stand for the frame and scale with the density."""
    bl, bt, br, bb = background.window if background else (0, 0, 0, 0)
    W, H = br - bl, bb - bt
    w2, h2 = W // 3, H * 10 // 95
    return (0, 0, W * 10 // 23, H * 10 // 85), (W - w2 - muldiv(9, dpi), H - h2 - muldiv(28, dpi), w2, h2)


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


def install(s):
    s.say("Install >>")
    s.check(s.driver("click", DIALOG, "Install >>"), "click Install >>")


def box(s, caption, name, message=None, mentions=(), buttons=None, owned=False, shot=None,
        when=None, look=None, answer=None, seconds=20):
    """The box `caption` (`name` in the checks) within `seconds`, or a screenshot and the
    scenario stops. Then a screenshot `shot` once the pixels `when` hold; its `message`
    line for line, the texts it `mentions`, its `buttons`, whether it is `owned` by the
    dialog and in front of it, `look()`; last the `answer`, a button or a Key. Returns
    its text."""
    d = s.driver
    appeared = d.wait_window(caption, seconds)
    if not appeared:
        s.shot(f"99-no-{name.replace(' ', '-')}.png")
    s.require(appeared, f"no {name}")
    text = d.text(caption)
    s.say(name, *message_lines(text))
    if shot:
        s.settle()
        check_pixels(s, s.shot_when(shot, painted(when or {})), when or {})
    if message is not None:
        s.check_eq(message_lines(text), list(message), f"{name} text")
    for part in mentions:
        s.check(part in text, f'{name} mentions "{part}"')
    if buttons is not None:
        s.check_eq(d.buttons(caption), sorted(buttons), f"{name} buttons")
    if owned:
        owner = d("owner", caption).lines
        s.check(f'owner "{DIALOG}"' in owner, f"{name} owned by the install dialog")
        s.check("above-owner yes" in owner, f"{name} above its dialog")
    if look:
        look()
    if isinstance(answer, Key):
        s.say(said(answer))
        s.check(d("key", caption, answer), f"{said(answer)} at the {name}")
    elif answer:
        s.say(answer)
        s.check(d("click", caption, answer), f"answer {answer}")
    return text


def said(answer):
    return answer.capitalize() if isinstance(answer, Key) else answer


def message_lines(text):
    """The lines of a box's message as the driver reads them, without its buttons."""
    return [re.sub(r"^\[Static\] ", "", line) for line in text.splitlines()
            if not line.startswith("[Button] ")]


def setup_ends(s, how, code=None, seconds=20):
    """The setup ends within `seconds` (`how` says after what), with exit code `code`."""
    if s.check(s.setup_ended(seconds), f"setup ends {how}"):
        s.say(f"the setup ended with exit code {s.setup_rc}")
        if code is not None:
            s.check_eq(s.setup_rc, code, f"setup ends with exit code {code}")


def confirm_close(s, answer, ask="Abbrechen", shot=None, look=None):
    """Asks to end the setup, with "Abbrechen" or as Alt+F4 does (`ask` "close"), and
    answers the close confirmation: "&Nein" keeps the dialog, "&Ja" ends the setup."""
    d = s.driver
    if ask == "close":
        s.check(d("close", DIALOG), "close requested")
    else:
        s.check(d("click", DIALOG, ask), f"click {ask}")
    box(s, CONFIRM, "close confirmation", CLOSE_QUESTION, buttons=["&Ja", "&Nein"], shot=shot,
        look=look, answer=answer, seconds=10)
    if answer == "&Ja":
        setup_ends(s, "after &Ja", code=0)
    else:
        s.check(d("wait-gone", CONFIRM, 10), "confirmation gone")
        s.check(d("exists", DIALOG), f"dialog stays after {said(answer)}")
        s.check(s.setup.poll() is None, "setup still running")


def existing_product(s, answer, shot=None):
    """The question that "Install >>" asks over an earlier installation: "Abbrechen" ends
    the setup, "&Ja" installs over it."""
    box(s, CONFIRM, "question about the earlier installation", EXISTING_QUESTION,
        buttons=["&Ja", "Abbrechen"], shot=shot, answer=answer)
    if answer == "Abbrechen":
        setup_ends(s, "after Abbrechen", code=0)


def failure_box(s, code, caption=ERROR, shot="02-failure-code.png"):
    """The box of a failure status, answered OK: the setup ends with the status."""
    box(s, caption, "failure box", (f"FehlerCode = {code}", STOPS), buttons=["OK"], shot=shot,
        answer="OK")
    setup_ends(s, "without a close confirmation", code=code)


def final_message(s, answer, shot="03-final-message.png", bar=None, owned=False, seconds=60):
    """The final message over the full bar (the pixels `bar`) and the dialog without its
    buttons. "&Nein" or Escape end the setup without a restart, "&Ja" asks WMI for one,
    which Wine refuses."""
    def before_answer():
        s.check_eq(s.driver.buttons(DIALOG), [], "installing state: no buttons but the message's")
        s.check(not s.wmi_loaded(), "no WMI before the answer")

    box(s, FINAL, "final message", FINAL_MESSAGE, buttons=["&Ja", "&Nein"], owned=owned, shot=shot,
        when=bar or bar_full_pixels(s), look=before_answer, answer=answer, seconds=seconds)
    if answer == "&Ja":
        setup_ends(s, "after the refused restart", seconds=30)
        s.check(s.wmi_loaded(), "restart requested through WMI")
    else:
        setup_ends(s, f"after {said(answer)}", code=0)
        s.check(not s.wmi_loaded(), f"no restart requested after {said(answer)}")


def program_starts(s, shot=None):
    """The installed program starts through the desktop shortcut, and is closed."""
    s.say("the installed program, started through its desktop shortcut")
    s.start(["start", "/unix", s.link])
    if s.check(s.driver.wait_window(PRODUCT, 20), "installed program starts through the shortcut"):
        if shot:
            s.settle()
            s.shot(shot)
        s.driver("close", PRODUCT)


def succeeds(*args, log=subprocess.DEVNULL, **options):
    """A host command ends with exit code 0; its output goes to `log`."""
    return subprocess.run([str(a) for a in args], stdout=log, stderr=log, check=False,
                          **options).returncode == 0


def xclick(s, x, y, count=1):
    """Real pointer clicks through the X server, as a user's come; Wine's desktop fills
    the screen from 0,0."""
    return succeeds("xdotool", "mousemove", "--sync", x, y, "click", "--repeat", count, "--delay",
                    40, 1, env=dict(os.environ, DISPLAY=s.display.name))


def same_tree(a, b):
    return succeeds("diff", "-r", a, b)


def write(path, text):
    """A file planted with its folders."""
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text)


def content(path):
    """A file's bytes, None where there is no file to read."""
    try:
        return path.read_bytes()
    except OSError:
        return None


def same_file(a, b):
    return content(a) is not None and content(a) == content(b)


def check_tree_installed(s):
    s.check(same_tree(s.wine.tree, s.product), "installed tree equals the packed tree byte for byte")
    s.check(s.install_root.is_dir() and [p.name for p in s.install_root.iterdir()] == [s.product.name],
            "nothing but the product in QVR-SOFTWARE")


def check_fonts_copied(s):
    for font in sorted((s.wine.tree / "Daten/Programm/Fonts").iterdir()):
        s.check(same_file(font, s.fonts / font.name), f"font {font.name} in the font folder")


def check_shortcut(s):
    if not s.check(s.link.is_file(), "shortcut on the desktop"):
        return
    fields = link_fields(s.link)
    for what, field, want in (
            ("target", "Local path", PROGRAMM + "QVR-Kelvador.exe"),
            ("working folder", "Working directory", PROGRAMM),
            ("icon location", "Icon location",
             "C:\\QVR-SOFTWARE\\QVR-Kelvador [DV2.95]\\Daten\\Programm\\Bilder\\QVR.bmp"),
            ("icon index 0", "Icon index", "0"), ("description empty", "Description", "")):
        s.check_eq(fields.get(field, ""), want, f"shortcut {what}")
    s.check_eq(header_number(s.link, 60, 4), 0, "shortcut show command 0 (header offset 60)")
    s.check_eq(header_number(s.link, 64, 2), 0, "shortcut hot key 0 (header offset 64)")


def snapshot(s):
    """What an installation could have touched, with checksums."""
    entries = [(p.is_dir(), p.lstat().st_size, str(p.relative_to(s.drive_c)),
                "" if p.is_dir() else hashlib.md5(p.read_bytes()).hexdigest())
               for p in sorted(s.install_root.rglob("*"))]
    fonts = [(p.name, p.lstat().st_size, p.lstat().st_mode) for p in sorted(s.fonts.iterdir())]
    return entries, fonts, sorted(p.name for p in s.desktop.iterdir())


def muldiv(value, dpi, base=96):
    """value * dpi / base rounded to the nearest integer, as the platform's MulDiv scales
    a design pixel value to a display density."""
    return (2 * value * dpi + base) // (2 * base)
