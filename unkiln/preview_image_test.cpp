#include "unkiln/preview_image.h"
#include "unkiln/preview_deflate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "tests/stb_image_reader.h"

namespace unkiln {
namespace {

using kiln::DecodedBitmap;
using kiln::Palette;
using kiln::ShadeTable;

struct Decoded {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
};
Decoded readPng(const std::vector<uint8_t>& png) {
  Decoded d;
  int channels = 0;
  uint8_t* p = stbi_load_from_memory(png.data(), int(png.size()), &d.width, &d.height, &channels, 4);
  if (!p) return d;
  d.pixels.assign(p, p + size_t(d.width) * d.height * 4);
  stbi_image_free(p);
  return d;
}

Palette randomPalette(std::mt19937& random) {
  Palette p;
  for (auto& e : p) e = {0, uint8_t(random()), uint8_t(random()), uint8_t(random())};
  return p;
}

std::array<ShadeTable, 5> randomShades(std::mt19937& random) {
  std::array<ShadeTable, 5> shades;
  for (auto& t : shades)
    for (auto& s : t) s = uint8_t(random());
  return shades;
}

DecodedBitmap randomBitmap(std::mt19937& random, int depth, int width, int height) {
  DecodedBitmap b;
  b.width = width;
  b.height = height;
  b.depth = depth;
  b.masked = true;
  for (int i = 0; i < width * height; ++i) {
    b.opaque.push_back(random() % 4 != 0);
    b.values.push_back(b.opaque.back() ? uint8_t(random() % (1u << depth)) : 0);
  }
  return b;
}

TEST(PreviewImage, GrayLevelsFromWhiteToBlack) {
  EXPECT_EQ(grayShade(0, 2), 255);
  EXPECT_EQ(grayShade(1, 2), 170);
  EXPECT_EQ(grayShade(2, 2), 85);
  EXPECT_EQ(grayShade(3, 2), 0);
  for (int level = 0; level < 16; ++level) EXPECT_EQ(grayShade(level, 4), 255 - 17 * level);
}

TEST(PreviewImage, BitmapsPixelForPixel) {
  std::mt19937 random(7);
  const Palette palette = randomPalette(random);
  for (int depth : {2, 4, 8}) {
    DecodedBitmap b = randomBitmap(random, depth, 12, 5);
    Decoded png = readPng(encodePng(drawBitmap(b, &palette)));
    ASSERT_EQ(png.width, 12);
    ASSERT_EQ(png.height, 5);
    for (int i = 0; i < 60; ++i) {
      const uint8_t* p = png.pixels.data() + 4 * i;
      if (!b.opaque[i]) {
        EXPECT_EQ(p[3], 0) << i;
        continue;
      }
      EXPECT_EQ(p[3], 255);
      int r = p[0], g = p[1], bl = p[2];
      if (depth == 8) {
        EXPECT_EQ(std::tie(r, g, bl), std::make_tuple(int(palette[b.values[i]].red), int(palette[b.values[i]].green),
                                                      int(palette[b.values[i]].blue)));
      } else {
        int gray = 255 - (b.values[i] * 255 + ((1 << depth) - 1) / 2) / ((1 << depth) - 1);
        EXPECT_EQ(std::tie(r, g, bl), std::make_tuple(gray, gray, gray));
      }
    }
  }
}

// Sheets of 8-bit bitmaps through the palette and P0 to P4: each file, pixel
// for pixel, is the bitmaps drawn through its table and laid out as a contact
// sheet; and when the slots they draw and transparency pass 256 colours
// between them, each sheet is drawn apart with the same result.
TEST(PreviewImage, ShadeSheetsShareTheirPixelsAndDifferInColours) {
  std::mt19937 random(9);
  const Palette palette = randomPalette(random);
  const std::array<ShadeTable, 5> shades = randomShades(random);
  const DecodedBitmap a = randomBitmap(random, 8, 8, 3), b = randomBitmap(random, 8, 5, 6);
  DecodedBitmap every = randomBitmap(random, 8, 16, 17);  // every slot, and transparency after them
  for (int i = 0; i < 256; ++i) every.values[size_t(i)] = uint8_t(i), every.opaque[size_t(i)] = true;
  every.opaque.back() = false;

  const std::vector<const ShadeTable*> tables = {nullptr, &shades[0], &shades[1], &shades[2], &shades[3], &shades[4]};
  struct Case {
    const char* name;
    std::vector<const DecodedBitmap*> bitmaps;
    bool shared;
  };
  for (const Case& c : {Case{"a few colours", {&a, &b, &a}, true}, Case{"257 colours", {&a, &every}, false}}) {
    SCOPED_TRACE(c.name);
    const SheetVariants v = sheetVariants(c.bitmaps, palette, tables, 20);
    ASSERT_EQ(v.apart.empty(), c.shared);
    ASSERT_EQ(v.placements.size(), c.bitmaps.size());
    for (size_t t = 0; t < tables.size(); ++t) {
      SCOPED_TRACE("table " + std::to_string(t));
      std::vector<Rgba> drawn;
      for (const DecodedBitmap* bitmap : c.bitmaps) drawn.push_back(drawBitmap(*bitmap, &palette, tables[t]));
      std::vector<const Rgba*> each;
      for (const Rgba& image : drawn) each.push_back(&image);
      std::vector<Placement> where;
      const Rgba want = contactSheet(each, 20, where);
      for (size_t i = 0; i < where.size(); ++i)
        EXPECT_EQ(std::make_pair(where[i].x, where[i].y), std::make_pair(v.placements[i].x, v.placements[i].y));
      const std::vector<uint8_t> png =
          c.shared ? palettePng(v.pixels.indexed, v.colours[t], compressedRows(v.pixels.indexed))
                   : encodePng(v.apart[t]);
      const Decoded got = readPng(png);
      EXPECT_EQ(got.width, want.width);
      EXPECT_EQ(got.height, want.height);
      EXPECT_EQ(got.pixels, want.pixels);
    }
  }
}

TEST(PreviewImage, SwatchesSheetsAndScaling) {
  std::mt19937 random(3);
  const Palette palette = randomPalette(random);
  Rgba swatch = paletteSwatch(palette);
  EXPECT_EQ(swatch.at(3, 2)[1], palette[35].green);
  std::array<ShadeTable, 5> shades{};
  shades[4][9] = 200;
  Rgba shade = shadeSwatch(palette, shades);
  EXPECT_EQ(shade.width, 256);
  EXPECT_EQ(shade.at(9, 4)[0], palette[200].red);

  Rgba big = enlarged(swatch, 3);
  ASSERT_EQ(big.width, 48);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(std::memcmp(big.at(9 + x, 6 + y), swatch.at(3, 2), 4), 0);

  Rgba a(100, 10), b(100, 20), c(30, 5);
  std::vector<Placement> where;
  Rgba sheet = contactSheet({&a, &b, &c}, 210, where);
  ASSERT_EQ(where.size(), 3u);
  EXPECT_EQ(where[1].x, 100 + kGap);
  EXPECT_EQ(where[2].x, 0);  // a third in the row would pass 210
  EXPECT_EQ(where[2].y, 20 + kGap);
  EXPECT_EQ(sheet.width, 202);
  EXPECT_EQ(sheet.height, 20 + kGap + 5);

  // Glyph "#" in row 1 column 0 of a first plane, its second plane at row 5 column 5.
  Rgba font = fontSheet({0xA0000000u, 0xC0000001u, 0x3FFFFFFFu});
  EXPECT_EQ(font.at(1, 1)[0], 0);
  EXPECT_EQ(font.at(6, 5)[0], 170);
  EXPECT_EQ(font.at(2, 1)[0], 255);
  EXPECT_EQ(font.at(9, 1)[0], 0);  // the second glyph, a full block
}

// Every kind of picture: written as a palette PNG where it has at most 256
// colours, it decodes to the same pixels as the RGBA file of its twin drawn
// the old way, and its colours are numbered in order of first appearance.
TEST(PreviewImage, PalettePngsDecodeAsTheirRgbaTwins) {
  std::mt19937 random(11);
  const Palette palette = randomPalette(random);
  const DecodedBitmap masked8 = randomBitmap(random, 8, 13, 7), gray2 = randomBitmap(random, 2, 9, 4),
                      gray4 = randomBitmap(random, 4, 17, 3);
  DecodedBitmap all = randomBitmap(random, 8, 32, 9);  // every slot and transparency: 257 colours
  for (int i = 0; i < 256; ++i) {
    all.values[size_t(i)] = uint8_t(i);
    all.opaque[size_t(i)] = true;
  }
  all.opaque.back() = false;
  DecodedBitmap opaque = randomBitmap(random, 4, 5, 5);
  opaque.opaque.assign(opaque.opaque.size(), true);
  const Picture a = drawPicture(masked8, &palette), b = drawPicture(gray2, nullptr);
  const Rgba aTwin = drawBitmap(masked8, &palette), bTwin = drawBitmap(gray2, nullptr);
  std::vector<Placement> where;

  struct Kind {
    const char* name;
    Picture picture;
    Rgba twin;
    bool paletted;
  };
  const Kind kinds[] = {
      {"masked 8-bit", a, aTwin, true},
      {"gray 2-bit", b, bTwin, true},
      {"gray 4-bit", drawPicture(gray4, nullptr), drawBitmap(gray4, nullptr), true},
      {"opaque, no tRNS", drawPicture(opaque, nullptr), drawBitmap(opaque, nullptr), true},
      {"more than 256 colours", drawPicture(all, &palette), drawBitmap(all, &palette), false},
      {"contact sheet", contactSheet({&a, &b, &a}, 30, where), contactSheet({&aTwin, &bTwin, &aTwin}, 30, where),
       true},
      {"enlarged", enlarged(a, 3), enlarged(aTwin, 3), true},
      {"font sheet", pictureOf(fontSheet({0xA0000000u, 0xC0000001u})), fontSheet({0xA0000000u, 0xC0000001u}), true},
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.name);
    const std::vector<uint8_t> png = encodePng(k.picture);
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png[25], k.paletted ? 3 : 6);  // IHDR's colour type
    EXPECT_EQ(!k.picture.full, k.paletted);
    const Decoded got = readPng(png), want = readPng(encodePng(k.twin));
    EXPECT_EQ(got.width, k.twin.width);
    EXPECT_EQ(got.height, k.twin.height);
    EXPECT_EQ(got.pixels, want.pixels);
    EXPECT_EQ(got.pixels, k.twin.pixels);
    if (!k.paletted) continue;
    bool translucent = false;
    for (size_t i = 3; i < k.twin.pixels.size(); i += 4) translucent = translucent || k.twin.pixels[i] != 255;
    EXPECT_EQ(std::search(png.begin(), png.end(), std::begin("tRNS"), std::end("tRNS") - 1) != png.end(), translucent);
    int next = 0;
    for (uint8_t index : k.picture.indexed.pixels) {
      ASSERT_LE(int(index), next);
      next = std::max(next, index + 1);
    }
    EXPECT_EQ(size_t(next), k.picture.indexed.colours.size());
  }
}

