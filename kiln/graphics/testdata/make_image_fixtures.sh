#!/bin/sh
# Writes the image-reader fixtures: the same few pictures saved by the real
# tools in every BMP variant and as PNG, each beside a plain uncompressed
# 8-bit BMP twin (tw_*.bmp) that must convert to the same record.
# Tools: ImageMagick 6 (/usr/bin/convert, Debian's imagemagick) and Pillow
# (Debian's python3-pil). The files are checked in; rerun only to make them anew.
set -e
cd "$(dirname "$0")"
IM=/usr/bin/convert
PY=/usr/bin/python3

# The pictures, drawn with Pillow: the twins and the sources for ImageMagick.
#  brush: 12 x 3, 9 colours (web-safe, two grays, pure red for transparency);
#  many:  16 x 16, 40 colours, so that palette files take 8 bits (RLE8);
#  gray:  8 x 4 grays, also as a 16-bit gray PNG;
#  mono:  8 x 2 black and white.
$PY - <<'PYTHON'
from PIL import Image
RED = (255, 0, 0)
brush = Image.new("RGB", (12, 3), (0x33, 0x66, 0x99))
px = brush.load()
for x in range(12):
    px[x, 0] = RED if x < 3 else (0xFF, 0xCC, 0x00)
    px[x, 2] = [(0, 0, 0), (0xFF, 0xFF, 0xFF), (0x99, 0x99, 0x99), (0x66, 0x33, 0x00)][x % 4]
px[5, 1] = RED
px[6, 1] = (0xCC, 0xCC, 0xCC)
brush.save("src_brush.ppm")
brush.quantize(256, method=Image.Quantize.MAXCOVERAGE).save("tw_brush.bmp")  # P: 8 bits
brush.save("pl_brush24.bmp")                                                 # 24 bits
brush.save("pl_brush.png", optimize=True)                                    # RGB, optimised
# Transparency instead of pure red: palette + tRNS, and RGBA.
rgba = brush.convert("RGBA")
data = [(0, 0, 0, 0) if p[:3] == RED else p for p in rgba.getdata()]
rgba.putdata(data)
rgba.save("src_brush_alpha.png")
rgba.save("pl_brush_rgba.png")
pal = brush.quantize(256, method=Image.Quantize.MAXCOVERAGE)
colours = [tuple(pal.getpalette()[3 * i: 3 * i + 3]) for i in range(len(pal.getpalette()) // 3)]
pal.save("pl_brush_trns.png", transparency=colours.index(RED))
# A pixel half transparent: refused.
half = rgba.copy()
half.putpixel((5, 2), (0x99, 0x99, 0x99, 128))
half.save("bad_partial_alpha.png")

many = Image.new("RGB", (16, 16))
steps = [0, 0x33, 0x66, 0x99, 0xCC, 0xFF]
for y in range(16):
    for x in range(16):
        i = (x // 2 + y * 3) % 40
        many.putpixel((x, y), (steps[i % 6], steps[(i // 6) % 6], steps[(i // 3) % 6]))
many.save("src_many.ppm")
many.quantize(256, method=Image.Quantize.MAXCOVERAGE).save("tw_many.bmp")

gray = Image.new("L", (8, 4))
for y in range(4):
    for x in range(8):
        gray.putpixel((x, y), [0, 40, 48, 140, 148, 200, 241, 255][x] if y % 2 == 0 else 255 - 30 * x)
gray.save("tw_gray.bmp")  # L: 8 bits with a gray table
Image.frombytes("I;16", gray.size, bytes(b for v in gray.getdata() for b in (v * 257).to_bytes(2, "little"))
                ).save("pl_gray16.png")
gray.save("src_gray.pgm")

mono = Image.new("1", (8, 2), 1)
mono.putpixel((0, 0), 0)
mono.putpixel((7, 1), 0)
mono.convert("L").save("tw_mono.bmp")
mono.save("pl_mono1.bmp")  # 1 bit
mono.convert("L").save("src_mono.pgm")
PYTHON

# ImageMagick, from the same sources. -type Palette keeps a colour table (4
# bits up to 16 colours); BMP3 then compresses (RLE4/RLE8) unless told not to.
$IM src_brush.ppm -type Palette BMP3:im_brush_pal.bmp
$IM src_brush.ppm -type Palette -compress RLE BMP3:im_brush_rle.bmp
$IM src_brush.ppm -type Palette BMP2:im_brush_os2.bmp
$IM src_brush.ppm -type TrueColor BMP2:im_brush_os2_24.bmp
$IM src_brush.ppm -type TrueColor BMP3:im_brush24.bmp
$IM src_brush.ppm -type TrueColor BMP:im_brush_v5_24.bmp
$IM src_brush.ppm -define bmp:subtype=RGB565 BMP:im_brush565.bmp
$IM src_brush_alpha.png -type TrueColorAlpha BMP:im_brush_alpha.bmp
# (ImageMagick 6.9 still writes the 124-byte header here.)
$IM src_brush_alpha.png -type TrueColorAlpha -define bmp:format=bmp4 BMP:im_brush_alpha_bmp4.bmp
$IM src_many.ppm -type Palette BMP3:im_many_rle8.bmp
$IM src_many.ppm -type Palette BMP:im_many_v5.bmp
$IM src_gray.pgm -type Palette -compress RLE BMP3:im_gray_rle.bmp
$IM src_mono.pgm -type Bilevel BMP3:im_mono_bilevel.bmp
# 16 bits a sample, alpha included: scaled to 8 bits, half transparency kept.
$IM pl_brush_rgba.png -depth 16 PNG64:im_brush_rgba16.png
$IM bad_partial_alpha.png -depth 16 PNG64:bad_partial_alpha16.png
rm -f src_*
