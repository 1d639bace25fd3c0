#include "kiln/graphics/bitmap_decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kiln/graphics/bitmap.h"
#include "kiln/graphics/graphics_test_support.h"
#include "kiln/test_support.h"

namespace kiln {
namespace {

using namespace testing;

// Converts one BMP with the real converter and returns the stored payload
// after the code, padding included, as a database hands it back.
Bytes compile(const Bytes& bmp, int depth, int compressFlag, const Palette* palette) {
  TestBuild b;
  std::string path = b.dir.write("a.bmp", bmp);
  BitmapTotals totals;
  Outcome o = capture([&] { convertBitmap(b.run.graphics, path, b.db(), compressFlag, "B8", depth, palette, totals); });
  EXPECT_FALSE(o.exited) << o.err;
  PdbFile pdb = b.finish();
  if (pdb.recordCount() != 1) return {};
  return pdb.data(0);
}

struct Picture {
  Bytes bmp;
  std::vector<uint8_t> values, opaque;  // as the device should draw it
};

// A picture of width x height at depth: noisy or in long runs (compressible),
// with every fifth pixel transparent when masked. Grays are drawn a little off
// their level's own gray, and 8-bit slots include pure red, drawn through a
// reserved byte of 1.
Picture makePicture(int depth, bool masked, bool runs, int width, int height) {
  static const int kSlots[] = {0, 5, 36, 100, cubeSlot(255, 0, 0), 200, 229, 255};
  const Palette palette = cubePalette();
  TestBmp t;
  t.width = width;
  const int levels = depth == 8 ? 8 : 1 << depth;
  for (int v = 0; v < levels; ++v) {
    if (depth == 8) {
      const PaletteEntry& p = palette[kSlots[v]];
      t.colours.push_back(rgb(p.red, p.green, p.blue, p.red == 255 && !p.green && !p.blue ? 1 : 0));
    } else {
      static const int kTwoBitGrays[] = {250, 200, 100, 10};
      int g = depth == 2 ? kTwoBitGrays[v] : 255 - 17 * v;
      t.colours.push_back(rgb(g, g > 250 ? g - 3 : g + 3, g));
    }
  }
  t.colours.push_back(rgb(255, 0, 0));  // transparent at 8 bits, not gray at 2 and 4
  Picture pic;
  for (int y = 0; y < height; ++y) {
    std::vector<int> row;
    for (int x = 0; x < width; ++x) {
      int v = runs ? (x / 16 + y) % levels : (x * 7 + y * 3) % levels;
      bool hidden = masked && (x + 2 * y) % 5 == 0;
      row.push_back(hidden ? levels : v);
      pic.values.push_back(hidden ? 0 : depth == 8 ? kSlots[v] : v);
      pic.opaque.push_back(!hidden);
    }
    t.rows.push_back(row);
  }
  pic.bmp = makeBmp(t);
  return pic;
}

TEST(BitmapDecode, CompiledPicturesDecodeAndCompileBack) {
  const Palette palette = cubePalette();
  struct Case {
    int depth;
    bool masked, runs;
    int compressFlag;
    bool compressed;  // as it should come out
  };
  const Case cases[] = {
      {2, false, false, 1, false}, {2, true, false, 1, false}, {2, false, true, 1, true}, {2, false, true, 0, false},
      {4, false, false, 1, false}, {4, true, true, 1, false},  {4, false, true, 1, true}, {4, false, true, 0, false},
      {8, false, false, 1, false}, {8, true, false, 1, false}, {8, true, true, 1, false}, {8, false, true, 1, true},
      {8, false, true, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "depth " << c.depth << " masked " << c.masked << " runs " << c.runs
                                    << " flag " << c.compressFlag);
    const int width = c.runs ? 64 : 12, height = c.runs ? 6 : 3;
    Picture pic = makePicture(c.depth, c.masked, c.runs, width, height);
    Bytes stored = compile(pic.bmp, c.depth, c.compressFlag, &palette);
    ASSERT_FALSE(stored.empty());

    DecodedBitmap d;
    std::string error;
    ASSERT_TRUE(decodeBitmap(stored.data(), stored.size(), d, error)) << error;
    EXPECT_EQ(d.irregular, "");
    EXPECT_EQ(d.width, width);
    EXPECT_EQ(d.height, height);
    EXPECT_EQ(d.depth, c.depth);
    EXPECT_EQ(d.masked, c.masked);
    EXPECT_EQ(d.compressed, c.compressed);
    const size_t planes = (c.masked ? (width + 7) / 8 * height : 0) + width * height * c.depth / 8;
    EXPECT_EQ(d.unpackedSize, 4 + planes);
    EXPECT_EQ((d.storedSize + 2 + 3) / 4 * 4, stored.size() + 2);  // the padding is the writer's
    if (!c.compressed) {
      EXPECT_EQ(d.storedSize, d.unpackedSize);
    }
    EXPECT_EQ(d.values, pic.values);
    EXPECT_EQ(d.opaque, pic.opaque);

    std::vector<uint8_t> bmp;
    int flag = -1;
    ASSERT_TRUE(bitmapSource(d, &palette, bmp, flag, error)) << error;
    EXPECT_EQ(flag, c.compressFlag);
    EXPECT_EQ(compile(bmp, c.depth, flag, &palette), stored);
  }
}

TEST(BitmapDecode, SummaryAndPixelRows) {
  RecordInfo info;
  std::string error;
  // 8 bits, 4 x 2, masked: the mask draws pixels 0, 1 and 3 of row 0 and all of row 1.
  const Bytes record = {4, 2, 8, 1, 0xD0, 0xF0, 0x01, 0xAB, 0, 0xFF, 1, 2, 3, 4};
  ASSERT_TRUE(describeBitmap("T8", record.data(), record.size(), info, error)) << error;
  EXPECT_EQ(info.summary, "T8 4x2 8-bit masked");
  const Node& rows = info.fields.members.back().second;
  ASSERT_EQ(rows.items.size(), 2u);
  EXPECT_EQ(rows.items[0].text, "01ab..ff");
  EXPECT_EQ(rows.items[1].text, "01020304");
  const Bytes gray = {4, 1, 2, 0, 0x1B, 0};
  ASSERT_TRUE(describeBitmap("B2", gray.data(), gray.size(), info, error)) << error;
  EXPECT_EQ(info.summary, "B2 4x1 2-bit");
  EXPECT_EQ(info.fields.members.back().second.items[0].text, "0123");
}

TEST(BitmapDecode, DamagedRecordsSayWhy) {
  const struct {
    Bytes record;
    const char* error;
  } cases[] = {
      {{4, 1, 2}, "a bitmap record needs its 4-byte header; this one has 3 bytes"},
      {{4, 1, 3, 0, 0}, "bits per pixel 3; a bitmap has 2, 4 or 8"},
      {{4, 1, 2, 4, 0}, "flags 0x04; only masked (1) and compressed (2) are defined"},
      {{6, 1, 2, 0, 0, 0}, "a bitmap of 6x1; width and height are 1 to 255, the width a multiple of 4"},
      {{4, 0, 2, 0}, "a bitmap of 4x0; width and height are 1 to 255, the width a multiple of 4"},
      {{4, 2, 2, 0, 0x1B}, "the planes need 2 bytes; the record holds 1"},
      {{4, 1, 2, 0, 0x1B, 0, 0, 0, 0}, "4 zero bytes follow the record's 5; padding is at most 3"},
      {{4, 1, 2, 0, 0x1B, 7}, "byte 5 after the record's 5 bytes is 0x07, not zero padding"},
      {{4, 1, 8, 2, 0x83, 5}, "the run-length stream ends after 3 of 4 bytes"},
      {{4, 1, 8, 2, 0x85, 5}, "the run-length packet at byte 0 unpacks past the 4 bytes of the planes"},
      {{4, 1, 8, 2, 0x04, 5, 5}, "the literal packet at byte 0 runs past the end of the record"},
      {{4, 1, 8, 2, 0x03, 5, 5, 5, 0x81}, "the run packet at byte 4 has no byte to repeat"},
      {{4, 1, 8, 2, 0x84, 5, 7},
       "the run-length stream unpacks to the planes' 4 bytes, then byte 6 after the record's 6 bytes is 0x07, not "
       "zero padding"},
  };
  for (const auto& c : cases) {
    DecodedBitmap d;
    std::string error;
    EXPECT_FALSE(decodeBitmap(c.record.data(), c.record.size(), d, error));
    EXPECT_EQ(error, c.error);
    RecordInfo info;
    EXPECT_FALSE(describeBitmap("B8", c.record.data(), c.record.size(), info, error));
  }
}

TEST(BitmapDecode, BytesKilnWouldNotWriteHaveNoSource) {
  const Palette palette = cubePalette();
  const struct {
    Bytes record;
    const char* why;
  } cases[] = {
      {{4, 1, 8, 1, 0xE0, 1, 2, 3, 9}, "transparent pixel 3,0 holds 9; kiln writes 0"},
      {{4, 1, 2, 1, 0x88, 0x00}, "mask row 0 has bits set past its last pixel"},
      {{4, 1, 8, 1, 0xF0, 1, 2, 3, 4}, "masked, but every pixel is drawn; kiln writes no mask then"},
      {{4, 1, 8, 2, 0x82, 5, 0x82, 5}, "the run-length stream is not the one kiln's compressor writes"},
      {{4, 1, 8, 2, 0x84, 5}, "compression saves 2 bytes; kiln compresses only when it saves 33 or more"},
      {{4, 1, 8, 3, 0x05, 0xF0, 1, 2, 3, 4}, "masked and compressed; kiln never compresses a masked bitmap"},
  };
  for (const auto& c : cases) {
    DecodedBitmap d;
    std::string error;
    ASSERT_TRUE(decodeBitmap(c.record.data(), c.record.size(), d, error)) << error;
    EXPECT_EQ(d.irregular, c.why);
    std::vector<uint8_t> bmp;
    int flag;
    EXPECT_FALSE(bitmapSource(d, &palette, bmp, flag, error));
    EXPECT_EQ(error, c.why);
  }
}

TEST(BitmapDecode, SlotsNoPictureReaches) {
  Palette palette = cubePalette();
  palette[7] = palette[3];
  const Bytes record = {4, 1, 8, 0, 3, 7, 3, 3, 0, 0};
  DecodedBitmap d;
  std::string why;
  ASSERT_TRUE(decodeBitmap(record.data(), record.size(), d, why)) << why;
  std::vector<uint8_t> bmp;
  int flag;
  EXPECT_FALSE(bitmapSource(d, &palette, bmp, flag, why));
  EXPECT_EQ(why, "slot 7 has the colour of slot 3 (255, 102, 255), so no picture gives slot 7");
  EXPECT_FALSE(bitmapSource(d, nullptr, bmp, flag, why));
  EXPECT_EQ(why, "an 8-bit bitmap needs a palette, and the databases hold none");
}

}  // namespace
}  // namespace kiln