// The stream's check: Adler-32 as zlib defines it, one byte at a time.
uint32_t adlerByDefinition(const std::vector<uint8_t>& data) {
  uint64_t a = 1, b = 0;
  for (uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return uint32_t(b << 16 | a);
}

TEST(PreviewDeflate, TheStreamEndsWithTheAdlerCheckOfItsSource) {
  const std::string word = "Wikipedia";
  std::vector<uint8_t> stream = deflateFast(reinterpret_cast<const uint8_t*>(word.data()), word.size());
  ASSERT_GE(stream.size(), 4u);
  EXPECT_EQ(std::vector<uint8_t>(stream.end() - 4, stream.end()), (std::vector<uint8_t>{0x11, 0xE6, 0x03, 0x98}));
  // Around the steps of sixteen bytes and the sums' overflow every 5,552,
  // with bytes of 255 that make the sums largest.
  std::mt19937 random(9);
  for (size_t size : {0, 1, 15, 16, 17, 5551, 5552, 5553, 5568, 100000, (3 << 20) + 7}) {
    std::vector<uint8_t> data(size);
    for (auto& byte : data) byte = random() % 4 ? 255 : uint8_t(random());
    stream = deflateFast(data.data(), data.size());
    const uint32_t check = adlerByDefinition(data);
    EXPECT_EQ(std::vector<uint8_t>(stream.end() - 4, stream.end()),
              (std::vector<uint8_t>{uint8_t(check >> 24), uint8_t(check >> 16), uint8_t(check >> 8), uint8_t(check)}))
        << size;
  }
}

TEST(PreviewDeflate, StreamsInflateToTheirSourceAndTheCrcIsPngs) {
  const std::string nine = "123456789";
  EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(nine.data()), nine.size()), 0xCBF43926u);
  std::mt19937 random(5);
  for (size_t size : {0, 1, 5, 300, 5000, 70000, (1 << 20) + 1, (5 << 20) / 2}) {
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i) data[i] = random() % 3 ? uint8_t(i % 4) : uint8_t(random());  // runs and noise
    std::vector<uint8_t> stream = deflateFast(data.data(), data.size());
    int length = 0;
    char* out = stbi_zlib_decode_malloc(reinterpret_cast<const char*>(stream.data()), int(stream.size()), &length);
    ASSERT_NE(out, nullptr) << size;
    EXPECT_EQ(std::vector<uint8_t>(out, out + length), data) << size;
    free(out);
  }
}

}  // namespace
}  // namespace unkiln
