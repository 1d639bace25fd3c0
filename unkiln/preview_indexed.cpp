// Pictures of at most 256 colours, drawn straight into colour indexes, and
// their palette PNG files.

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "unkiln/preview_deflate.h"
#include "unkiln/preview_image.h"

namespace unkiln {

using kiln::DecodedBitmap;
using kiln::Palette;
using kiln::ShadeTable;

namespace {

constexpr int kClear = 256;  // the key of a transparent pixel

uint32_t pack(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  return uint32_t(r) << 24 | uint32_t(g) << 16 | uint32_t(b) << 8 | a;
}

// Gives a picture's colours their indexes in order of first appearance. The
// drawing knows a pixel by a key (a palette slot, a gray level or kClear);
// each key's colour is looked up once, and keys of one colour share an index.
class Colours {
 public:
  explicit Colours(std::vector<uint32_t>& list) : list_(list) { std::fill(std::begin(byKey_), std::end(byKey_), -1); }

  // False when the colour would be the 257th.
  template <class ColourOf>
  bool index(int key, const ColourOf& colourOf, uint8_t& out) {
    const int i = byKey_[key];
    if (i < 0) return first(key, colourOf(key), out);
    out = uint8_t(i);
    return true;
  }

 private:
  bool first(int key, uint32_t colour, uint8_t& out) {
    const size_t i = size_t(std::find(list_.begin(), list_.end(), colour) - list_.begin());
    if (i == 256) return false;
    if (i == list_.size()) list_.push_back(colour);
    byKey_[key] = int16_t(i);
    out = uint8_t(i);
    return true;
  }

  std::vector<uint32_t>& list_;
  int16_t byKey_[kClear + 1];
};

// What drawBitmap() draws, as a key and its colour.
struct BitmapKeys {
  const DecodedBitmap& bitmap;
  const Palette* palette;
  uint32_t grays[16] = {};

  BitmapKeys(const DecodedBitmap& b, const Palette* p) : bitmap(b), palette(p) {
    if (b.depth != 8)
      for (int level = 0; level < 16; ++level) {
        const uint8_t g = grayShade(std::min(level, (1 << b.depth) - 1), b.depth);
        grays[level] = pack(g, g, g, 255);
      }
  }
  uint32_t operator()(int key) const {
    if (key == kClear) return 0;
    if (bitmap.depth != 8) return grays[key];
    const kiln::PaletteEntry& e = (*palette)[size_t(key)];
    return pack(e.red, e.green, e.blue, 255);
  }
  // The key of each value of an opaque pixel.
  struct Keys {
    uint8_t of[256];
  };
  Keys keys() const {
    Keys k;
    for (int v = 0; v < 256; ++v) k.of[v] = uint8_t(bitmap.depth != 8 ? v & 15 : v);
    return k;
  }
  // Row y of the bitmap into out; false past 256 colours.
  bool row(int y, const Keys& keys, Colours& colours, uint8_t* out) const {
    const size_t first = size_t(y) * size_t(bitmap.width);
    for (int x = 0; x < bitmap.width; ++x) {
      const size_t i = first + size_t(x);
      if (!colours.index(bitmap.opaque[i] ? keys.of[bitmap.values[i]] : kClear, *this, out[x])) return false;
    }
    return true;
  }
};

Picture fullPicture(Rgba image) {
  Picture p;
  p.full = true;
  p.rgba = std::move(image);
  return p;
}

Picture indexedPicture(Indexed image) {
  Picture p;
  p.indexed = std::move(image);
  return p;
}

// Renumbers the colours in order of first appearance, dropping unused ones.
void inOrderOfAppearance(Indexed& image) {
  int16_t renumbered[256];
  std::fill(std::begin(renumbered), std::end(renumbered), -1);
  std::vector<uint32_t> colours;
  for (uint8_t& p : image.pixels) {
    if (renumbered[p] < 0) {
      renumbered[p] = int16_t(colours.size());
      colours.push_back(image.colours[p]);
    }
    p = uint8_t(renumbered[p]);
  }
  image.colours = std::move(colours);
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
}

void chunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size) {
  put32(out, uint32_t(size));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data, data + size);
  put32(out, crc32(out.data() + start, size + 4));
}

}  // namespace

Picture drawPicture(const DecodedBitmap& bitmap, const Palette* palette) {
  Indexed image(bitmap.width, bitmap.height);
  Colours colours(image.colours);
  const BitmapKeys draw(bitmap, palette);
  const BitmapKeys::Keys keys = draw.keys();
  for (int y = 0; y < bitmap.height; ++y)
    if (!draw.row(y, keys, colours, image.pixels.data() + size_t(y) * size_t(bitmap.width)))
      return fullPicture(drawBitmap(bitmap, palette));
  return indexedPicture(std::move(image));
}

