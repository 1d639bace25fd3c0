#!/bin/sh
# Makes the palette fixtures with ImageMagick (Debian package imagemagick,
# 6.9): a 16x16 picture of 256 different colours, the device's 231 standard
# colours and 25 others, saved as an 8-bit BMP with the 40-byte header (BMP3)
# and with ImageMagick's default, larger header (BMP); and a 4-bit BMP of 16
# grays that a palette must refuse. Run from this folder.
set -e
CONVERT=/usr/bin/convert
python3 - > colours.ppm <<'PY'
steps = [0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00]
colours = []
for b in steps:
    for r in steps:
        for g in steps:
            if r or g or b:
                colours.append((r, g, b))
colours += [(v, v, v) for v in (0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE)]
colours += [(0xC0, 0xC0, 0xC0), (0, 0, 0x80), (0x80, 0, 0x80), (0, 0x80, 0), (0x80, 0x80, 0)]
colours.append((0, 0, 0))
colours += [(0x10 + 9 * i, 0x40 + 5 * i, 0x07 + 3 * i) for i in range(25)]  # the 25 others
assert len(set(colours)) == 256
print("P3\n16 16\n255")
for c in reversed(colours):  # not in the device's order
    print(*c)
PY
$CONVERT colours.ppm -type Palette BMP3:im_palette_bmp3.bmp
$CONVERT colours.ppm -type Palette BMP:im_palette_bmp5.bmp
$CONVERT colours.ppm -type Palette -compress None BMP3:im_palette_raw.bmp
$CONVERT -size 16x16 gradient:white-black -colors 16 -type Palette -depth 4 BMP3:im_gray_4bit.bmp
rm colours.ppm
