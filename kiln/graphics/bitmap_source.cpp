// The picture behind a bitmap record: an 8-bit BMP that the converter turns
// back into the same bytes.

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "kiln/graphics/bitmap_decode.h"
#include "kiln/graphics/bitmap_format.h"
#include "kiln/graphics/bmp_write.h"
#include "kiln/graphics/rle.h"

namespace kiln {

namespace {

uint32_t entryOf(int red, int green, int blue, int reserved = 0) {
  return uint32_t(reserved) << 24 | uint32_t(red) << 16 | uint32_t(green) << 8 | uint32_t(blue);
}

// The gray drawn for level L of largest level M: 255 - L * 255 / M, rounded.
// It is also a colour the converter reads back as level L.
int grayOf(int level, int depth) {
  const int most = (1 << depth) - 1;
  return 255 - (level * 255 + most / 2) / most;
}

// Colour table and pixel indices for 2 and 4 bits: one gray per level, then
// pure red (not a gray) for the transparent pixels.
bool grayTable(const DecodedBitmap& b, std::vector<uint32_t>& colours, std::vector<uint8_t>& indices,
               std::string& why) {
  const int levels = 1 << b.depth;
  for (int level = 0; level < levels; ++level) {
    int g = grayOf(level, b.depth);
    if (grayLevel(g, b.depth) != level) {
      why = "no gray gives level " + std::to_string(level);  // cannot happen with the levels above
      return false;
    }
    colours.push_back(entryOf(g, g, g));
  }
  const uint8_t transparent = uint8_t(levels);
  colours.push_back(kTransparentEntry);
  indices.resize(b.values.size());
  for (size_t i = 0; i < b.values.size(); ++i) indices[i] = b.opaque[i] ? b.values[i] : transparent;
  return true;
}

// Each slot's colour table entry, and the lowest slot of the same colour.
struct SlotTable {
  Palette palette{};
  std::array<uint32_t, 256> bySlot{};
  std::array<int, 256> lowest{};
  // Every slot its own colour, none pure red: which slots a picture draws
  // changes nothing, so an unmasked picture's pixels need not be looked at.
  bool plain = false;
};

// Worked out once per palette (per thread, as pictures are made on several):
// every 8-bit bitmap of an adventure is drawn in the same one.
const SlotTable& slotTable(const Palette& palette) {
  thread_local SlotTable t;
  thread_local bool made = false;
  if (made && std::memcmp(&t.palette, &palette, sizeof palette) == 0) return t;
  t.palette = palette;
  for (int s = 0; s < 256; ++s) t.bySlot[s] = entryOf(palette[s].red, palette[s].green, palette[s].blue);
  // Sorted by colour, then slot.
  std::array<uint64_t, 256> sorted;
  for (int s = 0; s < 256; ++s) sorted[s] = uint64_t(t.bySlot[s]) << 8 | uint64_t(s);
  std::sort(sorted.begin(), sorted.end());
  for (int k = 0; k < 256; ++k) {
    const int s = int(sorted[k] & 0xFF);
    t.lowest[s] = k > 0 && (sorted[k - 1] >> 8) == (sorted[k] >> 8) ? t.lowest[int(sorted[k - 1] & 0xFF)] : s;
  }
  t.plain = true;
  for (int s = 0; s < 256; ++s) t.plain = t.plain && t.lowest[s] == s && t.bySlot[s] != kTransparentEntry;
  made = true;
  return t;
}

// Colour table and pixel indices for 8 bits: the palette in slot order, so the
// picture opens in an editor with the adventure's colours. The converter
// matches a colour to its lowest slot, so a slot whose colour sits at a lower
// slot too cannot be reached; pure red draws nothing unless its reserved byte
// is set; the transparent pixels take an unused slot's entry.
bool paletteTable(const DecodedBitmap& b, const Palette& palette, std::vector<uint32_t>& colours,
                  std::vector<uint8_t>& indices, std::string& why) {
  const SlotTable& slots = slotTable(palette);
  if (!b.masked && slots.plain) {
    colours.assign(slots.bySlot.begin(), slots.bySlot.end());
    indices = b.values;
    return true;
  }
  std::array<bool, 256> used{};
  bool anyTransparent = false;
  if (!b.masked) {
    // Every pixel is drawn: no per-pixel test (most bitmaps are unmasked).
    for (uint8_t v : b.values) used[v] = true;
  } else {
    for (size_t i = 0; i < b.values.size(); ++i) {
      if (b.opaque[i])
        used[b.values[i]] = true;
      else
        anyTransparent = true;
    }
  }
  const std::array<uint32_t, 256>& bySlot = slots.bySlot;
  const std::array<int, 256>& lowest = slots.lowest;
  char text[200];
  for (int s = 0; s < 256; ++s) {
    const PaletteEntry& p = palette[s];
    colours.push_back(bySlot[s]);
    if (!used[s]) continue;
    if (const int t = lowest[s]; t != s) {
      std::snprintf(text, sizeof text, "slot %d has the colour of slot %d (%d, %d, %d), so no picture gives slot %d",
                    s, t, p.red, p.green, p.blue, s);
      why = text;
      return false;
    }
    if (colours.back() == kTransparentEntry) colours.back() = entryOf(p.red, p.green, p.blue, 1);
  }
  int transparent = -1;
  if (anyTransparent) {
    for (int s = 255; s >= 0 && transparent < 0; --s)
      if (!used[s]) transparent = s;
    if (transparent < 0) {
      why = "all 256 slots are drawn and some pixels are transparent; an 8-bit picture has 256 colours";
      return false;
    }
    colours[transparent] = kTransparentEntry;
  }
  if (!anyTransparent) {
    indices = b.values;
    return true;
  }
  indices.resize(b.values.size());
  for (size_t i = 0; i < b.values.size(); ++i) indices[i] = b.opaque[i] ? b.values[i] : uint8_t(transparent);
  return true;
}

// The pixel plane of an unmasked picture.
std::vector<uint8_t> pixelPlane(const DecodedBitmap& b) {
  if (b.depth == 8) return b.values;  // one byte a pixel, rows end to end
  std::vector<uint8_t> plane(pixelPlaneBytes(b.width, b.height, b.depth), 0);
  const size_t rowBytes = pixelRowBytes(b.width, b.depth);
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x) {
      uint8_t v = b.values[size_t(y) * b.width + x];
      if (b.depth == 8)
        plane[rowBytes * y + x] = v;
      else
        plane[rowBytes * y + x * b.depth / 8] |= uint8_t(v << pixelShift(x, b.depth));
    }
  return plane;
}

}  // namespace

