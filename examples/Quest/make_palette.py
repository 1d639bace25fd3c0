#!/usr/bin/env python3
"""Writes palette.bmp, the adventure's 256-colour palette: an uncompressed
8-bit BMP, 16 x 16 pixels, each pixel showing one colour of its table.

The table holds the device's standard colours (the 6x6x6 cube, ten grays,
silver, navy, purple, green, olive and black), so kiln finds every one of
them exactly, and 25 colours of the adventure's own: stone, earth, skin,
torchlight, moss and blood.
"""
import struct

STEPS = (0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00)
OWN = [
    # stone and mortar
    (0x5A, 0x55, 0x4E), (0x73, 0x6C, 0x62), (0x8C, 0x84, 0x78), (0xA6, 0x9E, 0x90), (0x3F, 0x3B, 0x36),
    # earth and wood
    (0x4A, 0x32, 0x1E), (0x6B, 0x48, 0x2A), (0x8B, 0x5E, 0x3C), (0xA9, 0x7A, 0x4F), (0xC4, 0x9A, 0x6C),
    # skin
    (0xF1, 0xC2, 0x9A), (0xE0, 0xAC, 0x7F), (0xC6, 0x8E, 0x64), (0x9C, 0x6B, 0x47),
    # torchlight and gold
    (0xFF, 0xB3, 0x47), (0xF5, 0x8A, 0x1F), (0xD4, 0xA0, 0x17), (0xFF, 0xE0, 0x8A),
    # moss and water
    (0x4B, 0x5E, 0x2F), (0x6E, 0x86, 0x3C), (0x2E, 0x4A, 0x5C), (0x3D, 0x6E, 0x8A),
    # blood, poison, magic
    (0x8A, 0x10, 0x10), (0x5F, 0xA8, 0x2E), (0x7B, 0x3F, 0xB5),
]


def colours():
    table = [(0, 0, 0)]
    table += [(v, v, v) for v in (0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE)]
    table += [(0xC0, 0xC0, 0xC0), (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00)]
    table += OWN
    table += [(r, g, b) for r in STEPS for g in STEPS for b in STEPS if r or g or b]
    assert len(table) == 256 and len(set(table)) == 256
    return table


def bmp(table):
    width = height = 16
    pixels = b"".join(bytes(range(16 * row, 16 * row + 16)) for row in reversed(range(height)))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in table)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


if __name__ == "__main__":
    with open("palette.bmp", "wb") as out:
        out.write(bmp(colours()))
