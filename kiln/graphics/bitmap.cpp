#include "kiln/graphics/bitmap.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "common/exit.h"
#include "kiln/graphics/bmp_file.h"
#include "kiln/graphics/colour.h"
#include "kiln/graphics/rle.h"

namespace kiln {

namespace {

constexpr int kTransparent = 256;  // colour map value of the transparent colour
constexpr int kNotGray = -1;       // gray level of a colour that is drawn transparent
constexpr int kOffTable = -2;      // a pixel index past the colour count

// A header fault: the message framed with the file's path.
[[noreturn]] void headerFault(const std::string& path, const char* format, ...) {
  std::fprintf(stderr, "\n=============================================\n");
  std::fprintf(stderr, "File: %s\n", path.c_str());
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fprintf(stderr, "=============================================\n");
  kit::fail(1);
}

// The parts of a BMP the converter needs, every one checked against the file.
struct BmpLayout {
  int width = 0;
  int height = 0;        // rows of the picture
  bool topDown = false;  // rows stored top first (negative height field)
  int bitsPerPixel = 0;
  int colourCount = 0;
  const uint8_t* colourTable = nullptr;
  const uint8_t* pixels = nullptr;
  size_t rowBytes = 0;

  // The colour index of pixel x of picture row y (0 is the top row).
  int index(int x, int y) const {
    const uint8_t* row = pixels + rowBytes * size_t(topDown ? y : height - 1 - y);
    if (bitsPerPixel == 8) return row[x];
    return (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
  }
};

BmpLayout readLayout(const std::string& path, const std::vector<uint8_t>& file, int depth) {
  const uint8_t* b = file.data();
  unsigned long real = file.size();
  if (real >= 6 && readLE32(b + 2) != real)
    headerFault(path, "ERROR: file size %ld != %ld\n", long(readLE32(b + 2)), long(real));
  if (real < 54) headerFault(path, "ERROR: .bmp header cut short: the file has only %lu bytes\n", real);
  // Later header versions only add fields after the first 40 bytes; the
  // colour table follows the header, whatever its size.
  unsigned long infoSize = readLE32(b + 14);
  if (infoSize < 40 || infoSize > real - 14)
    headerFault(path, "ERROR: unsupported .bmp information header of %lu bytes\n", infoSize);

  BmpLayout img;
  img.bitsPerPixel = readLE16(b + 28);
  long width = readLE32Signed(b + 18);
  long long height = readLE32Signed(b + 22);
  if (img.bitsPerPixel != 4 && img.bitsPerPixel != 8)
    headerFault(path, "ERROR: only 4 or 8 bit .bmp files supported.  Found %d\n", img.bitsPerPixel);
  if (depth == 8 && img.bitsPerPixel != 8)
    headerFault(path, "ERROR: 8 bit .bmp files supported for 8 bit palm data.  Found %d\n", img.bitsPerPixel);
  if (width % 4 != 0) headerFault(path, "ERROR: only supports a multiple of 4 wide found %ld\n", width);
  // A record holds width and height in one byte each.
  long long rows = height < 0 ? -height : height;
  if (width <= 0 || width > 255 || rows == 0 || rows > 255)
    headerFault(path, "ERROR: bitmap of %ld x %lld pixels; width and height must be 1 to 255\n", width, rows);
  unsigned long compression = readLE32(b + 30);
  if (compression != 0)
    headerFault(path, "ERROR: compressed .bmp files are not supported (compression method %lu)\n", compression);
  unsigned long colours = readLE32(b + 46);
  unsigned long room = 1ul << img.bitsPerPixel;
  if (colours == 0) colours = room;
  if (colours > room)
    headerFault(path, "ERROR: %lu colours used; a %d bit .bmp file holds at most %lu\n", colours, img.bitsPerPixel,
                room);
  unsigned long tableStart = 14 + infoSize;
  unsigned long offset = readLE32(b + 10);
  if (offset < tableStart)
    headerFault(path, "ERROR: the pixel data at offset %lu overlaps the header\n", offset);
  // The colours are the entries between the header and the pixel data. A
  // table shorter than its count (a count of 0 over a few entries is common in
  // hand-made files) is read as far as it goes; pixels are never taken for colours.
  unsigned long present = (std::min(offset, real) - tableStart) / 4;
  if (colours > present) colours = present;

  img.width = int(width);
  img.height = int(rows);
  img.topDown = height < 0;
  img.colourCount = int(colours);
  img.colourTable = b + tableStart;
  img.rowBytes = img.bitsPerPixel == 8 ? size_t(width) : 4 * size_t((width + 7) / 8);
  unsigned long long need = (unsigned long long)img.rowBytes * img.height;
  if (offset > real || need > real - offset)
    headerFault(path, "ERROR: the pixel data (%llu bytes from offset %lu) runs past the end of the file\n", need,
                offset);
  img.pixels = b + offset;
  return img;
}

}  // namespace

bool isNear(int a, int b) { return std::abs(a - b) < 8; }

int matchBrushColor(GraphicsState& graphics, const Palette& palette, uint32_t colourEntry, const std::string& path) {
  if (colourEntry == 0x00FF0000) return kTransparent;  // pure red, reserved byte 0
  int blue = colourEntry & 0xFF, green = (colourEntry >> 8) & 0xFF, red = (colourEntry >> 16) & 0xFF;
  for (int i = 0; i < 256; ++i)
    if (palette[i].red == red && palette[i].green == green && palette[i].blue == blue) return i;
  if (path != graphics.lastWarnedPath) {
    std::fprintf(stderr, "\nWARNING: could not find exact color match\n");
    std::fprintf(stderr, "         brush: %s\n", path.c_str());
    graphics.lastWarnedPath = path;
  }
  return matchPaletteColor(palette, red, green, blue);
}

void convertBitmap(RunState& run, const std::string& path, Database& db, int compressFlag, const char* code,
                   int depth, const Palette* palette, BitmapTotals& totals) {
  std::vector<uint8_t> file = readBmpFile(path);
  if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') {
    std::fprintf(stderr, "ERROR: input file is not a .bmp format\n");
    kit::fail(1);
  }
  const BmpLayout img = readLayout(path, file, depth);
  const int W = img.width, H = img.height;

