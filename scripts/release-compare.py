#!/usr/bin/env python3
"""Compares two builds of the medium file by file and says where they differ.

    scripts/release-compare.py A B            two files, or two folders compared recursively
    scripts/release-compare.py --ranges A B   every differing byte range, not only the first

A difference in a Windows program (a PE file: the programs and their .debug files) is
named by the part of the file that holds it: a header field (the time stamp, the
checksum), a data directory, a section header or a section (".rdata", ".gnu_debuglink")
with the offset inside it. Exit status 0 when both sides hold the same files with the
same bytes, 1 when they do not, 2 on wrong use.
"""

import argparse
import sys
from pathlib import Path

import peimage

BLOCK = 4096


def differing_ranges(a, b):
    """The byte ranges [start, end) where a and b differ; the longer one's tail is one."""
    ranges, start = [], None
    common = min(len(a), len(b))
    for block in range(0, common, BLOCK):
        end = min(block + BLOCK, common)
        if a[block:end] == b[block:end]:
            if start is not None:
                ranges.append((start, block))
                start = None
            continue
        for i in range(block, end):
            if a[i] != b[i] and start is None:
                start = i
            elif a[i] == b[i] and start is not None:
                ranges.append((start, i))
                start = None
    if start is not None:
        ranges.append((start, common))
    if len(a) != len(b):
        ranges.append((common, max(len(a), len(b))))
    return ranges


def part_of(parts, offset):
    """The part of the file that holds `offset`, and the offset inside it if it has one."""
    for start, end, name in parts or ():
        if start <= offset < end:
            return name, offset - start
    return ("behind the sections" if parts else "data"), None


def describe(a, b, every):
    """Lines saying where the bytes of a and b differ; none when they are the same."""
    if a == b:
        return []
    parts = peimage.regions(a)
    ranges = differing_ranges(a, b)
    plural = "s" if len(ranges) > 1 else ""
    lines = [f"{len(a)} and {len(b)} bytes, {len(ranges)} differing range{plural}"]
    for start, end in ranges if every else ranges[:1]:
        name, inside = part_of(parts, start)
        lead = f"0x{start:x}-0x{end:x}" if every else f"first difference at 0x{start:x}"
        where = name if inside is None else f"{name} +0x{inside:x}"
        lines.append(f"{lead} ({end - start} byte{'s' if end - start > 1 else ''}): {where}")
    if parts and not every:
        named = dict.fromkeys(part_of(parts, start)[0] for start, _ in ranges)
        lines.append("differing parts: " + ", ".join(named))
    return lines


def files_below(folder):
    return {p.relative_to(folder) for p in folder.rglob("*") if p.is_file()}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ranges", action="store_true", help="every differing byte range")
    parser.add_argument("a", type=Path)
    parser.add_argument("b", type=Path)
    args = parser.parse_args()
    if not args.a.exists() or not args.b.exists() or args.a.is_dir() != args.b.is_dir():
        parser.error("give two files or two folders")
    if args.a.is_dir():
        ours, theirs = files_below(args.a), files_below(args.b)
        pairs = [(args.a / p, args.b / p, str(p)) for p in sorted(ours & theirs)]
        only = [f"only in {args.a}: {p}" for p in sorted(ours - theirs)] + \
               [f"only in {args.b}: {p}" for p in sorted(theirs - ours)]
    else:
        pairs, only = [(args.a, args.b, args.a.name)], []
    for line in only:
        print(line)
    differing = 0
    for a, b, name in pairs:
        lines = describe(a.read_bytes(), b.read_bytes(), args.ranges)
        if lines:
            differing += 1
            print(f"{name} differs: {lines[0]}")
            for line in lines[1:]:
                print(f"  {line}")
    summary = f"{args.a} and {args.b}: {len(pairs) - differing} of {len(pairs) + len(only)} files the same"
    if differing:
        summary += f", {differing} differ"
    if only:
        summary += f", {len(only)} on one side only"
    print(summary)
    return 1 if differing or only else 0


if __name__ == "__main__":
    sys.exit(main())
