#!/usr/bin/env python3
"""Writes the sample adventure's binary map files into maps/.

Run it from anywhere (python3 make_maps.py); the files it writes are checked
in beside it, and this script is their documentation. A map file is, with every
multi-byte number little-endian:

    offset  size            field
    0       4               version, signed: 2
    4       1 each          width, height, flags, md, startx, starty, specCnt, pad
    12      2               special-code length
    14      30              name, zero-padded
    44      6 x specCnt     specials: two bytes, then two 16-bit numbers
    then    code length     special code (only when specCnt is not 0)
    then    width x height  first layer, row after row
    then    width x height  second layer
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def map_file(name, rows1, rows2, *, flags=0, md=0, start=(1, 1), specials=(), code=b""):
    height = len(rows1)
    width = len(rows1[0])
    assert len(rows2) == height and all(len(r) == width for r in rows1 + rows2)
    assert len(code) < 32768 and len(name) < 30
    out = struct.pack("<i", 2)
    out += bytes([width, height, flags, md, start[0], start[1], len(specials), 0])
    out += struct.pack("<H", len(code))
    out += name.encode("ascii").ljust(30, b"\0")
    for x, y, a, b in specials:
        out += struct.pack("<BBHH", x, y, a, b)
    if specials:
        out += code
    for rows in (rows1, rows2):
        for row in rows:
            out += bytes(row)
    return out


def grid(text):
    """A layer drawn as text: '.' is 0, a digit its value, a letter 10 and up."""
    def cell(c):
        if c == ".":
            return 0
        if c.isdigit():
            return int(c)
        return ord(c) - ord("a") + 10
    return [[cell(c) for c in line] for line in text.split()]


# Walls layer: 1 stone, 2 oak door, 3 iron grate (the wall number plus one).
# Floor layer: 1 floor, 2 stairs, 3 water.
CELLAR = map_file(
    "Cellar",
    grid("""
        11111111
        1......1
        1.1121.1
        1.1..1.1
        1......1
        11111111
    """),
    grid("""
        ........
        .111111.
        .1..1.1.
        .1111.1.
        .111112.
        ........
    """),
    start=(1, 1),
)

# Two specials: the stairs down and the well. Their numbers point into the
# special code (its offset) and name a text.
KEEP = map_file(
    "Great hall",
    grid("""
        111111111111
        1..........1
        1.11121111.1
        1.1......1.1
        1.1......3.1
        1.1......1.1
        1.11111111.1
        1..........1
        1..........1
        111112111111
    """),
    grid("""
        ............
        .1111111111.
        .1......1.1.
        .1.111111.1.
        .1.111111.1.
        .1.111131.1.
        .1........1.
        .1111111111.
        .1111111112.
        ............
    """),
    flags=1,
    md=2,
    start=(5, 8),
    specials=[(10, 8, 0x0000, 0x0102), (7, 5, 0x0004, 0x0103)],
    code=bytes([0x01, 0x02, 0x00, 0xFF, 0x03, 0x01, 0x00, 0xFF]),
)

TOWER = map_file(
    "North tower",
    grid("""
        111111
        1....1
        1.33.1
        1....1
        1....1
        112111
    """),
    grid("""
        ......
        .1111.
        .1..1.
        .1111.
        .1121.
        ......
    """),
    start=(2, 4),
    specials=[(3, 4, 0x0000, 0x0200)],
    code=bytes([0x02, 0x00, 0x01, 0xFF]),
)


def main():
    os.makedirs(os.path.join(HERE, "maps"), exist_ok=True)
    for file, data in (("cellar.map", CELLAR), ("keep.map", KEEP), ("tower.map", TOWER)):
        with open(os.path.join(HERE, "maps", file), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
