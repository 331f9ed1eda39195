#!/usr/bin/env python3
"""Draws the setup's pictures and its program icon.

Writes into OUTDIR:
  Image1.bmp, Image2.bmp  651 x 151, 24 bits per pixel, uncompressed, 96 DPI:
                          the product name and the setup's name in block letters
                          over a dark gradient.
  Image1.packed, ...      the same bitmaps as the program's resources hold them:
                          packed as src/framework/PackedPicture.h describes.
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


def pack(data):
    """`data` packed: its size, then literal runs and copies of earlier bytes, each
    copy the longest of the last few places where its first three bytes occurred,
    or of one pixel (3 bytes) back."""
    out = bytearray(struct.pack("<I", len(data)))
    literal = bytearray()
    places = {}
    max_length = 130 + 0xFFFF

    def remember(start, end):
        for k in range(start, min(end, len(data) - 2)):
            places.setdefault(bytes(data[k : k + 3]), []).append(k)

    def match_length(at, distance):
        n = 0
        while at + n < len(data) and n < max_length and data[at + n - distance] == data[at + n]:
            n += 1
        return n

    def flush_literal():
        for start in range(0, len(literal), 128):
            chunk = literal[start : start + 128]
            out.append(len(chunk) - 1)
            out.extend(chunk)
        literal.clear()

    at = 0
    while at < len(data):
        best, best_distance = 0, 0
        candidates = [at - p for p in reversed(places.get(bytes(data[at : at + 3]), [])[-16:])]
        for distance in [3] + candidates:
            if 0 < distance <= min(at, 0xFFFF):
                n = match_length(at, distance)
                if n > best:
                    best, best_distance = n, distance
        if best < 3:
            remember(at, at + 1)
            literal.append(data[at])
            at += 1
            continue
        flush_literal()
        if best <= 129:
            out.append(0x80 + best - 3)
        else:
            out.append(0xFF)
            out.extend(struct.pack("<H", best - 130))
        out.extend(struct.pack("<H", best_distance))
        remember(at, at + best)
        at += best
    flush_literal()
    return bytes(out)


def unpack(packed):
    """The reverse of pack, to check each packed picture before it is used."""
    (size,) = struct.unpack_from("<I", packed)
    out = bytearray()
    at = 4
    while at < len(packed):
        token = packed[at]
        at += 1
        if token < 0x80:
            out += packed[at : at + token + 1]
            at += token + 1
            continue
        length = token - 0x80 + 3
        if token == 0xFF:
            length = 130 + struct.unpack_from("<H", packed, at)[0]
            at += 2
        distance = struct.unpack_from("<H", packed, at)[0]
        at += 2
        for _ in range(length):
            out.append(out[-distance])
    if len(out) != size:
        raise ValueError("packed picture of the wrong size")
    return bytes(out)


def write_packed(path, bitmap):
    """The bitmap file without its file header (as a bitmap resource holds it), packed."""
    dib = bitmap[14:]
    packed = pack(dib)
    if unpack(packed) != dib:
        raise ValueError(f"{path}: the packed picture does not unpack to the bitmap")
    path.write_bytes(packed)


def bmp_bytes(pixels):
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
    return file_header + header + image


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
    pictures = {
        "Image1": draw_picture("QVR-KELVADOR", 8, (14, 24, 70), (0, 0, 0), (255, 226, 110),
                               (235, 120, 20), (255, 190, 60)),
        "Image2": draw_picture("SETUP V2.95", 9, (0, 0, 0), (8, 52, 56), (170, 255, 230),
                               (40, 170, 190), (90, 220, 210)),
    }
    for name, pixels in pictures.items():
        bitmap = bmp_bytes(pixels)
        (out / f"{name}.bmp").write_bytes(bitmap)
        write_packed(out / f"{name}.packed", bitmap)
    write_ico(out / "Setup.ico", [32, 16])
    return 0


if __name__ == "__main__":
    sys.exit(main())