SheetVariants sheetVariants(const std::vector<const DecodedBitmap*>& bitmaps, const Palette& palette,
                            const std::vector<const ShadeTable*>& tables, int maxWidth) {
  SheetVariants out;
  std::vector<Size> sizes;
  for (const DecodedBitmap* b : bitmaps) sizes.push_back({b->width, b->height});
  const Size size = sheetLayout(sizes, maxWidth, out.placements);
  Indexed sheet(size.width, size.height);
  // Index of each key (a palette slot, or kClear); the background is index 0.
  int16_t indexOf[kClear + 1];
  std::fill(std::begin(indexOf), std::end(indexOf), -1);
  std::vector<int> keys{kClear};
  indexOf[kClear] = 0;
  bool fits = true;
  for (size_t i = 0; i < bitmaps.size() && fits; ++i) {
    const DecodedBitmap& b = *bitmaps[i];
    for (int y = 0; y < b.height && fits; ++y) {
      const size_t first = size_t(y) * size_t(b.width);
      uint8_t* to = sheet.pixels.data() + size_t(out.placements[i].y + y) * size_t(sheet.width) +
                    size_t(out.placements[i].x);
      for (int x = 0; x < b.width; ++x) {
        const int key = b.opaque[first + size_t(x)] ? b.values[first + size_t(x)] : kClear;
        int16_t index = indexOf[key];
        if (index < 0) {
          if (keys.size() == 256) {
            fits = false;
            break;
          }
          index = indexOf[key] = int16_t(keys.size());
          keys.push_back(key);
        }
        to[x] = uint8_t(index);
      }
    }
  }
  if (!fits) {
    for (const ShadeTable* table : tables) {
      std::vector<Rgba> drawn;
      for (const DecodedBitmap* b : bitmaps) drawn.push_back(drawBitmap(*b, &palette, table));
      std::vector<const Rgba*> each;
      for (const Rgba& image : drawn) each.push_back(&image);
      out.apart.push_back(pictureOf(contactSheet(each, maxWidth, out.placements)));
    }
    return out;
  }
  for (const ShadeTable* table : tables) {
    std::vector<uint32_t>& colours = out.colours.emplace_back();
    for (int key : keys) {
      if (key == kClear) {
        colours.push_back(0);
        continue;
      }
      const kiln::PaletteEntry& e = palette[table ? (*table)[size_t(key)] : size_t(key)];
      colours.push_back(pack(e.red, e.green, e.blue, 255));
    }
  }
  if (!out.colours.empty()) sheet.colours = out.colours.front();
  out.pixels = indexedPicture(std::move(sheet));
  return out;
}

Picture contactSheet(const std::vector<const Picture*>& pictures, int maxWidth, std::vector<Placement>& placements) {
  // Every picture's colours in one list of at most 256, the background first.
  std::vector<uint32_t> colours{0};
  std::unordered_map<uint32_t, uint8_t> where{{0, 0}};
  std::vector<std::vector<uint8_t>> maps;
  bool fits = true;
  for (const Picture* p : pictures) {
    fits = fits && !p->full;
    if (!fits) break;
    std::vector<uint8_t>& map = maps.emplace_back();
    for (uint32_t c : p->indexed.colours) {
      auto found = where.find(c);
      if (found == where.end()) {
        if (colours.size() == 256) {
          fits = false;
          break;
        }
        found = where.emplace(c, uint8_t(colours.size())).first;
        colours.push_back(c);
      }
      map.push_back(found->second);
    }
  }
  if (!fits) {
    std::vector<Rgba> images;
    for (const Picture* p : pictures) images.push_back(p->full ? p->rgba : expanded(p->indexed));
    std::vector<const Rgba*> each;
    for (const Rgba& image : images) each.push_back(&image);
    return fullPicture(contactSheet(each, maxWidth, placements));
  }
  std::vector<Size> sizes;
  for (const Picture* p : pictures) sizes.push_back({p->width(), p->height()});
  const Size size = sheetLayout(sizes, maxWidth, placements);
  Indexed sheet(size.width, size.height);
  sheet.colours = std::move(colours);
  for (size_t i = 0; i < pictures.size(); ++i) {
    const Indexed& image = pictures[i]->indexed;
    const std::vector<uint8_t>& map = maps[i];
    for (int y = 0; y < image.height; ++y) {
      const uint8_t* from = image.pixels.data() + size_t(y) * size_t(image.width);
      uint8_t* to = sheet.pixels.data() + size_t(placements[i].y + y) * size_t(sheet.width) + size_t(placements[i].x);
      for (int x = 0; x < image.width; ++x) to[x] = map[from[x]];
    }
  }
  inOrderOfAppearance(sheet);
  return indexedPicture(std::move(sheet));
}

