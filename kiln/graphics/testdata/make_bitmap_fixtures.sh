#!/bin/sh
# Writes the BMP fixtures of the bitmap tests with ImageMagick 6 (Debian's
# imagemagick package; /usr/bin/convert). The files are checked in, so the
# tests do not need ImageMagick; rerun this only to make them anew.
# -type Palette keeps a colour table; ImageMagick then picks 4 bits per pixel
# for up to 16 colours and 8 bits above that, so the 8-bit images are remapped
# onto its 216-colour web-safe palette (netscape:), which gives 256 entries.
# BMP3 compresses 8-bit files unless told not to.
set -e
cd "$(dirname "$0")"
IM=/usr/bin/convert

# 12x2, 4 bits: white, (200,200,200), (100,100,100), black in row 0; black in
# pixels 8 to 11 of row 1; white elsewhere.
$IM -size 12x2 xc:white -fill '#C8C8C8' -draw 'point 1,0' -fill '#646464' -draw 'point 2,0' \
    -fill black -draw 'point 3,0' -draw 'line 8,1 11,1' -type Palette BMP3:im_gray4.bmp

# 8x2, 4 bits: gray 0x88 with a black pixel at 0,0 and a red one at 7,1.
$IM -size 8x2 xc:'#888888' -fill black -draw 'point 0,0' -fill red -draw 'point 7,1' \
    -type Palette BMP3:im_masked4.bmp

# 16x4, 8 bits: pure red (transparent) around two web-safe blocks,
# #3366CC at x 2-9, y 1-2 and #FFCC00 at x 10-13, all rows.
$IM -size 16x4 xc:red +antialias -fill '#3366CC' -draw 'rectangle 2,1 9,2' \
    -fill '#FFCC00' -draw 'rectangle 10,0 13,3' +dither -remap netscape: -type Palette -compress none \
    BMP3:im_masked8.bmp

# 32x16, 8 bits: #3366CC above, #FFCC00 below (rows 8-15); compresses well.
$IM -size 32x16 xc:'#3366CC' +antialias -fill '#FFCC00' -draw 'rectangle 0,8 31,15' \
    +dither -remap netscape: -type Palette -compress none BMP3:im_plain8.bmp

# 8x2, 1 bit (two colours): refused, the kit reads 4 and 8 bits only.
$IM -size 8x2 xc:white -fill black -draw 'point 0,0' -type Palette BMP3:im_mono1.bmp