bool bitmapSource(const DecodedBitmap& bitmap, const Palette* palette, std::vector<uint8_t>& file, int& compressFlag,
                  std::string& why) {
  if (!bitmap.irregular.empty()) {
    why = bitmap.irregular;
    return false;
  }
  std::vector<uint32_t> colours;
  std::vector<uint8_t> indices;
  if (bitmap.depth == 8) {
    if (!palette) {
      why = "an 8-bit bitmap needs a palette, and the databases hold none";
      return false;
    }
    if (!paletteTable(bitmap, *palette, colours, indices, why)) return false;
  } else if (!grayTable(bitmap, colours, indices, why)) {
    return false;
  }

  // Compression is the converter's choice unless the list forbids it: forbid
  // it where the record holds planes that would have compressed.
  compressFlag = 1;
  if (!bitmap.compressed && !bitmap.masked) {
    std::vector<uint8_t> plane = pixelPlane(bitmap);
    ByteBuffer source, target;
    bufferInit(source, plane.data(), plane.size());
    bufferInit(target, nullptr, 0);
    compressRLE(source, target);
    if (compressionPays(target.length, plane.size())) compressFlag = 0;
  }
  file = makeBmp8(bitmap.width, bitmap.height, colours, indices);
  return true;
}

}  // namespace kiln
