"""The setup at the display densities that Windows offers: the dialog's client area
and its controls scale by DPI/96, the welcome text shows whole, the background lays
its pictures out, and the message box scales too. At 96 the running setup also goes
through density changes. The screen is large enough for the dialog at 200 %."""

import re

import pytest

from harness.prefix import set_values
from harness.product import BACKGROUND, CONFIRM, DIALOG
from steps import bar_full_pixels, confirm_close, final_message, install, muldiv, painted, pictures

# Design bounds at 96 pixels per inch: left, top, width, height.
CONTROLS = (
    ("panel", r"^QvrPanel ", (8, 8, 529, 393)),
    ("welcome text", r"^Edit ", (8, 48, 513, 281)),
    ("address", r"^Static .* QVR Software", (48, 344, 435, 35)),
    ("Install >>", r" Install >>$", (462, 407, 75, 25)),
    ("Abbrechen", r" Abbrechen$", (382, 407, 75, 25)),
)


def find(lines, pattern):
    """The fields of the first line that matches `pattern`, or None."""
    return next((line.split(" ") for line in lines if re.search(pattern, line)), None)


def near(s, what, got, expected):
    """Two pixel values differ by one at most."""
    s.check(abs(got - expected) <= 1, f"{what} (is {got}, expected {expected})")


def check_scaled_bounds(s, what, fields, design, dpi):
    if fields is None or len(fields) < 5:
        s.check(False, f"{what}: not found")
        return
    for name, got, value in zip(("left", "top", "width", "height"), fields[1:5], design):
        near(s, f"{what} {name}", int(got), muldiv(value, dpi))


def check_scaled_box(s, dpi):
    """The close confirmation's buttons and icon scaled to `dpi`."""
    box = s.driver.controls(CONFIRM)
    yes = find(box, " &Ja$") or [0] * 5
    near(s, "message box button width", int(yes[3]), muldiv(75, dpi))
    near(s, "message box button height", int(yes[4]), muldiv(25, dpi))
    icon = muldiv(32, dpi)
    s.check(find(box, f"^Static [0-9]* [0-9]* {icon} {icon} $") is not None,
            f"message box icon {icon}x{icon}")


def check_scaled_dialog(s, dpi, label=""):
    """The dialog's client area and controls are the design's scaled to `dpi`, and the
    welcome text and the heading show whole."""
    d = s.driver
    rect = d.rect(DIALOG)
    _, _, cw, ch = rect.client if rect else (0, 0, 0, 0)
    near(s, f"{label}client width", cw, muldiv(550, dpi))
    near(s, f"{label}client height", ch, muldiv(443, dpi))
    controls = d.controls(DIALOG)
    for what, pattern, design in CONTROLS:
        check_scaled_bounds(s, label + what, find(controls, pattern), design, dpi)
    s.check(find(controls, r"^Edit .* lines 14 fits yes ") is not None,
            f"{label}all 14 welcome lines, none wrapped, the last inside the field")
    heading = find(controls, r"^Static .* Allgemeine Informationen:")
    panel = find(controls, "^QvrPanel ")
    s.check(int(heading[3] if heading else 9999) < int(panel[3] if panel else 0),
            f"{label}the heading's text fits its panel")


def check_background_pictures(s, dpi, label=""):
    """The background's pictures where a start at `dpi` lays them out from its outer
    size; the margins for the frame (9 and 28) scale with the density."""
    shown = [line for line in s.driver.controls(BACKGROUND) if line.startswith("QvrPicture ")]
    for which, (x, y, w, h) in zip(("top", "bottom"), pictures(s.driver.rect(BACKGROUND), dpi)):
        s.check(f"QvrPicture {x} {y} {w} {h} " in shown, f"{label}{which} picture {w}x{h} at {x},{y}")


def window(d, caption):
    """The window's outer rectangle on the screen; zeros when there is no such window."""
    rect = d.rect(caption)
    return rect.window if rect else (0, 0, 0, 0)


def check_density_changes(s):
    """The running setup moved through displays of other densities (the message
    Windows sends then; Wine's own frames keep the prefix's density): each step ends as
    a start at that density lays the dialog and the background's pictures out."""
    d = s.driver
    dialog, background = window(d, DIALOG), window(d, BACKGROUND)
    for to in (120, 144, 192, 96):
        label = f"changed to {to}: "
        s.check(d("dpi-change", DIALOG, to), f"{label}density change of the dialog")
        s.check(d("dpi-change", BACKGROUND, to), f"{label}density change of the background")
        s.settle()
        s.shot(f"changed-to-{to}.png")
        s.check_eq(window(d, BACKGROUND), background, f"{label}the background keeps its place and size")
        s.check_eq(window(d, DIALOG)[:2], dialog[:2], f"{label}the dialog keeps its top left corner")
        check_scaled_dialog(s, to, label)
        check_background_pictures(s, to, label)


@pytest.mark.parametrize("dpi", [96, 120, 144, 192])
def test_dpi(scenario_factory, dpi):
    s = scenario_factory(label=f"dpi-{dpi}", screen="2048x1536", shot_prefix=f"{dpi}-")
    set_values(s.wine, s.prefix, [
        (r"HKCU\Software\Wine\Explorer\Desktops", "Default", "REG_SZ", "2048x1536"),
        (r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", str(dpi)),
    ])
    d = s.driver
    s.launch()
    dialog, background = d.rect(DIALOG), d.rect(BACKGROUND)
    s.require(dialog is not None and background is not None, "the windows have no rectangles")
    (cx, cy, _, _), (bx, by, _, _), face = dialog.client, background.client, d.syscolor(15)
    _, _, w1, h1 = pictures(background)[0]
    # At a high density on a large screen the first paint takes a while: the picture is
    # taken once the dialog, its buttons and the top picture are drawn.
    s.shot_when("welcome.png", painted({
        "dialog": lambda p: p.near(cx + 3, cy + 3, face, 0),
        "Install >> button": lambda p: p.near(cx + muldiv(466, dpi), cy + muldiv(411, dpi), face, 0),
        "top picture": lambda p: p.mean(bx + 2, by + 2, w1 - 4, h1 - 4) > 8,
    }))
    check_scaled_dialog(s, dpi)
    check_background_pictures(s, dpi)
    if dpi == 96:
        check_density_changes(s)

    # At 144 the setup installs from there, for the full bar at its scaled place.
    confirm_close(s, "&Nein" if dpi == 144 else "&Ja", shot="message.png",
                  look=lambda: check_scaled_box(s, dpi))
    if dpi == 144:
        install(s)
        final_message(s, "&Nein", shot="final-message.png", bar=bar_full_pixels(s, dpi, frame=False))
