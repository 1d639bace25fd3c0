#include "kiln/graphics/bitmap.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "common/exit.h"
#include "kiln/graphics/bitmap_format.h"
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

  // The stored bytes of picture row y (0 is the top row).
  const uint8_t* row(int y) const { return pixels + rowBytes * size_t(topDown ? y : height - 1 - y); }
  // The colour index of pixel x of picture row y.
  int index(int x, int y) const {
    const uint8_t* r = row(y);
    if (bitsPerPixel == 8) return r[x];
    return (x & 1) ? r[x / 2] & 0x0F : r[x / 2] >> 4;
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

// The record in one zeroed block of its final uncompressed size.
std::vector<uint8_t> newRecord(size_t size) {
  std::vector<uint8_t> record;
  try {
    record.assign(size, 0);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "ERROR: Malloc failure\n");
    kit::fail(1);
  }
  return record;
}

// Adds the record (header and planes); a masked image is drawn through its
// mask and is never compressed, an unmasked one is stored compressed when
// that saves at least 33 bytes.
void addBitmapRecord(Database& db, const char* code, std::vector<uint8_t>& record, bool masked, int compressFlag,
                     BitmapTotals& totals) {
  size_t recordSize = record.size();
  const size_t planes = recordSize - kBitmapHeaderSize;
  totals.totalUncompressedSize += long(recordSize);
  if (compressFlag != 0 && !masked) {
    ByteBuffer source, target;
    bufferInit(source, record.data() + kBitmapHeaderSize, planes);
    bufferInit(target, nullptr, 0);
    compressRLE(source, target);
    if (compressionPays(target.length, planes)) {
      std::memcpy(record.data() + kBitmapHeaderSize, target.data, target.length);
      record[kBitmapFlagsAt] |= kBitmapCompressed;
      recordSize = kBitmapHeaderSize + target.length;
    }
    bufferFree(target);
  }
  addPDBEntry(db, code, record.data(), recordSize);
  totals.totalStoredSize += long(recordSize);
}

// Depth 8: each pixel is the palette slot of its colour, pure red transparent
// (its byte 0 and its mask bit clear). One pass counts the pixels of each
// colour-table index, which tells whether the image is masked (or uses an
// index past the table); a second writes the planes.
void encode8(GraphicsState& graphics, const std::string& path, const BmpLayout& img, const int* colour, Database& db,
             int compressFlag, const char* code, BitmapTotals& totals) {
  const int W = img.width, H = img.height;
  // Four tallies, so that a run of one colour does not wait on its own count.
  // The rows are counted where they lie: 8-bit rows have no padding.
  uint32_t tally[4][256] = {};
  const uint8_t* pixel = img.pixels;
  const size_t n = size_t(W) * H;
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    ++tally[0][pixel[i]];
    ++tally[1][pixel[i + 1]];
    ++tally[2][pixel[i + 2]];
    ++tally[3][pixel[i + 3]];
  }
  for (; i < n; ++i) ++tally[0][pixel[i]];
  uint32_t counts[256];
  for (int c = 0; c < 256; ++c) counts[c] = tally[0][c] + tally[1][c] + tally[2][c] + tally[3][c];
  bool masked = false, offTable = false;
  for (int i = 0; i < 256; ++i)
    if (counts[i]) {
      masked |= colour[i] == kTransparent;
      offTable |= colour[i] == kOffTable;
    }
  if (offTable)
    for (int y = 0; y < H; ++y) {
      const uint8_t* row = img.row(y);
      for (int x = 0; x < W; ++x)
        if (colour[row[x]] == kOffTable) {
          std::fprintf(stderr, "ERROR: pixel %d,%d of %s uses colour %d; the colour table has only %d\n", x, y,
                       path.c_str(), row[x], img.colourCount);
          kit::fail(1);
        }
    }

  const size_t maskRow = maskRowBytes(W);
  const size_t M = masked ? maskPlaneBytes(W, H) : 0;
  const size_t P = pixelPlaneBytes(W, H, 8);
  std::vector<uint8_t> record = newRecord(4 + M + P);
  record[kBitmapWidthAt] = uint8_t(W);
  record[kBitmapHeightAt] = uint8_t(H);
  record[kBitmapDepthAt] = 8;
  record[kBitmapFlagsAt] = masked ? kBitmapMasked : 0;

  uint8_t slot[256];
  for (int i = 0; i < 256; ++i) slot[i] = colour[i] >= 0 && colour[i] < 256 ? uint8_t(colour[i]) : 0;
  for (int y = 0; y < H; ++y) {
    const uint8_t* row = img.row(y);
    uint8_t* pixels = record.data() + 4 + M + size_t(y) * W;
    if (!masked) {
      for (int x = 0; x < W; x += 4) {  // W is a multiple of 4
        pixels[x] = slot[row[x]];
        pixels[x + 1] = slot[row[x + 1]];
        pixels[x + 2] = slot[row[x + 2]];
        pixels[x + 3] = slot[row[x + 3]];
      }
      continue;
    }
    // A set mask bit draws the pixel; a transparent pixel's byte stays 0, so
    // builds are reproducible.
    uint8_t* mask = record.data() + 4 + size_t(y) * maskRow;
    for (int x = 0; x < W; ++x) {
      if (colour[row[x]] == kTransparent) continue;
      pixels[x] = slot[row[x]];
      mask[x >> 3] |= maskBit(x);
    }
  }
  for (int i = 0; i < 256; ++i)
    if (counts[i] && colour[i] != kTransparent) graphics.colourCounts[colour[i]] += counts[i];

  addBitmapRecord(db, code, record, masked, compressFlag, totals);
}
}  // namespace

bool isNear(int a, int b) { return std::abs(a - b) < 8; }

