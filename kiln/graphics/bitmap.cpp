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
#include "kiln/graphics/colour.h"
#include "kiln/graphics/image.h"
#include "kiln/graphics/image_file.h"
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
  const size_t planes = recordSize - 4;
  totals.totalUncompressedSize += long(recordSize);
  if (compressFlag != 0 && !masked) {
    ByteBuffer source, target;
    bufferInit(source, record.data() + 4, planes);
    bufferInit(target, nullptr, 0);
    compressRLE(source, target);
    if (target.length + 32 < planes) {
      std::memcpy(record.data() + 4, target.data, target.length);
      record[3] |= 2;
      recordSize = 4 + target.length;
    }
    bufferFree(target);
  }
  addPDBEntry(db, code, record.data(), recordSize);
  totals.totalStoredSize += long(recordSize);
}

// Depth 8: each pixel is the palette slot of its colour, pure red transparent
// (its byte 0 and its mask bit clear). One pass counts the pixels of each
// colour and draws the planes behind room for a mask; the counts tell whether
// the image is masked (or uses an index past its colour table). An unmasked
// image then moves its planes down over that room, a masked one fills it.
// Index is the picture's pixel type: a byte into a colour table, or a
// number into its distinct colours.
template <class Index>
void encode8(GraphicsState& graphics, const std::string& path, const Picture& img, const Index* px,
             const std::vector<int>& colour, Database& db, int compressFlag, const char* code, BitmapTotals& totals) {
  const int W = img.width, H = img.height;
  const size_t n = size_t(W) * H;  // a multiple of 4: W is
  const size_t maskRow = size_t(W + 7) / 8;
  // A transparent pixel's byte is 0 (so builds are reproducible), as is that
  // of an index past the table, which is refused below.
  std::vector<uint8_t> slot(colour.size()), drawn(colour.size());
  for (size_t i = 0; i < colour.size(); ++i) {
    slot[i] = colour[i] >= 0 && colour[i] < 256 ? uint8_t(colour[i]) : 0;
    drawn[i] = colour[i] != kTransparent;
  }
  std::vector<uint8_t> record = newRecord(4 + maskRow * H + n);
  uint8_t* const planes = record.data() + 4 + maskRow * H;

  std::vector<uint32_t> counts(colour.size());
  bool masked = false, offTable = false;
  if (graphics.countColours) {
    if constexpr (sizeof(Index) == 1) {
      // Four tallies, so that a run of one colour does not wait on its own count.
      uint32_t tally[4][256] = {};
      for (size_t i = 0; i < n; i += 4) {
        const uint8_t a = px[i], b = px[i + 1], c = px[i + 2], d = px[i + 3];
        ++tally[0][a];
        ++tally[1][b];
        ++tally[2][c];
        ++tally[3][d];
        planes[i] = slot[a];
        planes[i + 1] = slot[b];
        planes[i + 2] = slot[c];
        planes[i + 3] = slot[d];
      }
      for (int c = 0; c < 256; ++c) counts[c] = tally[0][c] + tally[1][c] + tally[2][c] + tally[3][c];
    } else {
      for (size_t i = 0; i < n; ++i) {
        ++counts[px[i]];
        planes[i] = slot[px[i]];
      }
    }
    for (size_t i = 0; i < counts.size(); ++i)
      if (counts[i]) {
        masked |= colour[i] == kTransparent;
        offTable |= colour[i] == kOffTable;
      }
  } else {
    // Without a histogram only whether a transparent or an unknown colour
    // occurs matters: each colour's slot carries those two as bits above it,
    // gathered by OR, which no pixel waits for as it would for a count.
    constexpr uint32_t kTransparentBit = 0x100, kOffTableBit = 0x200;
    std::vector<uint32_t> mapped(colour.size());
    for (size_t i = 0; i < colour.size(); ++i)
      mapped[i] = slot[i] | (colour[i] == kTransparent ? kTransparentBit : 0) | (colour[i] == kOffTable ? kOffTableBit : 0);
    uint32_t seen = 0;
    for (size_t i = 0; i < n; i += 4) {  // n is a multiple of 4
      const uint32_t a = mapped[px[i]], b = mapped[px[i + 1]], c = mapped[px[i + 2]], d = mapped[px[i + 3]];
      seen |= a | b | c | d;
      planes[i] = uint8_t(a);
      planes[i + 1] = uint8_t(b);
      planes[i + 2] = uint8_t(c);
      planes[i + 3] = uint8_t(d);
    }
    masked = seen & kTransparentBit;
    offTable = seen & kOffTableBit;
  }
  if (offTable)
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (colour[img.at(x, y)] == kOffTable) {
          std::fprintf(stderr, "ERROR: pixel %d,%d of %s uses colour %d; the colour table has only %d\n", x, y,
                       path.c_str(), int(img.at(x, y)), int(img.colours.size()));
          kit::fail(1);
        }

  record[0] = uint8_t(W);
  record[1] = uint8_t(H);
  record[2] = 8;
  record[3] = masked ? 1 : 0;
  if (masked) {
    // A set mask bit draws the pixel; the bits past the width stay clear.
    for (int y = 0; y < H; ++y) {
      uint8_t* mask = record.data() + 4 + size_t(y) * maskRow;
      const Index* row = px + size_t(y) * W;
      for (int x = 0; x < W; x += 4)
        mask[x >> 3] |= uint8_t((drawn[row[x]] << 3 | drawn[row[x + 1]] << 2 | drawn[row[x + 2]] << 1 |
                                 drawn[row[x + 3]])
                                << (4 - (x & 4)));
    }
  } else {
    std::memmove(record.data() + 4, planes, n);
    record.resize(4 + n);
  }
  if (graphics.countColours)
    for (size_t i = 0; i < counts.size(); ++i)
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

// The cached map is that of these entries with this palette.
bool mapsEntries(const ColourMapCache& cache, const Palette& palette, const std::vector<uint32_t>& entries) {
  return cache.valid && cache.entries == entries &&
         std::memcmp(cache.palette.data(), palette.data(), sizeof palette) == 0;
}

// True when every entry is pure red or a colour of the palette, so that
// mapping them prints no warning. The map of the last entries answers for
// entries seen before.
bool allExact(const GraphicsState& graphics, const Palette& palette, const std::vector<uint32_t>& entries) {
  const ColourMapCache& cache = graphics.colourMapCache;
  if (mapsEntries(cache, palette, entries)) return !cache.inexact;
  const std::array<uint32_t, 256> keys = sortedColours(palette);
  for (uint32_t entry : entries)
    if (entry != kTransparentEntry && exactSlot(keys, entry & 0xFFFFFF) < 0) return false;
  return true;
}

// Fills colour[] with the palette slot of each colour entry (256 for pure
// red). Bitmaps drawn with one palette share their colours, so the map of the
// last entries is kept and reused when the entries and palette match.
void mapColours(GraphicsState& graphics, const Palette& palette, const std::vector<uint32_t>& entries,
                const std::string& path, std::vector<int>& colour) {
  ColourMapCache& cache = graphics.colourMapCache;
  if (mapsEntries(cache, palette, entries)) {
    if (cache.inexact) warnInexact(graphics, path);
    std::copy(cache.map.begin(), cache.map.end(), colour.begin());
    return;
  }
  const std::array<uint32_t, 256> keys = sortedColours(palette);
  bool inexact = false;
  for (size_t i = 0; i < entries.size(); ++i) {
    uint32_t entry = entries[i];
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
  cache.entries = entries;
  cache.map.assign(colour.begin(), colour.begin() + long(entries.size()));
  cache.inexact = inexact;
}

// The colours of a picture as colour-table entries (reserved byte, red,
// green, blue): a table's own entries as they are; a decoded colour that is
// fully transparent becomes pure red, the transparent colour, and an opaque
// one its red, green and blue. A partly transparent pixel cannot be drawn as
// it is, so it is refused rather than rounded.
std::vector<uint32_t> colourEntries(const Picture& img, const std::string& path) {
  if (img.colourTable) return img.colours;
  std::vector<uint32_t> entries(img.colours.size());
  bool partial = false;
  for (size_t i = 0; i < entries.size(); ++i) {
    const uint32_t alpha = img.colours[i] >> 24;
    entries[i] = alpha == 0 ? 0x00FF0000 : img.colours[i] & 0xFFFFFF;
    partial |= alpha != 0 && alpha != 255;
  }
  if (partial)
    for (int y = 0; y < img.height; ++y)
      for (int x = 0; x < img.width; ++x) {
        const uint32_t alpha = img.colours[img.at(x, y)] >> 24;
        if (alpha == 0 || alpha == 255) continue;
        std::fprintf(stderr,
                     "ERROR: pixel %d,%d of %s is partly transparent (alpha %u); a pixel is either drawn or "
                     "transparent\n",
                     x, y, path.c_str(), unsigned(alpha));
        kit::fail(1);
      }
  return entries;
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
  convertBitmap(graphics, path, readImageFile(path), db, compressFlag, code, depth, palette, totals);
}

void convertBitmap(GraphicsState& graphics, const std::string& path, std::vector<uint8_t> file, Database& db,
                   int compressFlag, const char* code, int depth, const Palette* palette, BitmapTotals& totals) {
  ImageHeader header;
  const std::string headerFaultText = readImageHeader(file, header);
  if (header.kind == ImageKind::other) {
    std::fprintf(stderr, "ERROR: input file is not a .bmp format\n");
    kit::fail(1);
  }
  if (!headerFaultText.empty()) headerFault(path, "%s", headerFaultText.c_str());
  // The record's limits: a width of whole 4-pixel groups, and one byte each
  // for width and height.
  if (header.width % 4 != 0)
    headerFault(path, "ERROR: only supports a multiple of 4 wide found %ld\n", long(header.width));
  if (header.width <= 0 || header.width > 255 || header.height == 0 || header.height > 255)
    headerFault(path, "ERROR: bitmap of %ld x %lld pixels; width and height must be 1 to 255\n", long(header.width),
                header.height);
  Picture img;
  const std::string decodeFault = decodeImage(file, header, img, /*everySlot=*/true);
  if (!decodeFault.empty()) headerFault(path, "%s", decodeFault.c_str());
  file = {};
  std::vector<uint32_t> entries = colourEntries(img, path);
  const int W = img.width, H = img.height;

  // Each colour is looked at once: as a palette slot at depth 8, as a gray
  // level (or transparent) at depth 2 and 4. Indices past a colour table
  // stay off the table.
  std::vector<int> colour(std::max<size_t>(256, entries.size()), kOffTable);
  if (depth == 8) {
    // A whole colour table is matched whole when every colour in it is in the
    // palette (a table shared by many pictures is then matched once); else
    // only the slots drawn are, so that no colour a pixel lacks is warned about.
    if (img.everySlot && !allExact(graphics, *palette, entries)) {
      keepUsedSlots(img);
      entries = colourEntries(img, path);
    }
    mapColours(graphics, *palette, entries, path, colour);
    if (!img.indices.empty())
      encode8(graphics, path, img, img.indices.data(), colour, db, compressFlag, code, totals);
    else
      encode8(graphics, path, img, img.pixels.data(), colour, db, compressFlag, code, totals);
    return;
  }

  // Depth 2 or 4 from here on.
  for (size_t i = 0; i < entries.size(); ++i) {
    const int red = (entries[i] >> 16) & 0xFF, green = (entries[i] >> 8) & 0xFF, blue = entries[i] & 0xFF;
    if (isNear(red, green) && isNear(green, blue))
      colour[i] = depth == 2 ? (blue > 240 ? 0 : blue > 140 ? 1 : blue > 40 ? 2 : 3) : 15 - blue / 16;
    else
      colour[i] = kNotGray;
  }

  bool masked = false;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      int c = colour[img.at(x, y)];
      if (c == kNotGray) masked = true;
    }

  const size_t maskRow = size_t(W + 7) / 8;
  const size_t M = masked ? maskRow * H : 0;
  const size_t P = size_t(W) * depth / 8 * H;
  std::vector<uint8_t> record = newRecord(4 + M + P);
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
      std::fprintf(stderr, "ERROR: maskCnt not zero on new row [%d] %s\n", maskCount, path.c_str());
      kit::fail(1);
    }
    for (int x = 0; x < W; ++x) {
      int c = colour[img.at(x, y)];
      bool opaque = c >= 0;
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
      if (masked) {
        // At depth 2 and 4 a set bit hides the pixel (at depth 8 it draws it).
        if (!opaque) maskBits |= uint8_t(0x80 >> maskCount);
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
