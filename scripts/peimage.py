#!/usr/bin/env python3
"""The layout of a Windows program (a PE file), for the release's tools.

    scripts/peimage.py pad PROGRAM   pads PROGRAM for signing (see pad_for_signing)

As a module: `regions` names the parts of a PE file, `pad_for_signing` is the build's
last step for every program of the medium.
"""

import struct
import sys

COFF_FIELDS = (("Machine", 2), ("NumberOfSections", 2), ("TimeDateStamp", 4),
               ("PointerToSymbolTable", 4), ("NumberOfSymbols", 4), ("SizeOfOptionalHeader", 2),
               ("Characteristics", 2))
# The optional header's fields up to the data directories; PE32+ has no BaseOfData and
# 8-byte image base and stack and heap sizes.
OPTIONAL_FIELDS = {
    False: (("Magic", 2), ("LinkerVersion", 2), ("SizeOfCode", 4), ("SizeOfInitializedData", 4),
            ("SizeOfUninitializedData", 4), ("AddressOfEntryPoint", 4), ("BaseOfCode", 4),
            ("BaseOfData", 4), ("ImageBase", 4), ("SectionAlignment", 4), ("FileAlignment", 4),
            ("OperatingSystemVersion", 4), ("ImageVersion", 4), ("SubsystemVersion", 4),
            ("Win32VersionValue", 4), ("SizeOfImage", 4), ("SizeOfHeaders", 4), ("CheckSum", 4),
            ("Subsystem", 2), ("DllCharacteristics", 2), ("SizeOfStackReserve", 4),
            ("SizeOfStackCommit", 4), ("SizeOfHeapReserve", 4), ("SizeOfHeapCommit", 4),
            ("LoaderFlags", 4), ("NumberOfRvaAndSizes", 4)),
    True: (("Magic", 2), ("LinkerVersion", 2), ("SizeOfCode", 4), ("SizeOfInitializedData", 4),
           ("SizeOfUninitializedData", 4), ("AddressOfEntryPoint", 4), ("BaseOfCode", 4),
           ("ImageBase", 8), ("SectionAlignment", 4), ("FileAlignment", 4),
           ("OperatingSystemVersion", 4), ("ImageVersion", 4), ("SubsystemVersion", 4),
           ("Win32VersionValue", 4), ("SizeOfImage", 4), ("SizeOfHeaders", 4), ("CheckSum", 4),
           ("Subsystem", 2), ("DllCharacteristics", 2), ("SizeOfStackReserve", 8),
           ("SizeOfStackCommit", 8), ("SizeOfHeapReserve", 8), ("SizeOfHeapCommit", 8),
           ("LoaderFlags", 4), ("NumberOfRvaAndSizes", 4)),
}
DIRECTORIES = ("Export", "Import", "Resource", "Exception", "Certificate", "BaseRelocation",
               "Debug", "Architecture", "GlobalPtr", "TLS", "LoadConfig", "BoundImport", "IAT",
               "DelayImport", "CLRRuntime", "Reserved")
# Signing appends the certificate table at the next multiple of this.
CERTIFICATE_ALIGNMENT = 8


def headers(data):
    """The file offsets of the PE signature and of the optional header; None for a file
    that is no PE file."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return None
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None
    return pe, pe + 4 + sum(size for _, size in COFF_FIELDS)


def regions(data):
    """The parts of a PE file as (start, end, name): headers field by field, the data
    directories, the section headers, then the sections in file order. None for a file
    that is no PE file."""
    found = headers(data)
    if not found:
        return None
    pe, optional = found
    parts = [(0, pe, "DOS header and stub"), (pe, pe + 4, "PE signature")]
    at = pe + 4
    for name, size in COFF_FIELDS:
        parts.append((at, at + size, f"COFF header {name}"))
        at += size
    sections, symbols, count, optional_size = struct.unpack_from("<HxxxxIIH", data, pe + 6)
    plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
    for name, size in OPTIONAL_FIELDS[plus]:
        parts.append((at, at + size, f"optional header {name}"))
        at += size
    for name in DIRECTORIES:
        if at + 8 > optional + optional_size:
            break
        parts.append((at, at + 8, f"data directory {name}"))
        at += 8
    # Names longer than 8 bytes (.gnu_debuglink) are "/offset" into the string table
    # behind the symbols.
    strings = symbols + count * 18
    raw = []
    for i in range(sections):
        header = optional + optional_size + 40 * i
        name = data[header:header + 8].rstrip(b"\0").decode("latin-1")
        if name.startswith("/") and name[1:].isdigit():
            start = strings + int(name[1:])
            name = data[start:data.index(b"\0", start)].decode("latin-1")
        parts.append((header, header + 40, f"section header {name}"))
        size, offset = struct.unpack_from("<II", data, header + 16)
        if size:
            raw.append((offset, offset + size, f"section {name}"))
    return parts + sorted(raw)


def field_offset(data, name):
    """The file offset of the optional header's field `name`."""
    _, optional = headers(data)
    plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
    at = optional
    for field, size in OPTIONAL_FIELDS[plus]:
        if field == name:
            return at
        at += size
    raise KeyError(name)


def checksum(data):
    """The PE checksum: the file's 16-bit words added with end-around carry, the
    checksum field itself taken as zero, plus the file's length."""
    at = field_offset(data, "CheckSum")
    words = data[:at] + b"\0" * 4 + data[at + 4:] + b"\0" * (len(data) % 2)
    total = 0
    for (word,) in struct.iter_unpack("<H", words):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def pad_for_signing(path):
    """Pads the program at `path` with zero bytes to where signing would put the
    certificate table, and writes its checksum for the new length. A signature removed
    again (osslsigncode remove-signature) then leaves exactly these bytes; otherwise the
    padding that signing adds would stay behind, and a checksum for that length."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    if not headers(data):
        raise SystemExit(f"peimage: {path} is no Windows program")
    data += b"\0" * (-len(data) % CERTIFICATE_ALIGNMENT)
    struct.pack_into("<I", data, field_offset(data, "CheckSum"), checksum(bytes(data)))
    with open(path, "wb") as f:
        f.write(data)


def main(argv):
    if len(argv) != 3 or argv[1] != "pad":
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    pad_for_signing(argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
