#include "kiln/graphics/palette.h"

#include <cstdio>

#include "common/exit.h"
#include "kiln/graphics/image_file.h"
#include "kiln/graphics/colour.h"

namespace kiln {

namespace {

constexpr int kCubeSteps[6] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};
constexpr int kGrays[10] = {0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE};
constexpr int kExtras[5][3] = {
    {0xC0, 0xC0, 0xC0}, {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00}};

// Darkening steps between P1 and P4; they add up to 48, 96, 136 and 176.
constexpr int kShadeSteps[4] = {0x30, 0x30, 0x28, 0x28};

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kBiRgb = 0, kBiRle8 = 1;

[[noreturn]] void refuse(const char* message) {
  std::fputs(message, stderr);
  kit::fail(1);
}

// Where the colour table lies: it follows the information header whatever
// that header's version; the OS/2 core header has 3-byte colours.
struct ColourTable {
  size_t offset = 0;
  size_t entrySize = 4;
};

// Checks what the palette needs of a BMP and finds its colour table. Its
// faults do not name the file: the caller says where, once.
ColourTable findColourTable(const std::vector<uint8_t>& bmp) {
  const uint8_t* b = bmp.data();
  size_t size = bmp.size();
  if (size < 6 || b[0] != 'B' || b[1] != 'M') refuse("ERROR: input file is not a .bmp format\n");
  uint32_t sizeField = readLE32(b + 2);
  if (sizeField != size) {
    std::fprintf(stderr, "ERROR: file size %ld != %ld\n", long(sizeField), long(size));
    kit::fail(1);
  }
  if (size < kFileHeaderSize + 4) refuse("ERROR: .bmp file too short for its information header\n");
  uint64_t infoSize = readLE32(b + 14);
  if (infoSize != 12 && infoSize < 40) {
    std::fprintf(stderr, "ERROR: only .bmp files with an information header of 40 bytes or more supported.  Found %lu\n",
                 (unsigned long)infoSize);
    kit::fail(1);
  }
  if (kFileHeaderSize + infoSize > size) refuse("ERROR: .bmp file too short for its information header\n");

  // The OS/2 header has no compression or colour count: 8 bits means 256 colours.
  const bool os2 = infoSize == 12;
  int bitsPerPixel = readLE16(b + (os2 ? 24 : 28));
  uint32_t coloursUsed = os2 ? 0 : readLE32(b + 46);
  if (bitsPerPixel != 8 || (coloursUsed != 256 && coloursUsed != 0)) {
    std::fprintf(stderr, "ERROR: only 8 bit .bmp file with 256 colors.  Found %d: %ld\n", bitsPerPixel,
                 long(coloursUsed));
    kit::fail(1);
  }
  // Only the colour table is used, so run-length pixels do no harm; other
  // methods (bit fields, JPEG, PNG) do not belong with 8 bits and would put
  // something else where the colours are expected.
  uint32_t compression = os2 ? kBiRgb : readLE32(b + 30);
  if (compression != kBiRgb && compression != kBiRle8) {
    std::fprintf(stderr, "ERROR: only uncompressed or RLE8 .bmp files supported.  Found compression %lu\n",
                 (unsigned long)compression);
    kit::fail(1);
  }
  ColourTable table{size_t(kFileHeaderSize + infoSize), os2 ? 3u : 4u};
  uint64_t tableEnd = table.offset + 256 * table.entrySize;
  if (tableEnd > size) refuse("ERROR: .bmp colour table runs past the end of the file\n");
  if (readLE32(b + 10) < tableEnd) refuse("ERROR: .bmp colour table overlaps the pixel data\n");
  return table;
}

int darken(int component, int by) { return component > by ? component - by : 0; }

}  // namespace