namespace {

// Prints the colour-match warning, once for a run of bitmaps of one path.
void warnInexact(GraphicsState& graphics, const std::string& path) {
  if (path == graphics.lastWarnedPath) return;
  std::fprintf(stderr, "\nWARNING: could not find exact color match\n");
  std::fprintf(stderr, "         brush: %s\n", path.c_str());
  graphics.lastWarnedPath = path;
}

// The colours of a palette sorted for exact look-ups: red, green and blue in
// the high 24 bits, the slot in the low 8, so that the first key of a colour
// names its lowest slot.
std::array<uint32_t, 256> sortedColours(const Palette& palette) {
  std::array<uint32_t, 256> keys;
  for (int i = 0; i < 256; ++i)
    keys[i] = uint32_t(palette[i].red) << 24 | uint32_t(palette[i].green) << 16 | uint32_t(palette[i].blue) << 8 |
              uint32_t(i);
  std::sort(keys.begin(), keys.end());
  return keys;
}

// The lowest slot holding exactly the colour (red, green and blue packed as
// 0xRRGGBB), or -1.
int exactSlot(const std::array<uint32_t, 256>& keys, uint32_t rgb) {
  auto it = std::lower_bound(keys.begin(), keys.end(), rgb << 8);
  return it != keys.end() && (*it >> 8) == rgb ? int(*it & 0xFF) : -1;
}

// Fills colour[] with the palette slot of each colour-table entry (256 for
// pure red). Bitmaps drawn with one palette share their colour table, so the
// map of the last table is kept and reused when the table and palette match.
void mapColours(GraphicsState& graphics, const Palette& palette, const uint8_t* table, int count,
                const std::string& path, int* colour) {
  ColourMapCache& cache = graphics.colourMapCache;
  const size_t bytes = 4 * size_t(count);
  if (cache.valid && cache.table.size() == bytes && std::memcmp(cache.table.data(), table, bytes) == 0 &&
      std::memcmp(cache.palette.data(), palette.data(), sizeof palette) == 0) {
    if (cache.inexact) warnInexact(graphics, path);
    std::copy(cache.map.begin(), cache.map.begin() + count, colour);
    return;
  }
  const std::array<uint32_t, 256> keys = sortedColours(palette);
  bool inexact = false;
  for (int i = 0; i < count; ++i) {
    uint32_t entry = readLE32(table + 4 * i);
    int slot = entry == kTransparentEntry ? kTransparent : exactSlot(keys, entry & 0xFFFFFF);
    if (slot < 0) {
      inexact = true;
      warnInexact(graphics, path);
      slot = matchPaletteColor(palette, (entry >> 16) & 0xFF, (entry >> 8) & 0xFF, entry & 0xFF);
    }
    colour[i] = slot;
  }
  cache.valid = true;
  cache.palette = palette;
  cache.table.assign(table, table + bytes);
  std::copy(colour, colour + count, cache.map.begin());
  cache.inexact = inexact;
}

}  // namespace

int matchBrushColor(GraphicsState& graphics, const Palette& palette, uint32_t colourEntry, const std::string& path) {
  if (colourEntry == kTransparentEntry) return kTransparent;  // pure red, reserved byte 0
  int blue = colourEntry & 0xFF, green = (colourEntry >> 8) & 0xFF, red = (colourEntry >> 16) & 0xFF;
  for (int i = 0; i < 256; ++i)
    if (palette[i].red == red && palette[i].green == green && palette[i].blue == blue) return i;
  warnInexact(graphics, path);
  return matchPaletteColor(palette, red, green, blue);
}

void convertBitmap(GraphicsState& graphics, const std::string& path, Database& db, int compressFlag, const char* code,
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
  if (depth == 8) {
    mapColours(graphics, *palette, img.colourTable, img.colourCount, path, colour);
    encode8(graphics, path, img, colour, db, compressFlag, code, totals);
    return;
  }

  // Depth 2 or 4 from here on.
  for (int i = 0; i < img.colourCount; ++i) {
    const uint8_t* e = img.colourTable + 4 * i;
    if (isNear(e[2], e[1]) && isNear(e[1], e[0])) {
      int blue = e[0];
      colour[i] = grayLevel(blue, depth);
    } else {
      colour[i] = kNotGray;
    }
  }

  bool masked = false;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      int c = colour[img.index(x, y)];
      if (c == kNotGray) masked = true;
    }

  const size_t M = masked ? maskPlaneBytes(W, H) : 0;
  const size_t P = pixelPlaneBytes(W, H, depth);
  std::vector<uint8_t> record = newRecord(4 + M + P);
  record[kBitmapWidthAt] = uint8_t(W);
  record[kBitmapHeightAt] = uint8_t(H);
  record[kBitmapDepthAt] = uint8_t(depth);
  record[kBitmapFlagsAt] = masked ? kBitmapMasked : 0;

  size_t maskAt = 4, pixelAt = 4 + M;
  const int perByte = 8 / depth;
  int maskCount = 0, pixelCount = 0;
  uint8_t maskBits = 0, pixelBits = 0;
  for (int y = 0; y < H; ++y) {
    if (maskCount != 0) {
      std::fprintf(stderr, "ERROR: maskCnt not zero on new row [%d] %s\n", maskCount, path.c_str());
      kit::fail(1);
    }
    for (int x = 0; x < W; ++x) {
      int c = colour[img.index(x, y)];
      bool opaque = c >= 0;
      if (opaque) {
        pixelBits |= uint8_t(c << pixelShift(x, depth));
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
      if (masked) {
        // At depth 2 and 4 a set bit hides the pixel (at depth 8 it draws it).
        if (!opaque) maskBits |= maskBit(x);
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

  addBitmapRecord(db, code, record, masked, compressFlag, totals);
}

}  // namespace kiln
