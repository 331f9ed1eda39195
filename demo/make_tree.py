#!/usr/bin/env python3
"""Builds the installed tree of the demo product, the folder that qvrpack packs
into QVRKDV2.QVP. Every byte is deterministic, so the archive is reproducible."""

import argparse
import hashlib
import os
import shutil
import struct
import sys

PRODUCT = "QVR-Kelvador [DV2.95]"
FONTS = ("DejaVuSans.ttf", "DejaVuSans-Bold.ttf")

# Sizes chosen around the packer's 524,288-byte chunk: one member fits one chunk
# exactly, one needs four chunks (the last of one byte), so the bar moves in steps.
CHUNK = 524288
DATA_FILES = {
    ("Daten", "Programm", "Vorlagen", "Spielbericht.dat"): 3 * CHUNK + 1,
    ("Daten", "Programm", "Vorlagen", "Vereine.dat"): CHUNK,
    ("Daten", "Programm", "Vorlagen", "Tabelle.dat"): 40000,
    ("Intern", "Programm", "Leer.cfg"): 0,
}

README = """QVR-Kelvador [DV2.95]
====================

Vielen Dank, dass Sie sich für QVR-Kelvador entschieden haben.

Das Programm liegt im Ordner Intern\\Programm, die Vorlagen und Bilder im
Ordner Daten\\Programm. Die mitgelieferten Schriften werden bei der
Installation in den Schriftenordner von Windows kopiert.

Ihr QVR-Team
"""


def deterministic_bytes(size, seed):
    """size bytes of a SHA-256 counter stream: incompressible, reproducible."""
    out = bytearray()
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(f"{seed}:{counter}".encode()).digest()
        counter += 1
    return bytes(out[:size])


def bitmap(width, height):
    """A 24-bit uncompressed bottom-up BMP: a blue-to-green field with a white Q-ring."""
    row_size = (width * 3 + 3) & ~3
    pixels = bytearray()
    cx, cy = (width - 1) / 2, (height - 1) / 2
    outer, inner = width * 0.42, width * 0.28
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
            tail = x > cx and y > cy and abs((x - cx) - (y - cy)) < width * 0.08
            if inner <= d <= outer or (tail and d <= outer * 1.15):
                b, g, r = 255, 255, 255
            else:
                b, g, r = 160 - x * 100 // width, 40 + y * 150 // height, 20
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        pixels += row
    header_size = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", header_size + len(pixels), 0, 0, header_size)
    # 3780 pixels per metre is 96 pixels per inch.
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 3780, 3780,
                              0, 0)
    return file_header + info_header + bytes(pixels)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--out", required=True, help="folder that receives the product folder")
    parser.add_argument("--exe", required=True, help="the built QVR-Kelvador.exe")
    parser.add_argument("--fonts", default="/usr/share/fonts/truetype/dejavu",
                        help="folder that holds %s" % ", ".join(FONTS))
    args = parser.parse_args()

    root = os.path.join(args.out, PRODUCT)
    # A stale file from an earlier layout would end up in the archive: start clean.
    if os.path.isdir(root):
        shutil.rmtree(root)

    programm = os.path.join(root, "Intern", "Programm")
    with open(args.exe, "rb") as f:
        write(os.path.join(programm, "QVR-Kelvador.exe"), f.read())
    write(os.path.join(programm, "Liesmich.txt"), README.replace("\n", "\r\n").encode("cp1252"))
    write(os.path.join(root, "Daten", "Programm", "Bilder", "QVR.bmp"), bitmap(48, 48))

    for font in FONTS:
        source = os.path.join(args.fonts, font)
        if not os.path.isfile(source):
            sys.exit(f"make_tree: font {source} not found (Debian package fonts-dejavu-core)")
        with open(source, "rb") as f:
            write(os.path.join(root, "Daten", "Programm", "Fonts", font), f.read())

    for parts, size in DATA_FILES.items():
        write(os.path.join(root, *parts), deterministic_bytes(size, "/".join(parts)))

    # An empty folder travels in the archive as a folder record alone.
    os.makedirs(os.path.join(root, "Daten", "Spielberichte"), exist_ok=True)

    total = 0
    for folder, _, files in os.walk(root):
        total += sum(os.path.getsize(os.path.join(folder, name)) for name in files)
    print(f"make_tree: {root}: {total} bytes")


if __name__ == "__main__":
    main()