Picture pictureOf(Rgba image) {
  Indexed out(image.width, image.height);
  std::unordered_map<uint32_t, uint8_t> where;
  const size_t n = out.pixels.size();
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* p = image.pixels.data() + 4 * i;
    const uint32_t c = pack(p[0], p[1], p[2], p[3]);
    auto found = where.find(c);
    if (found == where.end()) {
      if (out.colours.size() == 256) return fullPicture(std::move(image));
      found = where.emplace(c, uint8_t(out.colours.size())).first;
      out.colours.push_back(c);
    }
    out.pixels[i] = found->second;
  }
  return indexedPicture(std::move(out));
}

Rgba expanded(const Indexed& image) {
  Rgba out(image.width, image.height);
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    const uint32_t c = image.colours[image.pixels[i]];
    uint8_t* p = out.pixels.data() + 4 * i;
    p[0] = uint8_t(c >> 24);
    p[1] = uint8_t(c >> 16);
    p[2] = uint8_t(c >> 8);
    p[3] = uint8_t(c);
  }
  return out;
}

Indexed enlarged(const Indexed& small, int n) {
  Indexed big(small.width * n, small.height * n);
  big.colours = small.colours;  // enlarging keeps the order of first appearance
  for (int y = 0; y < small.height; ++y) {
    uint8_t* row = big.pixels.data() + size_t(y) * size_t(n) * size_t(big.width);
    for (int x = 0; x < small.width; ++x)
      std::memset(row + size_t(x) * size_t(n), small.pixels[size_t(y) * size_t(small.width) + size_t(x)], size_t(n));
    for (int k = 1; k < n; ++k) std::memcpy(row + size_t(k) * size_t(big.width), row, size_t(big.width));
  }
  return big;
}

Picture enlarged(const Picture& image, int n) {
  if (image.full) return fullPicture(enlarged(image.rgba, n));
  if (n <= 1) return image;
  return indexedPicture(enlarged(image.indexed, n));
}

std::vector<uint8_t> compressedRows(const Indexed& image) {
  // Rows unfiltered (filter byte 0), as the RGBA files.
  const size_t width = size_t(image.width);
  std::vector<uint8_t> rows((width + 1) * size_t(image.height));
  for (size_t y = 0; y < size_t(image.height); ++y)
    std::memcpy(rows.data() + y * (width + 1) + 1, image.pixels.data() + y * width, width);
  return deflateFast(rows.data(), rows.size());
}

std::vector<uint8_t> pngHead(const Indexed& image, const std::vector<uint32_t>& colourList) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> out(kSignature, kSignature + 8);
  std::vector<uint8_t> header;
  put32(header, uint32_t(image.width));
  put32(header, uint32_t(image.height));
  header.insert(header.end(), {8, 3, 0, 0, 0});  // 8 bits, palette, deflate, no filter choice, not interlaced
  chunk(out, "IHDR", header.data(), header.size());

  // A palette needs one colour at least.
  const std::vector<uint32_t> colours = colourList.empty() ? std::vector<uint32_t>{0} : colourList;
  std::vector<uint8_t> palette, alpha;
  size_t lastTranslucent = 0;  // tRNS may stop after the last colour that is not opaque
  for (uint32_t c : colours) {
    palette.insert(palette.end(), {uint8_t(c >> 24), uint8_t(c >> 16), uint8_t(c >> 8)});
    alpha.push_back(uint8_t(c));
    if (uint8_t(c) != 255) lastTranslucent = alpha.size();
  }
  chunk(out, "PLTE", palette.data(), palette.size());
  if (lastTranslucent) chunk(out, "tRNS", alpha.data(), lastTranslucent);
  return out;
}

std::vector<uint8_t> idatChunk(const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> out;
  out.reserve(rows.size() + 12);
  chunk(out, "IDAT", rows.data(), rows.size());
  return out;
}

const std::vector<uint8_t>& pngTail() {
  static const std::vector<uint8_t> tail = [] {
    std::vector<uint8_t> out;
    chunk(out, "IEND", nullptr, 0);
    return out;
  }();
  return tail;
}

std::vector<uint8_t> palettePng(const Indexed& image, const std::vector<uint32_t>& colours,
                                const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> out = pngHead(image, colours);
  const std::vector<uint8_t> idat = idatChunk(rows);
  out.insert(out.end(), idat.begin(), idat.end());
  out.insert(out.end(), pngTail().begin(), pngTail().end());
  return out;
}

std::vector<uint8_t> encodePng(const Indexed& image) { return palettePng(image, image.colours, compressedRows(image)); }

std::vector<uint8_t> encodePng(const Picture& image) {
  return image.full ? encodePng(image.rgba) : encodePng(image.indexed);
}

}  // namespace unkiln
