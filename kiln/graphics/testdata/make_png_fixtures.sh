#!/bin/sh
# Writes the PNG reader fixtures (png_*.png). kiln reads the common PNGs
# itself and leaves the rest to stb_image; both must give the same colours
# for every one of these (image_png_test.cpp).
#  - png_<type><depth>_f<filter>.png: one 13 x 7 picture (an odd width, so
#    that packed rows end inside a byte) in each colour type and bit depth,
#    rows filtered with one filter (0 none, 1 sub, 2 up, 3 average, 4 Paeth)
#    or, for fm, row y with filter y % 5; written here byte by byte, so that
#    every filter is certain to be used.
#  - png_im_*.png, png_pl_*.png: as ImageMagick 6 and Pillow save them,
#    interlaced and 16-bit ones among them (those are stb's).
# Tools: Python 3 with zlib and Pillow, ImageMagick (/usr/bin/convert).
# The files are checked in; rerun only to make them anew.
set -e
cd "$(dirname "$0")"
IM=/usr/bin/convert

/usr/bin/python3 - <<'PYTHON'
import struct, zlib
from PIL import Image

W, H = 13, 7

def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c

def filtered(rows, bpp, filters):
    out, prior = b"", bytes(len(rows[0]))
    for y, row in enumerate(rows):
        f = filters(y)
        line = bytearray()
        for i, v in enumerate(row):
            a = row[i - bpp] if i >= bpp else 0
            b, c = prior[i], prior[i - bpp] if i >= bpp else 0
            pred = [0, a, b, (a + b) // 2, paeth(a, b, c)][f]
            line.append((v - pred) & 0xFF)
        out += bytes([f]) + bytes(line)
        prior = row
    return out

def pack(samples, depth):
    if depth == 8:
        return bytes(samples)
    out, acc, n = bytearray(), 0, 0
    for s in samples:
        acc = acc << depth | s
        n += depth
        if n == 8:
            out.append(acc); acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)

def write(name, ctype, depth, rows, extra=b"", filters=lambda y: 0, idat_parts=1):
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[ctype]
    bpp = max(1, channels * depth // 8)
    data = zlib.compress(filtered(rows, bpp, filters), 9)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, depth, ctype, 0, 0, 0)) + extra
    step = -(-len(data) // idat_parts)
    for i in range(0, len(data), step):
        png += chunk(b"IDAT", data[i:i + step])
    open(name, "wb").write(png + chunk(b"IEND", b""))

def at(x, y, n):  # a pattern of n values
    return (x * 3 + y * 5 + x * y) % n

# The colours of the palette pictures: one clear, one half transparent, and
# one slot that no pixel uses.
palette = [(0x33, 0x66, 0x99), (0xFF, 0xCC, 0x00), (0, 0, 0), (0xFF, 0, 0), (0xFF, 0xFF, 0xFF),
           (0x99, 0x33, 0x00), (0x66, 0x66, 0x66), (0x12, 0x34, 0x56)]
alpha = [255, 255, 255, 0, 255, 255, 128]
rgba = [palette[i] + (alpha[i],) for i in range(7)]

cases = []
for depth in (1, 2, 4, 8):
    n = min(7, 1 << depth)
    plte = chunk(b"PLTE", bytes(v for c in palette[:max(n, 2) + (1 if depth > 1 else 0)] for v in c))
    trns = chunk(b"tRNS", bytes(alpha[:n]))
    rows = [pack([at(x, y, n) for x in range(W)], depth) for y in range(H)]
    cases.append(("pal%d" % depth, 3, depth, rows, plte + trns))
for depth in (1, 2, 4, 8):
    top = (1 << depth) - 1
    rows = [pack([(x * 7 + y * 3) % (top + 1) for x in range(W)], depth) for y in range(H)]
    cases.append(("gray%d" % depth, 0, depth, rows, b""))
    cases.append(("gray%d_key" % depth, 0, depth, rows, chunk(b"tRNS", struct.pack(">H", top // 2))))
cases.append(("graya8", 4, 8, [bytes(v for x in range(W) for v in ((x * 37 + y * 11) % 256, 255 if x != y else 0))
                               for y in range(H)], b""))
rgb_rows = [bytes(v for x in range(W) for v in rgba[at(x, y, 7)][:3]) for y in range(H)]
cases.append(("rgb8", 2, 8, rgb_rows, b""))
cases.append(("rgb8_key", 2, 8, rgb_rows, chunk(b"tRNS", struct.pack(">HHH", 0xFF, 0xCC, 0x00))))
cases.append(("rgba8", 6, 8, [bytes(v for x in range(W) for v in rgba[at(x, y, 7)]) for y in range(H)], b""))

for name, ctype, depth, rows, extra in cases:
    for f in range(5):
        write("png_%s_f%d.png" % (name, f), ctype, depth, rows, extra, lambda y, f=f: f)
    write("png_%s_fm.png" % name, ctype, depth, rows, extra, lambda y: y % 5, idat_parts=3)

# A pixel whose slot lies past the palette (kiln refuses it).
write("png_bad_index.png", 3, 8, cases[3][3], chunk(b"PLTE", bytes(9)))

# As Pillow saves them.
img = Image.new("RGBA", (W, H))
for y in range(H):
    for x in range(W):
        img.putpixel((x, y), rgba[at(x, y, 7)])
img.save("src_png.png")
img.save("png_pl_rgba.png", optimize=True)
img.convert("RGB").save("png_pl_rgb_key.png", transparency=(0xFF, 0xCC, 0x00))
img.convert("L").save("png_pl_gray.png")
img.convert("RGB").quantize(8).save("png_pl_pal.png", transparency=3)
img.convert("RGB").resize((130, 70), Image.NEAREST).save("png_pl_rgb_stored.png", compress_level=0)
many = Image.new("RGB", (32, 16))  # 512 colours, each once
for i in range(512):
    many.putpixel((i % 32, i // 32), (i % 8 * 32, i // 8 % 8 * 32, i // 64 * 32))
many.save("png_pl_rgb_many.png")
PYTHON

$IM src_png.png png_im_default.png
$IM src_png.png -define png:color-type=3 png_im_pal.png
$IM src_png.png -interlace PNG png_im_rgba_interlaced.png
$IM src_png.png -interlace PNG -define png:color-type=3 png_im_pal_interlaced.png
$IM src_png.png -depth 16 PNG64:png_im_rgba16.png
rm -f src_png.png