bool takeNearestUnused(int& count, std::array<bool, 256>& used, const Palette& source, Palette& target,
                       int red, int green, int blue) {
  int found = -1;
  for (int i = 0; i < 256 && found < 0; ++i)
    if (!used[i] && source[i].red == red && source[i].green == green && source[i].blue == blue) found = i;
  if (found < 0) {
    long bound = 1000000000L;
    for (int i = 0; i < 256; ++i) {
      if (used[i]) continue;
      long dr = source[i].red - red, dg = source[i].green - green, db = source[i].blue - blue;
      long d = dr * dr + dg * dg + db * db;
      if (d < bound) {
        bound = d;
        found = i;
      }
    }
  }
  if (found < 0 || count < 0 || count > 255) return false;
  used[found] = true;
  target[count++] = source[found];
  return true;
}

void orderPalette(Palette& palette) {
  Palette target{};
  std::array<bool, 256> used{};
  int count = 255;
  if (!takeNearestUnused(count, used, palette, target, 0, 0, 0))
    std::fputs("ERROR: Couldn't find a match for black\n", stderr);

  auto pick = [&](int red, int green, int blue) {
    if (!takeNearestUnused(count, used, palette, target, red, green, blue))
      std::fprintf(stderr, "ERROR: Couldn't find palette color match %08lx\n",
                   (unsigned long)(uint32_t(blue) << 24 | uint32_t(green) << 16 | uint32_t(red) << 8));
  };
  count = 0;
  for (int blue : kCubeSteps)
    for (int red : kCubeSteps)
      for (int green : kCubeSteps)
        if (red || green || blue) pick(red, green, blue);
  for (int v : kGrays) pick(v, v, v);
  for (const auto& c : kExtras) takeNearestUnused(count, used, palette, target, c[0], c[1], c[2]);
  for (int i = 0; i < 256 && count < 255; ++i)
    if (!used[i]) {
      used[i] = true;
      target[count++] = palette[i];
    }
  palette = target;
}

std::array<ShadeTable, 5> buildShadeTables(const Palette& palette) {
  std::array<ShadeTable, 5> shades{};
  for (int i = 0; i < 256; ++i) {
    shades[0][i] = uint8_t(i);
    int red = palette[i].red, green = palette[i].green, blue = palette[i].blue;
    for (int step = 0; step < 4; ++step) {
      red = darken(red, kShadeSteps[step]);
      green = darken(green, kShadeSteps[step]);
      blue = darken(blue, kShadeSteps[step]);
      shades[step + 1][i] = uint8_t(matchPaletteColor(palette, red, green, blue));
    }
  }
  return shades;
}

const Palette& compilePalette(GraphicsState& graphics, FILE*& listing, const std::string& path, const char* code,
                              Database& db) {
  std::vector<uint8_t> bmp = readImageFile(path);
  const ColourTable table = findColourTable(bmp);

  // The listing shows the file's own order, before rearranging.
  Palette palette{};
  for (int i = 0; i < 256; ++i) {
    const uint8_t* e = bmp.data() + table.offset + table.entrySize * i;  // blue, green, red, reserved
    const uint8_t reserved = table.entrySize == 4 ? e[3] : 0;
    if (listing) std::fprintf(listing, "%i) (%d, %d, %d, %d)\n", i, e[0], e[1], e[2], reserved);
    palette[i] = PaletteEntry{reserved, e[2], e[1], e[0]};
  }
  orderPalette(palette);
  std::array<ShadeTable, 5> shades = buildShadeTables(palette);

  std::vector<uint8_t> record;
  record.reserve(kPaletteRecordSize);
  for (const PaletteEntry& p : palette) record.insert(record.end(), {p.reserved, p.red, p.green, p.blue});
  addPDBEntry(db, code, record);
  for (int s = 0; s < 5; ++s) addPDBEntry(db, kShadeCodes[s], shades[s].data(), shades[s].size());

  graphics.activePalette = palette;
  graphics.shadeTables = shades;
  // Only the first palette of a run is listed.
  if (listing) {
    std::fclose(listing);
    listing = nullptr;
  }
  return graphics.activePalette;
}

}  // namespace kiln