  // Each colour-table entry is looked at once: as a palette slot at depth 8,
  // as a gray level (or transparent) at depth 2 and 4.
  int colour[256];
  for (int i = 0; i < 256; ++i) colour[i] = kOffTable;
  for (int i = 0; i < img.colourCount; ++i) {
    const uint8_t* e = img.colourTable + 4 * i;
    if (depth == 8) {
      colour[i] = matchBrushColor(run.graphics, *palette, readLE32(e), path);
    } else if (isNear(e[2], e[1]) && isNear(e[1], e[0])) {
      int blue = e[0];
      colour[i] = depth == 2 ? (blue > 240 ? 0 : blue > 140 ? 1 : blue > 40 ? 2 : 3) : 15 - blue / 16;
    } else {
      colour[i] = kNotGray;
    }
  }

  bool masked = false;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      int c = colour[img.index(x, y)];
      if (c == kTransparent || c == kNotGray) masked = true;
      if (c == kOffTable && depth == 8) {
        std::fprintf(stderr, "ERROR: pixel %d,%d of %s uses colour %d; the colour table has only %d\n", x, y,
                     path.c_str(), img.index(x, y), img.colourCount);
        kit::fail(1);
      }
    }

  const size_t maskRow = size_t(W + 7) / 8;
  const size_t M = masked ? maskRow * H : 0;
  const size_t P = size_t(W) * depth / 8 * H;
  std::vector<uint8_t> record;
  try {
    record.assign(4 + M + P, 0);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "ERROR: Malloc failure\n");
    kit::fail(1);
  }
  record[0] = uint8_t(W);
  record[1] = uint8_t(H);
  record[2] = uint8_t(depth);
  record[3] = masked ? 1 : 0;

  size_t maskAt = 4, pixelAt = 4 + M;
  const int perByte = 8 / depth;
  int maskCount = 0, pixelCount = 0;
  uint8_t maskBits = 0, pixelBits = 0;
  for (int y = 0; y < H; ++y) {
    if (maskCount != 0) {
      if (depth == 8)
        std::fprintf(stderr, "ERROR: maskCnt not zero on new row [%d]\n", maskCount);
      else
        std::fprintf(stderr, "ERROR: maskCnt not zero on new row [%d] %s\n", maskCount, path.c_str());
      kit::fail(1);
    }
    for (int x = 0; x < W; ++x) {
      int c = colour[img.index(x, y)];
      bool opaque;
      if (depth == 8) {
        opaque = c != kTransparent;
        // A transparent pixel's byte is written as 0, so builds are reproducible.
        record[pixelAt++] = opaque ? uint8_t(c) : 0;
        if (opaque) ++run.graphics.colourCounts[c];
      } else {
        opaque = c >= 0;
        if (opaque) {
          pixelBits |= uint8_t(c << (8 - depth * (pixelCount + 1)));
        } else if (!masked) {
          // Only an index past the colour count gets here.
          if (img.bitsPerPixel == 4)
            std::fprintf(stderr, "ERROR: found a non gray in unmasked brush %s\n", path.c_str());
          else
            std::fprintf(stderr, "ERROR: found a non gray in unmasked brush: %s\n", path.c_str());
          kit::fail(1);
        }
        if (++pixelCount == perByte) {
          record[pixelAt++] = pixelBits;
          pixelBits = 0;
          pixelCount = 0;
        }
      }
      if (masked) {
        // At depth 8 a set bit draws the pixel; at 2 and 4 it hides it.
        if (opaque == (depth == 8)) maskBits |= uint8_t(0x80 >> maskCount);
        if (++maskCount == 8 || x == W - 1) {
          record[maskAt++] = maskBits;
          maskBits = 0;
          maskCount = 0;
        }
      }
    }
  }
  const size_t written = (maskAt - 4) + (pixelAt - 4 - M);
  if (written != M + P) {
    std::fprintf(stderr, masked ? "ERROR: unexpected masked size found (%d) != %ld\n"
                                : "ERROR: unexpected unmasked size found (%d) != %ld\n",
                 int(written), long(M + P));
    kit::fail(1);
  }

  // A masked image is drawn through its mask and is never compressed; an
  // unmasked one is stored compressed when that saves at least 33 bytes.
  size_t recordSize = 4 + M + P;
  totals.totalUncompressedSize += long(recordSize);
  if (compressFlag != 0 && !masked) {
    ByteBuffer source, target;
    bufferInit(source, record.data() + 4, M + P);
    bufferInit(target, nullptr, 0);
    compressRLE(source, target);
    if (target.length + 32 < M + P) {
      std::memcpy(record.data() + 4, target.data, target.length);
      record[3] |= 2;
      recordSize = 4 + target.length;
    }
    bufferFree(target);
  }
  addPDBEntry(db, code, record.data(), recordSize);
  totals.totalStoredSize += long(recordSize);
}

}  // namespace kiln
