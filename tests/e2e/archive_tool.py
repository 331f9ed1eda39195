#!/usr/bin/env python3
"""Reads the record structure of a packed archive and builds damaged copies of it
for the end-to-end runs.

  archive_tool.py list ARCHIVE
  archive_tool.py damage ARCHIVE OUT --after-folder NAME

`damage` keeps every record up to the end of the folder NAME's contents and then
writes a record header that is not hexadecimal, so that an unpack stops with an
error after it has created NAME and everything before it."""

import argparse
import sys


def records(data):
    """Yields (offset, end, is_folder, level, name, size) for every record."""
    pos = 0
    while pos < len(data):
        header = data[pos:pos + 4]
        if len(header) < 4:
            raise ValueError(f"truncated header at offset {pos}")
        length, level = int(header[:2], 16), int(header[2:], 16)
        n = length & 127
        name = data[pos + 4:pos + 4 + n].decode("cp1252")
        if length > 128:
            yield pos, pos + 4 + n, True, level, name, 0
            pos += 4 + n
        else:
            size = int(data[pos + 4 + n:pos + 12 + n], 16)
            end = pos + 12 + n + size
            yield pos, end, False, level, name, size
            pos = end


def cmd_list(args):
    data = open(args.archive, "rb").read()
    for offset, _, is_folder, level, name, size in records(data):
        kind = "folder" if is_folder else f"file {size}"
        print(f"{offset:10d}  level {level:3d}  {'  ' * level}{name}  ({kind})")


def cmd_damage(args):
    data = open(args.archive, "rb").read()
    folder_level = None
    cut = None
    for _, end, is_folder, level, name, _ in records(data):
        if folder_level is None:
            if is_folder and name == args.after_folder:
                folder_level = level
                cut = end
            continue
        # Contents of the folder carry a higher level than its own record.
        if level <= folder_level:
            break
        cut = end
    if cut is None:
        sys.exit(f"archive_tool: no folder {args.after_folder!r} in {args.archive}")
    if cut >= len(data):
        sys.exit(f"archive_tool: folder {args.after_folder!r} ends the archive; nothing follows")
    with open(args.out, "wb") as f:
        f.write(data[:cut] + b"ZZ01Kaputt" + data[cut:cut + 64])
    print(f"archive_tool: {args.out}: {cut} intact bytes, then a bad header")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("list", help="print the records of an archive")
    p.add_argument("archive")
    p.set_defaults(run=cmd_list)
    p = sub.add_parser("damage", help="write a copy with a bad header after a folder")
    p.add_argument("archive")
    p.add_argument("out")
    p.add_argument("--after-folder", required=True)
    p.set_defaults(run=cmd_damage)
    args = parser.parse_args()
    args.run(args)


if __name__ == "__main__":
    main()
