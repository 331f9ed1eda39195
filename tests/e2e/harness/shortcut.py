"""Reading a shortcut file (.lnk) that the setup wrote."""

import re
import subprocess


def link_fields(link):
    """The fields that lnkinfo names, e.g. "Local path"; the first of each name."""
    out = subprocess.run(["lnkinfo", str(link)], capture_output=True, text=True, check=False).stdout
    fields = {}
    for line in out.splitlines():
        field = re.match(r"\s*([^:]*?)\s*: (.*)", line)
        if field:
            fields.setdefault(field[1], field[2])
    return fields


def header_number(link, offset, size):
    """An unsigned little-endian number of the file's header, e.g. the show command at
    offset 60 and the hot key at 64."""
    with open(link, "rb") as f:
        f.seek(offset)
        return int.from_bytes(f.read(size), "little")
