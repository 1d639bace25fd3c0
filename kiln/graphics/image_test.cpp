#include "kiln/graphics/image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kiln/graphics/bitmap.h"
#include "kiln/graphics/graphics_test_support.h"
#include "kiln/test_support.h"

namespace kiln {
namespace {

using namespace testing;

struct Converted {
  Outcome outcome;
  Bytes record;  // payload after the code, as long as the record
};

Converted convertFile(TestBuild& b, const std::string& path, int depth) {
  static const Palette palette = cubePalette();
  BitmapTotals totals;
  size_t before = b.db().recordOffsets.size();
  Converted c;
  c.outcome = capture([&] { convertBitmap(b.run.graphics, path, b.db(), 1, "B8", depth, &palette, totals); });
  if (b.db().recordOffsets.size() == before + 1) {
    size_t start = b.db().recordOffsets.back() + 2;
    c.record.assign(b.db().recordData.begin() + start, b.db().recordData.begin() + start + totals.totalStoredSize);
  }
  return c;
}

// Pictures saved by ImageMagick and Pillow (testdata/make_image_fixtures.sh)
// convert at every depth to the record of their plain 8-bit BMP twin.
TEST(ImageReader, EveryFixtureConvertsLikeItsPlainTwin) {
  const std::vector<std::pair<const char*, const char*>> twins = {
      {"im_brush_pal.bmp", "tw_brush.bmp"},          // 4 bits
      {"im_brush_rle.bmp", "tw_brush.bmp"},          // RLE8
      {"im_brush_os2.bmp", "tw_brush.bmp"},          // OS/2 header, 3-byte colours
      {"im_brush_os2_24.bmp", "tw_brush.bmp"},       // OS/2 header, 24 bits
      {"im_brush24.bmp", "tw_brush.bmp"},            // 24 bits
      {"im_brush_v5_24.bmp", "tw_brush.bmp"},        // 124-byte header, 24 bits
      {"im_brush565.bmp", "tw_brush.bmp"},           // 16 bits with bit-field masks
      {"im_brush_alpha.bmp", "tw_brush.bmp"},        // 32 bits, alpha mask: alpha 0 for red
      {"im_brush_alpha_bmp4.bmp", "tw_brush.bmp"},
      {"pl_brush24.bmp", "tw_brush.bmp"},
      {"pl_brush.png", "tw_brush.bmp"},              // RGB
      {"pl_brush_rgba.png", "tw_brush.bmp"},         // alpha 0 for red
      {"pl_brush_trns.png", "tw_brush.bmp"},         // palette with a transparent entry
      {"im_brush_rgba16.png", "tw_brush.bmp"},       // 16 bits a sample
      {"im_many_rle8.bmp", "tw_many.bmp"},
      {"im_many_v5.bmp", "tw_many.bmp"},             // RLE8 under a 124-byte header
      {"im_gray_rle.bmp", "tw_gray.bmp"},
      {"pl_gray16.png", "tw_gray.bmp"},              // 16-bit gray
      {"im_mono_bilevel.bmp", "tw_mono.bmp"},        // 1 bit
      {"pl_mono1.bmp", "tw_mono.bmp"},
      {"im_plain8.bmp", "im_plain8.bmp"},
  };
  for (const auto& [name, twin] : twins) {
    Bytes plain = readFile(fixture(twin));
    ASSERT_EQ(plain[28], 8) << twin;  // the twins are plain 8-bit files
    ASSERT_EQ(plain[30], 0) << twin;
    for (int depth : {2, 4, 8}) {
      TestBuild b;
      Converted expected = convertFile(b, fixture(twin), depth);
      Converted got = convertFile(b, fixture(name), depth);
      ASSERT_FALSE(expected.outcome.exited) << twin << " " << expected.outcome.err;
      EXPECT_FALSE(got.outcome.exited) << name << " at " << depth << ": " << got.outcome.err;
      EXPECT_EQ(got.record, expected.record) << name << " at depth " << depth;
      EXPECT_FALSE(expected.record.empty());
    }
  }
}

TEST(ImageReader, FoundByItsFirstBytesNotItsName) {
  TestBuild b;
  std::filesystem::copy_file(fixture("pl_brush.png"), b.dir.path("brush.bmp"));
  Converted png = convertFile(b, b.dir.path("brush.bmp"), 8);
  EXPECT_EQ(png.outcome.err, "");
  EXPECT_EQ(png.record, convertFile(b, fixture("tw_brush.bmp"), 8).record);

  std::string fake = b.dir.write("fake.png", "\x89PNG\r\n\x1A\n but no more");
  Converted c = convertFile(b, fake, 8);
  EXPECT_EQ(c.outcome.status, 1);
  EXPECT_EQ(c.outcome.err.find("\n=============================================\nFile: " + fake +
                               "\nERROR: unreadable .png file: "),
            0u)
      << c.outcome.err;
}

// A PNG with a colour table, written by hand: rows of slots (filter none)
// in one stored zlib block. table holds alpha, red, green, blue.
Bytes tablePng(const std::vector<uint32_t>& table, const std::vector<std::vector<int>>& rows) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&](const char* type, const Bytes& body) {
    Bytes c(type, type + 4);
    c.insert(c.end(), body.begin(), body.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : c) {
      crc ^= byte;
      for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    const uint32_t n = uint32_t(body.size()), sum = ~crc;
    png.insert(png.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    png.insert(png.end(), c.begin(), c.end());
    png.insert(png.end(), {uint8_t(sum >> 24), uint8_t(sum >> 16), uint8_t(sum >> 8), uint8_t(sum)});
  };
  const uint8_t w = uint8_t(rows[0].size()), h = uint8_t(rows.size());
  chunk("IHDR", {0, 0, 0, w, 0, 0, 0, h, 8, 3, 0, 0, 0});
  Bytes plte, trns;
  for (uint32_t c : table) {
    plte.insert(plte.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    trns.push_back(uint8_t(c >> 24));
  }
  chunk("PLTE", plte);
  chunk("tRNS", trns);
  Bytes raw;
  for (const auto& row : rows) {
    raw.push_back(0);
    for (int slot : row) raw.push_back(uint8_t(slot));
  }
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  const uint16_t len = uint16_t(raw.size());
  Bytes z = {0x78, 0x01, 1, uint8_t(len), uint8_t(len >> 8), uint8_t(~len), uint8_t(~len >> 8)};
  z.insert(z.end(), raw.begin(), raw.end());
  const uint32_t adler = b << 16 | a;
  z.insert(z.end(), {uint8_t(adler >> 24), uint8_t(adler >> 16), uint8_t(adler >> 8), uint8_t(adler)});
  chunk("IDAT", z);
  chunk("IEND", {});
  return png;
}

// A PNG's colour table is matched to the palette as a whole only when every
// colour of it is in the palette: a colour no pixel draws, off the palette
// or partly transparent, is neither warned about nor refused. The record is
// that of a BMP of the same pixels.
TEST(ImageReader, OnlyTheColoursAPngDrawsAreMatched) {
  const uint32_t white = 0xFFFFFFFFu, black = 0xFF000000u, off = 0xFF123457u, half = 0x80FFFFFFu;
  const std::string warning = "WARNING: could not find exact color match";
  struct Case {
    std::vector<uint32_t> table;
    std::vector<std::vector<int>> rows;
    bool warned;
  } cases[] = {
      {{white, black, off, half}, {{0, 1, 0, 1}, {1, 0, 1, 0}}, false},  // neither drawn
      {{white, black, off, half}, {{0, 1, 2, 1}, {1, 0, 1, 0}}, true},   // the colour off the palette drawn
      {{white, black}, {{0, 1, 0, 1}, {1, 1, 1, 1}}, false},
  };
  for (const Case& c : cases) {
    TestBuild b;
    TestBmp t;
    t.width = int(c.rows[0].size());
    for (uint32_t colour : c.table) t.colours.push_back(colour & 0xFFFFFF);
    t.rows = c.rows;
    t.colours.resize(3, 0);  // the BMP twin lacks the partly transparent colour
    const Converted twin = convertFile(b, b.dir.write("twin.bmp", makeBmp(t)), 8);
    for (int round = 0; round < 2; ++round) {  // the second time from the map of the first
      const std::string name = "p" + std::to_string(round) + ".png";  // one warning a file
      const Converted png = convertFile(b, b.dir.write(name, tablePng(c.table, c.rows)), 8);
      EXPECT_FALSE(png.outcome.exited) << png.outcome.err;
      EXPECT_EQ(png.outcome.err.find(warning) != std::string::npos, c.warned) << png.outcome.err;
      EXPECT_EQ(png.record, twin.record);
    }
  }
}

TEST(ImageReader, PartialAlphaIsRefusedNamingThePixel) {
  TestBuild b;
  for (const char* name : {"bad_partial_alpha.png", "bad_partial_alpha16.png"}) {  // 8 and 16 bits a sample
    for (int depth : {2, 8}) {
      Converted c = convertFile(b, fixture(name), depth);
      EXPECT_EQ(c.outcome.status, 1);
      EXPECT_EQ(c.outcome.err, "ERROR: pixel 5,2 of " + fixture(name) +
                                   " is partly transparent (alpha 128); a pixel is either drawn or transparent\n");
      EXPECT_TRUE(c.record.empty());
    }
  }
}

// A BMP made by hand: file header, a 40-byte (or larger) information header,
// then `extra` (masks, colour table) and the pixel bytes.
Bytes handBmp(int width, int height, int bpp, uint32_t compression, const Bytes& extra, const Bytes& pixels,
              uint32_t infoSize = 40, uint32_t coloursUsed = 0) {
  Bytes b(14 + infoSize, 0);
  b[0] = 'B';
  b[1] = 'M';
  putLE(b, 14, infoSize, 4);
  putLE(b, 18, uint32_t(width), 4);
  putLE(b, 22, uint32_t(height), 4);
  putLE(b, 26, 1, 2);
  putLE(b, 28, uint32_t(bpp), 2);
  putLE(b, 30, compression, 4);
  putLE(b, 46, coloursUsed, 4);
  b.insert(b.end(), extra.begin(), extra.end());
  putLE(b, 10, uint32_t(b.size()), 4);
  b.insert(b.end(), pixels.begin(), pixels.end());
  putLE(b, 2, uint32_t(b.size()), 4);
  return b;
}

Bytes table(std::initializer_list<uint32_t> colours) {
  Bytes t;
  for (uint32_t c : colours)
    for (int i = 0; i < 4; ++i) t.push_back(uint8_t(c >> (8 * i)));
  return t;
}

std::string decode(const Bytes& file, Picture& picture) {
  ImageHeader header;
  std::string fault = readImageHeader(file, header);
  return fault.empty() ? decodeImage(file, header, picture) : fault;
}

TEST(ImageReader, RunLengthStreams) {
  // 8 x 3, bottom row stored first. RLE8: bottom row 3 x 1, then 3 pixels as
  // they are (an odd run, padded), an early end of line; middle row: delta 2
  // right, 1 up... into the top row at x 2, then 2 x 4 and the end.
  Bytes rle8 = {3, 1, 0, 3, 5, 6, 7, 0, 0, 0, 0, 2, 2, 1, 2, 4, 0, 1};
  Picture p;
  ASSERT_EQ(decode(handBmp(8, 3, 8, 1, table({0, 1, 2, 3, 4, 5, 6, 7}), rle8), p), "");
  EXPECT_EQ(p.indices, (Bytes{0, 0, 4, 4, 0, 0, 0, 0,     // top: after the delta
                                0, 0, 0, 0, 0, 0, 0, 0,     // skipped by the delta
                                1, 1, 1, 5, 6, 7, 0, 0}));  // bottom, ended early
  EXPECT_EQ(p.colours.size(), 8u);
  // RLE4: a run alternates the two nibbles; an absolute run of 5 nibbles
  // takes 3 bytes, padded to 4.
  Bytes rle4 = {5, 0x12, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1};
  ASSERT_EQ(decode(handBmp(12, 1, 4, 2, table({0, 1, 2, 3, 4, 5, 6, 7}), rle4), p), "");
  EXPECT_EQ(p.indices, (Bytes{1, 2, 1, 2, 1, 3, 4, 5, 6, 7, 0, 0}));

  const std::string past = "ERROR: the run-length pixels run past the picture\n";
  const std::string cut = "ERROR: the run-length pixels run past the end of the file\n";
  EXPECT_EQ(decode(handBmp(8, 1, 8, 1, table({0, 1}), {9, 1, 0, 1}), p), past);           // a run too long
  EXPECT_EQ(decode(handBmp(8, 1, 8, 1, table({0, 1}), {0, 0, 1, 1, 0, 1}), p), past);     // a second row
  EXPECT_EQ(decode(handBmp(8, 1, 8, 1, table({0, 1}), {0, 2, 9, 0, 0, 1}), p), past);     // a delta out
  EXPECT_EQ(decode(handBmp(8, 1, 8, 1, table({0, 1}), {2, 1}), p), cut);                  // no end
  EXPECT_EQ(decode(handBmp(8, 1, 8, 1, table({0, 1}), {0, 4, 1, 1}), p), cut);            // short absolute run
  EXPECT_EQ(decode(handBmp(8, 1, 8, 1, table({0, 1}), {0, 2, 1}), p), cut);               // short delta

  // Through the converter, the fault is framed with the file's path.
  TestBuild b;
  std::string path = b.dir.write("long.bmp", handBmp(8, 1, 8, 1, table({0, 1}), {9, 1, 0, 1}));
  Converted c = convertFile(b, path, 8);
  EXPECT_EQ(c.outcome.status, 1);
  EXPECT_EQ(c.outcome.err, framed(path, past));
}

TEST(ImageReader, BitFieldsAndTrueColour) {
  // 16 bits, 5-6-5 masks after a 40-byte header: white, a middle gray, red, black.
  Bytes masks = table({0xF800, 0x07E0, 0x001F});
  Bytes px16 = {0xFF, 0xFF, 0x10, 0x84, 0x00, 0xF8, 0, 0};
  Picture p;
  ASSERT_EQ(decode(handBmp(4, 1, 16, 3, masks, px16), p), "");
  ASSERT_FALSE(p.colourTable);
  EXPECT_EQ(p.colours, (std::vector<uint32_t>{0xFFFFFFFF, 0xFF848284, 0xFFFF0000, 0xFF000000}));
  EXPECT_EQ(p.pixels, (std::vector<uint32_t>{0, 1, 2, 3}));
  // Plain 16 bits are 5-5-5, the top bit unused.
  ASSERT_EQ(decode(handBmp(4, 1, 16, 0, {}, {0xFF, 0xFF, 0x10, 0x42, 0x00, 0x7C, 0, 0}), p), "");
  EXPECT_EQ(p.colours, (std::vector<uint32_t>{0xFFFFFFFF, 0xFF848484, 0xFFFF0000, 0xFF000000}));
  // 32 bits without an alpha mask are opaque, whatever the fourth byte; with
  // the alpha mask of a 124-byte header it counts. Top-down rows.
  Bytes px32 = {1, 2, 3, 0x00, 1, 2, 3, 0x80, 1, 2, 3, 0xFF, 0, 0, 0xFF, 0x00};
  ASSERT_EQ(decode(handBmp(4, -1, 32, 0, {}, px32), p), "");
  EXPECT_EQ(p.colours, (std::vector<uint32_t>{0xFF030201, 0xFFFF0000}));
  EXPECT_EQ(p.pixels, (std::vector<uint32_t>{0, 0, 0, 1}));
  Bytes v5masks = table({0xFF0000, 0xFF00, 0xFF, 0xFF000000});
  Bytes v5 = handBmp(4, 1, 32, 3, {}, px32, 124);
  std::copy(v5masks.begin(), v5masks.end(), v5.begin() + 54);
  ASSERT_EQ(decode(v5, p), "");
  EXPECT_EQ(p.colours, (std::vector<uint32_t>{0x00030201, 0x80030201, 0xFF030201, 0x00FF0000}));
  // Masks that are not one run of bits are refused.
  EXPECT_EQ(decode(handBmp(4, 1, 16, 3, table({0xF00F, 0x07E0, 0x001F}), px16), p),
            "ERROR: .bmp bit-field mask 0000f00f is not one run of bits\n");
}

TEST(ImageReader, FieldsScaleToEightBitsRoundedToNearest) {
  struct {
    uint32_t value;
    int bits;
    int expected;
  } cases[] = {{0, 5, 0}, {31, 5, 255}, {16, 5, 132}, {1, 5, 8}, {63, 6, 255}, {32, 6, 130},
               {1, 1, 255}, {128, 8, 128}, {1023, 10, 255}, {512, 10, 128}, {0xFFFFFFFF, 32, 255}};
  for (const auto& c : cases) EXPECT_EQ(scaleField(c.value, c.bits), c.expected) << c.value << "/" << c.bits;
}

TEST(ImageReader, WhatItStillRefuses) {
  Picture p;
  EXPECT_EQ(decode(handBmp(4, 1, 24, 4, {}, Bytes(12)), p),
            "ERROR: JPEG compression is not supported for 24 bit .bmp files (compression method 4)\n");
  EXPECT_EQ(decode(handBmp(4, 1, 24, 3, table({1, 2, 4}), Bytes(12)), p),
            "ERROR: bit-field compression is not supported for 24 bit .bmp files (compression method 3)\n");
  EXPECT_EQ(decode(handBmp(4, 1, 8, 1, table({0}), {}), p),
            "ERROR: the pixel data at offset 58 lies past the end of the file\n");
  EXPECT_EQ(decode(Bytes{'G', 'I', 'F', '8'}, p), "ERROR: input file is not a .bmp format\n");
  // A PNG chunk longer than the file is refused before the decoder sizes a
  // buffer by it.
  Bytes png = readFile(fixture("pl_brush.png"));
  png[33] = 0x7F;  // the first chunk after IHDR
  EXPECT_EQ(decode(png, p), "ERROR: unreadable .png file: a chunk runs past the end of the file\n");
}

}  // namespace
}  // namespace kiln
