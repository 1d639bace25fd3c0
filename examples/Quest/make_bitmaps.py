#!/usr/bin/env python3
"""Draws the sample adventure's brushes and tiles as 8-bit BMP files.

Every colour is one of the 216 web-safe colours (components 00, 33, 66, 99,
CC, FF), which the adventure palette holds exactly, or pure red (FF0000),
which the game draws as transparent. Run it from anywhere; it rewrites the
files under brushes/ and tiles/ beside it.

Two brushes show the other files kiln reads: the torch is a PNG whose
see-through pixels are transparent (alpha 0) instead of red, and the banner an
8-bit BMP with run-length (RLE8) pixels, as paint programs save small images.
Both compile to the same records as plain BMPs of the same pictures.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
RED = (0xFF, 0x00, 0x00)

# The colour table: the web-safe cube; pure red is one of its colours.
TABLE = [(r, g, b) for r in range(0, 256, 51) for g in range(0, 256, 51) for b in range(0, 256, 51)]


def colour(hexcode):
    c = (int(hexcode[0:2], 16), int(hexcode[2:4], 16), int(hexcode[4:6], 16))
    assert c in TABLE, hexcode
    return c


class Picture:
    def __init__(self, width, height, fill):
        assert width % 4 == 0 and width <= 255 and height <= 255
        self.width, self.height = width, height
        self.pixels = [[colour(fill)] * width for _ in range(height)]

    def rect(self, x0, y0, x1, y1, hexcode):
        for y in range(max(0, y0), min(self.height, y1 + 1)):
            for x in range(max(0, x0), min(self.width, x1 + 1)):
                self.pixels[y][x] = colour(hexcode)

    def disc(self, cx, cy, r, hexcode):
        for y in range(self.height):
            for x in range(self.width):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.pixels[y][x] = colour(hexcode)

    def dots(self, hexcode, step, phase=0, on=None):
        for y in range(self.height):
            for x in range(self.width):
                if (x * 7 + y * 13 + phase) % step == 0 and (on is None or self.pixels[y][x] == colour(on)):
                    self.pixels[y][x] = colour(hexcode)

    def save(self, name, rle=False):
        index = {c: i for i, c in enumerate(TABLE)}
        stored = [bytes(index[c] for c in row) for row in reversed(self.pixels)]  # bottom row first
        rows = rle8(stored) if rle else b"".join(stored)
        table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in TABLE)
        offset = 14 + 40 + len(table)
        header = b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 8, 1 if rle else 0, len(rows), 2835,
                           2835, len(TABLE), 0)
        write(name, header + info + table + rows)

    def save_png(self, name):
        """Red, RGBA PNG, with pure red written as a transparent pixel."""
        raw = b"".join(b"\0" + b"".join(bytes(c + ((0,) if c == RED else (255,))) for c in row)
                       for row in self.pixels)

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        ihdr = struct.pack(">IIBBBBB", self.width, self.height, 8, 6, 0, 0, 0)
        write(name, b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) +
              chunk(b"IEND", b""))


def rle8(rows):
    """BMP run-length pixels: runs of 3 or more as one (count, index) pair,
    other pixels in absolute runs of 3 or more, padded to an even length;
    the end of each row, then the end of the bitmap."""
    out = bytearray()
    for row in rows:
        x = 0
        while x < len(row):
            n = 1
            while x + n < len(row) and n < 255 and row[x + n] == row[x]:
                n += 1
            if n >= 3:
                out += bytes((n, row[x]))
                x += n
                continue
            end = x
            while end < len(row) and end - x < 255 and not (end + 2 < len(row) and row[end] == row[end + 1] == row[end + 2]):
                end += 1
            literal = row[x:end]
            if len(literal) < 3:
                for p in literal:
                    out += bytes((1, p))
            else:
                out += bytes((0, len(literal))) + literal + (b"\0" if len(literal) % 2 else b"")
            x = end
        out += b"\0\0"
    return bytes(out[:-2]) + b"\0\1"


def write(name, data):
    path = os.path.join(HERE, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def tiles():
    grass = Picture(16, 16, "339933")
    grass.dots("336633", 11)
    grass.dots("66CC66", 17, 5)
    grass.save("tiles/grass.bmp")

    water = Picture(16, 16, "3366CC")
    for y in (3, 9, 14):
        water.rect(2 + y % 5, y, 8 + y % 5, y, "6699FF")
    water.save("tiles/water.bmp")

    sand = Picture(16, 16, "FFCC66")
    sand.dots("CC9933", 19)
    sand.save("tiles/sand.bmp")

    floor = Picture(16, 16, "999999")
    floor.rect(0, 0, 15, 0, "666666")
    floor.rect(0, 8, 15, 8, "666666")
    floor.rect(0, 0, 0, 7, "666666")
    floor.rect(8, 8, 8, 15, "666666")
    floor.save("tiles/floor.bmp")

    # Tiles drawn over whatever lies below: red is see-through.
    tree = Picture(16, 16, "FF0000")
    tree.rect(7, 10, 8, 15, "663300")
    tree.disc(7, 6, 6, "006600")
    tree.dots("009900", 5, on="006600")
    tree.save("tiles/tree.bmp")

    chest = Picture(16, 16, "FF0000")
    chest.rect(2, 6, 13, 14, "996633")
    chest.rect(2, 9, 13, 9, "333333")
    chest.rect(7, 8, 8, 11, "FFCC00")
    chest.save("tiles/chest.bmp")


def brushes():
    wall = Picture(32, 32, "993300")
    for row in range(0, 32, 8):
        wall.rect(0, row, 31, row, "CCCCCC")
        shift = 0 if row % 16 == 0 else 8
        for x in range(shift, 32, 16):
            wall.rect(x, row, x, row + 7, "CCCCCC")
    wall.save("brushes/wall.bmp")

    door = Picture(24, 40, "FF0000")
    door.disc(11, 12, 11, "663300")
    door.rect(0, 12, 23, 39, "663300")
    door.rect(2, 14, 21, 39, "996633")
    door.rect(18, 26, 19, 27, "FFCC00")
    door.save("brushes/door.bmp")

    torch = Picture(8, 24, "FF0000")
    torch.rect(3, 8, 4, 23, "663300")
    torch.disc(3, 5, 3, "FF9900")
    torch.disc(3, 5, 1, "FFFF00")
    torch.save_png("brushes/torch.png")

    floor = Picture(64, 16, "666666")
    for y in range(16):
        floor.rect(0, y, 63, y, ["333333", "666666", "999999"][y * 3 // 16])
    floor.save("brushes/floor.bmp")

    banner = Picture(16, 32, "FF0000")
    banner.rect(0, 0, 15, 1, "663300")
    banner.rect(2, 2, 13, 27, "990000")
    banner.rect(2, 28, 4, 31, "990000")
    banner.rect(11, 28, 13, 31, "990000")
    banner.disc(7, 12, 3, "FFCC00")
    banner.save("brushes/banner.bmp", rle=True)

    sky = Picture(64, 16, "6699FF")
    sky.rect(10, 4, 22, 6, "FFFFFF")
    sky.rect(40, 9, 55, 10, "FFFFFF")
    sky.save("brushes/sky.bmp")


if __name__ == "__main__":
    tiles()
    brushes()
