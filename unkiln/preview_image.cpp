#include "unkiln/preview_image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "kiln/graphics/font.h"
#include "unkiln/preview_deflate.h"

// stb's writer is compiled here, for this file alone, with the run coder as
// its compressor (stb frees the stream with free()).
namespace {
unsigned char* compressForStb(unsigned char* data, int length, int* outLength, int /*quality*/) {
  std::vector<uint8_t> stream = unkiln::deflateFast(data, size_t(length));
  auto* copy = static_cast<unsigned char*>(std::malloc(stream.size()));
  if (!copy) return nullptr;
  std::memcpy(copy, stream.data(), stream.size());
  *outLength = int(stream.size());
  return copy;
}
unsigned int crcForStb(unsigned char* data, int length) { return unkiln::crc32(data, size_t(length)); }
}  // namespace
#define STBIW_ZLIB_COMPRESS compressForStb
#define STBIW_CRC32 crcForStb
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace unkiln {

using kiln::DecodedBitmap;
using kiln::Palette;
using kiln::ShadeTable;

namespace {

void put(uint8_t* p, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  p[0] = r;
  p[1] = g;
  p[2] = b;
  p[3] = a;
}

void putSlot(uint8_t* p, const Palette& palette, int slot) {
  const kiln::PaletteEntry& e = palette[size_t(slot)];
  put(p, e.red, e.green, e.blue);
}

// Copies image into sheet with its top left corner at x, y.
void blit(Rgba& sheet, const Rgba& image, int x, int y) {
  for (int row = 0; row < image.height; ++row)
    std::memcpy(sheet.at(x, y + row), image.at(0, row), size_t(image.width) * 4);
}

}  // namespace

uint8_t grayShade(int level, int depth) {
  const int most = (1 << depth) - 1;
  return uint8_t(255 - (level * 255 + most / 2) / most);
}

Rgba drawBitmap(const DecodedBitmap& bitmap, const Palette* palette, const ShadeTable* shade) {
  Rgba image(bitmap.width, bitmap.height);
  uint8_t grays[16];
  if (bitmap.depth != 8)
    for (int level = 0; level < 16; ++level)
      grays[level] = grayShade(std::min(level, (1 << bitmap.depth) - 1), bitmap.depth);
  const size_t n = size_t(bitmap.width) * size_t(bitmap.height);
  for (size_t i = 0; i < n; ++i) {
    uint8_t* p = image.pixels.data() + 4 * i;
    if (!bitmap.opaque[i]) continue;  // stays 0, 0, 0, 0
    const uint8_t v = bitmap.values[i];
    if (bitmap.depth == 8)
      putSlot(p, *palette, shade ? (*shade)[v] : v);
    else
      put(p, grays[v & 15], grays[v & 15], grays[v & 15]);
  }
  return image;
}

Rgba paletteSwatch(const Palette& palette) {
  Rgba image(16, 16);
  for (int s = 0; s < 256; ++s) putSlot(image.at(s % 16, s / 16), palette, s);
  return image;
}

Rgba shadeSwatch(const Palette& palette, const std::array<ShadeTable, 5>& shades) {
  Rgba image(256, 5);
  for (int s = 0; s < 5; ++s)
    for (int i = 0; i < 256; ++i) putSlot(image.at(i, s), palette, shades[size_t(s)][size_t(i)]);
  return image;
}

Rgba fontSheet(const std::vector<uint32_t>& words) {
  // A first plane and the second plane after it are one glyph.
  std::vector<std::pair<uint32_t, uint32_t>> glyphs;
  for (size_t i = 0; i < words.size(); ++i) {
    const bool two = (words[i] & kiln::kGlyphMarks) == kiln::kGlyphFirstOfTwo && i + 1 < words.size() &&
                     (words[i + 1] & kiln::kGlyphMarks) == kiln::kGlyphSecondPlane;
    glyphs.emplace_back(words[i], two ? words[i + 1] : 0);
    if (two) ++i;
  }
  constexpr int kPerRow = 16, kCellW = kiln::kGlyphColumns + 2, kCellH = kiln::kGlyphRows + 2;
  const int rows = std::max<int>(1, int((glyphs.size() + kPerRow - 1) / kPerRow));
  Rgba sheet(kPerRow * kCellW, rows * kCellH);
  for (size_t i = 0; i < sheet.pixels.size(); i += 4) put(sheet.pixels.data() + i, 255, 255, 255);
  for (size_t g = 0; g < glyphs.size(); ++g) {
    const int left = int(g % kPerRow) * kCellW + 1, top = int(g / kPerRow) * kCellH + 1;
    for (int r = 1; r <= kiln::kGlyphRows; ++r)
      for (int c = 0; c < kiln::kGlyphColumns; ++c) {
        const uint32_t bit = kiln::glyphBit(r, c);
        uint8_t* p = sheet.at(left + c, top + r - 1);
        if (glyphs[g].first & bit)
          put(p, 0, 0, 0);
        else if (glyphs[g].second & bit)
          put(p, 170, 170, 170);
      }
  }
  return sheet;
}

Size sheetLayout(const std::vector<Size>& sizes, int maxWidth, std::vector<Placement>& placements) {
  placements.clear();
  int widest = 0;
  for (const Size& s : sizes) widest = std::max(widest, s.width);
  const int limit = std::max(maxWidth, widest);
  int x = 0, y = 0, rowHeight = 0, width = 0;
  for (const Size& s : sizes) {
    if (x > 0 && x + s.width > limit) {
      x = 0;
      y += rowHeight + kGap;
      rowHeight = 0;
    }
    placements.push_back({x, y});
    width = std::max(width, x + s.width);
    rowHeight = std::max(rowHeight, s.height);
    x += s.width + kGap;
  }
  return {std::max(width, 1), std::max(y + rowHeight, 1)};
}

Rgba contactSheet(const std::vector<const Rgba*>& pictures, int maxWidth, std::vector<Placement>& placements) {
  std::vector<Size> sizes;
  for (const Rgba* p : pictures) sizes.push_back({p->width, p->height});
  const Size size = sheetLayout(sizes, maxWidth, placements);
  Rgba sheet(size.width, size.height);
  for (size_t i = 0; i < pictures.size(); ++i) blit(sheet, *pictures[i], placements[i].x, placements[i].y);
  return sheet;
}

Rgba enlarged(const Rgba& image, int n) {
  if (n <= 1) return image;
  Rgba big(image.width * n, image.height * n);
  for (int y = 0; y < image.height; ++y) {
    uint8_t* row = big.at(0, y * n);
    for (int x = 0; x < image.width; ++x)
      for (int k = 0; k < n; ++k) std::memcpy(row + (size_t(x) * n + k) * 4, image.at(x, y), 4);
    for (int k = 1; k < n; ++k) std::memcpy(big.at(0, y * n + k), row, size_t(big.width) * 4);
  }
  return big;
}

namespace {
void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

// Rows unfiltered: the run coder finds a flat area's repeats as they are, and
// stb need not try every filter on every row. stb keeps this in a global, set
// here once, before any thread encodes.
const bool kRowsUnfiltered = (stbi_write_force_png_filter = 0, true);
}  // namespace

std::vector<uint8_t> encodePng(const Rgba& image) {
  std::vector<uint8_t> out;
  stbi_write_png_to_func(appendBytes, &out, image.width, image.height, 4, image.pixels.data(), image.width * 4);
  return out;
}

}  // namespace unkiln
