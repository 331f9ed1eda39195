#!/usr/bin/env python3
"""Draws the setup's pictures and its program icon.

Writes into OUTDIR:
  Image1.bmp, Image2.bmp  651 x 151, 24 bits per pixel, uncompressed, 96 DPI:
                          the product name and the setup's name in block letters
                          over a dark gradient.
  Setup.ico               the program icon, 32 x 32 and 16 x 16, 32 bits per pixel.
"""
import struct
import sys
from pathlib import Path

# 5 x 7 block letters, one string of five columns per row ('#' = set).
GLYPHS = {
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "D": ["#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "K": ["#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "P": ["#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "],
    "Q": [" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "S": [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    "T": ["#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "],
    "U": ["#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "V": ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    "2": [" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"],
    "5": ["#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "],
    "9": [" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "],
    "-": ["     ", "     ", "     ", "#####", "     ", "     ", "     "],
    ".": ["     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "],
    " ": ["     "] * 7,
}

WIDTH, HEIGHT = 651, 151


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def draw_picture(text, scale, sky_top, sky_bottom, ink_top, ink_bottom, rule):
    """Rows of (r, g, b) pixels, top row first."""
    pixels = [[lerp(sky_top, sky_bottom, y / (HEIGHT - 1))] * WIDTH for y in range(HEIGHT)]
    pixels = [list(row) for row in pixels]
    advance = 6 * scale
    text_w = len(text) * advance - scale
    text_h = 7 * scale
    left = (WIDTH - text_w) // 2
    top = (HEIGHT - text_h) // 2 - 6
    for i, ch in enumerate(text):
        glyph = GLYPHS[ch]
        for gy, row in enumerate(glyph):
            for gx, cell in enumerate(row):
                if cell != "#":
                    continue
                for dy in range(scale):
                    y = top + gy * scale + dy
                    colour = lerp(ink_top, ink_bottom, (y - top) / max(1, text_h - 1))
                    shadow_y = y + 3
                    for dx in range(scale):
                        x = left + i * advance + gx * scale + dx
                        if 0 <= shadow_y < HEIGHT and 0 <= x + 3 < WIDTH:
                            pixels[shadow_y][x + 3] = (0, 0, 0)
                        pixels[y][x] = colour
    # A thin rule under the letters, fading out to both sides.
    y = top + text_h + 12
    for x in range(WIDTH):
        t = 1 - abs(x - WIDTH / 2) / (WIDTH / 2)
        pixels[y][x] = lerp(pixels[y][x], rule, t)
        pixels[y + 1][x] = lerp(pixels[y + 1][x], rule, t * 0.5)
    return pixels


def write_bmp(path, pixels):
    width, height = len(pixels[0]), len(pixels)
    stride = (width * 3 + 3) & ~3
    image = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        image += line
    ppm = 3780  # 96 pixels per inch
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(image), ppm, ppm, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(image), 0, 0, 14 + len(header))
    path.write_bytes(file_header + header + image)


def icon_image(size):
    """A rounded blue square with a gold Q, as (r, g, b, a) rows, top row first."""
    rows = []
    radius = size // 5
    glyph = GLYPHS["Q"]
    cell = max(1, (size * 3 // 5) // 7)
    gw, gh = 5 * cell, 7 * cell
    gl, gt = (size - gw) // 2, (size - gh) // 2
    for y in range(size):
        row = []
        for x in range(size):
            cx = min(x, size - 1 - x)
            cy = min(y, size - 1 - y)
            inside = not (cx < radius and cy < radius and (radius - cx) ** 2 + (radius - cy) ** 2 > radius**2)
            if not inside:
                row.append((0, 0, 0, 0))
                continue
            r, g, b = lerp((40, 70, 160), (10, 20, 60), y / (size - 1))
            gx, gy = (x - gl) // cell, (y - gt) // cell
            if 0 <= x - gl < gw and 0 <= y - gt < gh and glyph[gy][gx] == "#":
                r, g, b = lerp((255, 220, 90), (230, 130, 20), y / (size - 1))
            row.append((r, g, b, 255))
        rows.append(row)
    return rows


def icon_entry(rows):
    size = len(rows)
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def write_ico(path, sizes):
    images = [icon_entry(icon_image(s)) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    path.write_bytes(bytes(out))


def main():
    if len(sys.argv) != 2 or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        print("\nusage: make-bitmaps.py OUTDIR")
        return 0 if len(sys.argv) == 2 else 2
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    write_bmp(out / "Image1.bmp",
              draw_picture("QVR-KELVADOR", 8, (14, 24, 70), (0, 0, 0), (255, 226, 110), (235, 120, 20),
                           (255, 190, 60)))
    write_bmp(out / "Image2.bmp",
              draw_picture("SETUP V2.95", 9, (0, 0, 0), (8, 52, 56), (170, 255, 230), (40, 170, 190),
                           (90, 220, 210)))
    write_ico(out / "Setup.ico", [32, 16])
    return 0


if __name__ == "__main__":
    sys.exit(main())
