#include "kiln/graphics/bitmap.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <string>
#include <vector>

#include "kiln/graphics/graphics_test_support.h"
#include "kiln/test_support.h"

namespace kiln {
namespace {

using namespace testing;

const uint32_t kWhite = rgb(255, 255, 255), kLight = rgb(200, 200, 200), kDark = rgb(100, 100, 100),
               kBlack = rgb(0, 0, 0), kRed = rgb(255, 0, 0), kGreen = rgb(0, 255, 0);

struct Converted {
  Outcome outcome;
  Bytes record;  // payload after the code, exactly as long as the record
};

// Converts one BMP (written as name in the build folder) and returns the
// record it added.
Converted convert(TestBuild& b, const Bytes& bmp, int depth, int compressFlag = 1, const Palette* palette = nullptr,
                  const std::string& name = "a.bmp") {
  std::string path = b.dir.write(name, bmp);
  BitmapTotals totals;
  size_t before = b.db().recordOffsets.size();
  Converted c;
  c.outcome = capture([&] { convertBitmap(b.run.graphics, path, b.db(), compressFlag, "B8", depth, palette, totals); });
  if (b.db().recordOffsets.size() == before + 1) {
    size_t start = b.db().recordOffsets.back() + 2;
    EXPECT_EQ(b.db().recordData[start - 2], 'B');
    c.record.assign(b.db().recordData.begin() + start, b.db().recordData.begin() + start + totals.totalStoredSize);
  }
  return c;
}

TEST(IsNear, DiffersByLessThanEight) {
  EXPECT_TRUE(isNear(0, 7));
  EXPECT_TRUE(isNear(7, 0));
  EXPECT_FALSE(isNear(0, 8));
  EXPECT_FALSE(isNear(200, 192));
}

TEST(ConvertBitmap, GrayPayloadsAtTwoAndFourBits) {
  // White, light, dark, black: levels 0 1 2 3 at 2 bits, 0 3 9 15 at 4 bits,
  // from an 8-bit and from a 4-bit file alike.
  for (int bpp : {8, 4}) {
    TestBuild b;
    TestBmp t;
    t.bitsPerPixel = bpp;
    t.colours = {kWhite, kLight, kDark, kBlack};
    t.rows = {{0, 1, 2, 3}};
    Converted two = convert(b, makeBmp(t), 2);
    EXPECT_EQ(two.record, (Bytes{4, 1, 2, 0, 0x1B})) << bpp;
    Converted four = convert(b, makeBmp(t), 4);
    EXPECT_EQ(four.record, (Bytes{4, 1, 4, 0, 0x03, 0x9F})) << bpp;
    EXPECT_EQ(two.outcome.err + four.outcome.err, "");
  }
}

TEST(ConvertBitmap, NearlyEqualComponentsAreGrayByTheirBlue) {
  TestBuild b;
  TestBmp t;
  t.colours = {rgb(100, 107, 114), rgb(100, 108, 108)};  // the second is not gray: red and green 8 apart
  t.rows = {{0, 0, 0, 0}};
  EXPECT_EQ(convert(b, makeBmp(t), 2).record, (Bytes{4, 1, 2, 0, 0xAA}));
  EXPECT_EQ(convert(b, makeBmp(t), 4).record, (Bytes{4, 1, 4, 0, 0x88, 0x88}));
  t.rows = {{0, 1, 0, 0}};
  // The non-gray pixel is transparent: masked, its mask bit set, its value 0.
  EXPECT_EQ(convert(b, makeBmp(t), 2).record, (Bytes{4, 1, 2, 1, 0x40, 0x8A}));
}

TEST(ConvertBitmap, MaskRowsOfATwelvePixelWideImage) {
  TestBuild b;
  TestBmp t;
  t.width = 12;
  t.colours = {kWhite, kGreen, kBlack};
  t.rows = {{1, 0, 0, 0, 0, 0, 0, 0, 1, 2, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}};
  Converted c = convert(b, makeBmp(t), 2);
  EXPECT_EQ(c.record, (Bytes{12, 2, 2, 1,
                             0x80, 0x90, 0x01, 0x00,  // mask: 2 bytes a row, bits after pixel 11 are 0
                             0x00, 0x00, 0x30, 0x00, 0x00, 0x00}));
}

TEST(ConvertBitmap, RowPaddingOfAFourBitFileIsNoPixel) {
  // Colour 0 is not gray but no pixel uses it; the zero nibbles after pixel
  // 11 of each stored row must not make the image masked.
  TestBuild b;
  TestBmp t;
  t.bitsPerPixel = 4;
  t.width = 12;
  t.colours = {kGreen, kWhite, kBlack};
  t.rows = {{1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 1}};
  EXPECT_EQ(convert(b, makeBmp(t), 2, 0).record, (Bytes{12, 1, 2, 0, 0x33, 0x33, 0x30}));
}

TEST(ConvertBitmap, PureRedIsTransparentAtEightBits) {
  TestBuild b;
  Palette palette = testing::grayPalette();
  TestBmp t;
  t.width = 12;
  t.colours = {rgb(10, 10, 10), kRed, rgb(255, 0, 0, 1)};  // red with a reserved byte is a colour
  t.rows = {{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}};
  Converted c = convert(b, makeBmp(t), 8, 1, &palette);
  // Mask: a set bit draws the pixel; the transparent one is 0, and so are the
  // bits after the row. Its pixel byte is written as 0.
  EXPECT_EQ(c.record, (Bytes{12, 1, 8, 1, 0xFF, 0xB0, 10, 10, 10, 10, 10, 10, 10, 10, 10, 0, 10, 10}));
  EXPECT_EQ(b.run.graphics.colourCounts[10], 11u);
  EXPECT_EQ(b.run.graphics.colourCounts[0], 0u);

  // Red with a non-zero reserved byte is matched like any colour: the nearest
  // gray, with the warning.
  t.rows = {{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
  c = convert(b, makeBmp(t), 8, 0, &palette);
  EXPECT_EQ(c.record[3], 0);
  EXPECT_EQ(c.record[4], 85);  // (255, 0, 0) is nearest to (85, 85, 85)
}

TEST(ConvertBitmap, EveryColourTableEntryIsMatchedOnceAndCounted) {
  TestBuild b;
  Palette palette = testing::cubePalette();
  TestBmp t;
  t.colours = {rgb(0x33, 0x66, 0x99), rgb(0, 0, 0), rgb(0xFF, 0xFF, 0xFF)};
  t.rows = {{0, 1, 2, 0}, {0, 0, 0, 0}};
  Converted c = convert(b, makeBmp(t), 8, 0, &palette);
  int s = testing::cubeSlot(0x33, 0x66, 0x99);
  EXPECT_EQ(c.record, (Bytes{4, 2, 8, 0, uint8_t(s), 255, 0, uint8_t(s), uint8_t(s), uint8_t(s), uint8_t(s),
                             uint8_t(s)}));
  EXPECT_EQ(b.run.graphics.colourCounts[s], 6u);
  EXPECT_EQ(b.run.graphics.colourCounts[255], 1u);
  EXPECT_EQ(c.outcome.err, "");
}

TEST(ConvertBitmap, ColourWarningOncePerFile) {
  TestBuild b;
  Palette palette = testing::cubePalette();
  TestBmp t;
  t.colours = {rgb(1, 2, 3), rgb(250, 250, 250)};  // neither is in the palette
  t.rows = {{0, 1, 0, 1}};
  Bytes bmp = makeBmp(t);
  const std::string warning = "\nWARNING: could not find exact color match\n         brush: ";
  Converted first = convert(b, bmp, 8, 1, &palette, "dir.v2/first.bmp");
  EXPECT_EQ(first.outcome.err, warning + b.dir.path("dir.v2/first.bmp") + "\n");
  EXPECT_FALSE(first.outcome.exited);
  EXPECT_EQ(first.record[4], 255);  // (1, 2, 3) is nearest to black
  EXPECT_EQ(first.record[5], 0);    // (250, 250, 250) to white
  EXPECT_EQ(convert(b, bmp, 8, 1, &palette, "dir.v2/first.bmp").outcome.err, "");
  EXPECT_EQ(convert(b, bmp, 8, 1, &palette, "second.bmp").outcome.err, warning + b.dir.path("second.bmp") + "\n");
  EXPECT_EQ(convert(b, bmp, 8, 1, &palette, "dir.v2/first.bmp").outcome.err,
            warning + b.dir.path("dir.v2/first.bmp") + "\n");
}

// A 64 x 1 picture whose pixel plane is a run of k equal bytes and 64 - k
// different ones: it packs to 2 + 1 + (64 - k) bytes, saving k - 3.
Bytes runAndLiterals(int k) {
  TestBmp t;
  t.width = 64;
  for (int i = 0; i < 256; ++i) t.colours.push_back(rgb(i, i, i));
  t.rows.assign(1, {});
  for (int x = 0; x < 64; ++x) t.rows[0].push_back(x < k ? 7 : 100 + x);
  return makeBmp(t);
}

TEST(ConvertBitmap, CompressedOnlyWhenThatSavesAtLeast33Bytes) {
  TestBuild b;
  Palette palette = testing::grayPalette();
  Bytes plane;
  for (int x = 0; x < 64; ++x) plane.push_back(x < 35 ? 7 : 100 + x);

  Converted saves32 = convert(b, runAndLiterals(35), 8, 1, &palette);
  ASSERT_EQ(saves32.record.size(), 68u);
  EXPECT_EQ(saves32.record[3], 0);
  EXPECT_EQ(Bytes(saves32.record.begin() + 4, saves32.record.end()), plane);

  Converted saves33 = convert(b, runAndLiterals(36), 8, 1, &palette);
  ASSERT_EQ(saves33.record.size(), 4u + 31u);
  EXPECT_EQ(Bytes(saves33.record.begin(), saves33.record.begin() + 7), (Bytes{64, 1, 8, 2, 0x80 + 36, 7, 28}));
  Bytes unpacked;
  ASSERT_TRUE(testing::unpackRLE(saves33.record, 4, unpacked));
  plane[35] = 7;
  EXPECT_EQ(unpacked, plane);

  // compressFlag 0 keeps the planes whatever the saving.
  EXPECT_EQ(convert(b, runAndLiterals(64), 8, 0, &palette).record.size(), 68u);
}

TEST(ConvertBitmap, MaskedImagesAreNeverCompressed) {
  TestBuild b;
  Palette palette = testing::grayPalette();
  TestBmp t;
  t.width = 64;
  t.colours = {rgb(5, 5, 5), kRed};
  t.rows.assign(8, std::vector<int>(64, 0));
  t.rows[3][3] = 1;
  Converted c = convert(b, makeBmp(t), 8, 1, &palette);
  EXPECT_EQ(c.record.size(), 4u + 64u + 512u);
  EXPECT_EQ(c.record[3], 1);
}

TEST(ConvertBitmap, LargeCompressedImageUnpacksToItsPlane) {
  TestBuild b;
  Palette palette = testing::grayPalette();
  TestBmp t;
  t.width = 64;
  for (int i = 0; i < 256; ++i) t.colours.push_back(rgb(i, i, i));
  Bytes plane;
  for (int y = 0; y < 64; ++y) {
    t.rows.push_back({});
    for (int x = 0; x < 64; ++x) t.rows[y].push_back(x < y ? 1 : (x * y) % 5 + 20), plane.push_back(t.rows[y][x]);
  }
  Converted c = convert(b, makeBmp(t), 8, 1, &palette);
  EXPECT_EQ(c.record[3], 2);
  EXPECT_LT(c.record.size(), 4096u);
  // The record as stored, zero padding and all, is what the device unpacks.
  size_t start = b.db().recordOffsets.back() + 2;
  Bytes stored(b.db().recordData.begin() + start, b.db().recordData.end()), unpacked;
  ASSERT_TRUE(testing::unpackRLE(stored, 4, unpacked));
  EXPECT_EQ(unpacked, plane);
}

TEST(ConvertBitmap, LaterHeaderVersionsAndTopDownRowsReadAlike) {
  TestBuild b;
  TestBmp t;
  t.colours = {kWhite, kLight, kDark, kBlack};
  t.rows = {{0, 1, 2, 3}, {3, 3, 0, 0}};
  const Bytes expected{4, 2, 2, 0, 0x1B, 0xF0};
  EXPECT_EQ(convert(b, makeBmp(t), 2).record, expected);
  t.infoSize = 124;
  EXPECT_EQ(convert(b, makeBmp(t), 2).record, expected);
  t.topDown = true;
  EXPECT_EQ(convert(b, makeBmp(t), 2).record, expected);
  t.bitsPerPixel = 4;
  t.infoSize = 108;
  EXPECT_EQ(convert(b, makeBmp(t), 2).record, expected);
}

TEST(ConvertBitmap, HeaderFaultsAreFramed) {
  TestBuild b;
  Palette palette = testing::grayPalette();
  TestBmp good;
  good.colours = {kWhite, kBlack};
  good.rows = {{0, 1, 0, 1}};
  std::string path = b.dir.path("a.bmp");

  auto expectFault = [&](const TestBmp& t, int depth, const std::string& message) {
    Converted c = convert(b, makeBmp(t), depth, 1, &palette);
    EXPECT_TRUE(c.outcome.exited) << message;
    EXPECT_EQ(c.outcome.status, 1);
    EXPECT_EQ(c.outcome.err, framed(path, message));
    EXPECT_TRUE(c.record.empty());
  };
  TestBmp t = good;
  t.width = 6;
  t.rows = {{0, 1, 0, 1, 0, 1}};
  for (int depth : {2, 4, 8}) expectFault(t, depth, "ERROR: only supports a multiple of 4 wide found 6\n");
  t = good;
  t.width = 256;
  t.rows = {std::vector<int>(256, 0)};
  expectFault(t, 8, "ERROR: bitmap of 256 x 1 pixels; width and height must be 1 to 255\n");
  t = good;
  t.rows.assign(256, {0, 0, 0, 0});
  t.topDown = true;
  expectFault(t, 2, "ERROR: bitmap of 4 x 256 pixels; width and height must be 1 to 255\n");
  t = good;
  for (uint32_t method : {4u, 5u, 6u, 3u, 2u, 99u}) {
    t.compression = method;
    const char* name = method == 4 ? "JPEG" : method == 5 ? "PNG" : method == 6 ? "alpha bit-field"
                                            : method == 3 ? "bit-field" : method == 2 ? "RLE4" : "unknown";
    expectFault(t, 8, std::string("ERROR: ") + name + " compression is not supported for 8 bit .bmp files (compression method " +
                          std::to_string(method) + ")\n");
  }
  t = good;
  t.bitsPerPixel = 4;
  t.colorsUsed = 17;
  expectFault(t, 2, "ERROR: 17 colours used; a 4 bit .bmp file holds at most 16\n");

  // Faults that a writer cannot make: patch the bytes.
  auto expectPatched = [&](size_t at, std::vector<uint8_t> bytes, const std::string& message, bool fixSize = true) {
    Bytes bmp = makeBmp(good);
    if (at + bytes.size() > bmp.size()) bmp.resize(at + bytes.size());
    std::copy(bytes.begin(), bytes.end(), bmp.begin() + at);
    if (fixSize) testing::putLE(bmp, 2, uint32_t(bmp.size()), 4);
    Converted c = convert(b, bmp, 8, 1, &palette);
    EXPECT_EQ(c.outcome.status, 1) << message;
    EXPECT_EQ(c.outcome.err, framed(path, message));
  };
  expectPatched(28, {2, 0}, "ERROR: only 1, 4, 8, 16, 24 or 32 bit .bmp files supported.  Found 2\n");
  expectPatched(2, {1, 0, 0, 0}, "ERROR: file size 1 != 66\n", false);
  expectPatched(14, {20, 0, 0, 0}, "ERROR: unsupported .bmp information header of 20 bytes\n");
  expectPatched(14, {200, 0, 0, 0}, "ERROR: unsupported .bmp information header of 200 bytes\n");
  expectPatched(10, {0xFF, 0xFF, 0, 0},
                "ERROR: the pixel data (4 bytes from offset 65535) runs past the end of the file\n");
  expectPatched(10, {63, 0, 0, 0}, "ERROR: the pixel data (4 bytes from offset 63) runs past the end of the file\n");
  expectPatched(10, {53, 0, 0, 0}, "ERROR: the pixel data at offset 53 overlaps the header\n");
  expectPatched(22, {0, 0, 0, 0}, "ERROR: bitmap of 4 x 0 pixels; width and height must be 1 to 255\n");
  expectPatched(18, {0xFC, 0xFF, 0xFF, 0xFF}, "ERROR: bitmap of -4 x 1 pixels; width and height must be 1 to 255\n");

  Bytes cut = makeBmp(good);
  cut.resize(40);
  testing::putLE(cut, 2, 40, 4);
  Converted c = convert(b, cut, 8, 1, &palette);
  EXPECT_EQ(c.outcome.err, framed(path, "ERROR: .bmp header cut short: the file has only 40 bytes\n"));
}

TEST(ConvertBitmap, ColourTableShorterThanItsCount) {
  // A colours-used field of 0 (or too large) over a table of four entries:
  // the four are the colours, the pixel bytes after them are not.
  TestBuild b;
  TestBmp t;
  t.colours = {kWhite, kLight, kDark, kBlack};
  t.rows = {{0, 1, 2, 3}};
  for (long used : {0L, 200L}) {
    t.colorsUsed = used;
    Converted c = convert(b, makeBmp(t), 2);
    EXPECT_EQ(c.outcome.err, "") << used;
    EXPECT_EQ(c.record, (Bytes{4, 1, 2, 0, 0x1B})) << used;
  }
  // At 8 bits only the four are matched: no warning for the pixel bytes.
  Palette palette = testing::cubePalette();
  t.colours = {kWhite, kBlack, rgb(0x33, 0x66, 0x99), kRed};
  t.rows = {{0, 1, 2, 3}};
  t.colorsUsed = 0;
  Converted c = convert(b, makeBmp(t), 8, 1, &palette);
  EXPECT_EQ(c.outcome.err, "");
  EXPECT_EQ(c.record, (Bytes{4, 1, 8, 1, 0xE0, 0, 255, uint8_t(testing::cubeSlot(0x33, 0x66, 0x99)), 0}));
  // A pixel past the entries present is refused, never read from the pixels.
  t.rows = {{0, 1, 2, 4}};
  c = convert(b, makeBmp(t), 8, 1, &palette);
  EXPECT_EQ(c.outcome.err, "ERROR: pixel 3,0 of " + b.dir.path("a.bmp") + " uses colour 4; the colour table has only 4\n");
  EXPECT_EQ(c.outcome.status, 1);
}

TEST(ConvertBitmap, FilesThatAreNoBitmaps) {
  TestBuild b;
  Palette palette = testing::grayPalette();
  BitmapTotals totals;
  auto run = [&](const std::string& path) {
    return capture([&] { convertBitmap(b.run.graphics, path, b.db(), 1, "T8", 8, &palette, totals); });
  };
  Outcome o = run(b.dir.write("text.bmp", "PM not a bitmap"));
  EXPECT_EQ(o.err, "ERROR: input file is not a .bmp format\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(run(b.dir.write("one.bmp", "B")).err, "ERROR: input file is not a .bmp format\n");
  o = run(b.dir.path("missing.bmp"));
  EXPECT_EQ(o.err, "ERROR: Can not open " + b.dir.path("missing.bmp") + ": No such file or directory\n");
  EXPECT_EQ(o.status, 1);
  b.dir.write("folder.bmp/x", "");
  EXPECT_EQ(run(b.dir.path("folder.bmp")).err, "ERROR: Can not open " + b.dir.path("folder.bmp") + ": Is a directory\n");
#ifndef _WIN32
  // A pipe with no writer is refused at once, not waited on forever.
  ASSERT_EQ(mkfifo(b.dir.path("pipe.bmp").c_str(), 0600), 0);
  EXPECT_EQ(run(b.dir.path("pipe.bmp")).err, "ERROR: Can not open " + b.dir.path("pipe.bmp") + ": Illegal seek\n");
#endif
  EXPECT_TRUE(b.db().recordOffsets.empty());
}

TEST(ConvertBitmap, TheSameRecordWhetherColoursAreCountedOrNot) {
  // Without a histogram the converter only notes which colours occur: the
  // planes, the mask and the refusals must come out the same.
  Palette palette = testing::grayPalette();
  struct Case {
    std::vector<uint32_t> colours;
    std::vector<std::vector<int>> rows;
  } cases[] = {
      {{kWhite, kBlack, kRed}, {{0, 1, 2, 0, 1, 1, 0, 0, 2, 2, 1, 0}, {2, 2, 2, 2, 0, 0, 0, 0, 1, 1, 1, 1}}},
      {{kWhite, kBlack, kRed}, {{0, 1, 1, 0}, {1, 0, 0, 1}}},  // red in the table, on no pixel
      {{kWhite, kBlack}, {{0, 1, 5, 0}}},                      // an index past the table
  };
  for (const Case& c : cases) {
    TestBuild b;
    TestBmp t;
    t.width = int(c.rows[0].size());
    t.colours = c.colours;
    t.rows = c.rows;
    const Converted counted = convert(b, makeBmp(t), 8, 1, &palette);
    const auto counts = b.run.graphics.colourCounts;
    b.run.graphics.countColours = false;
    const Converted marked = convert(b, makeBmp(t), 8, 1, &palette);
    EXPECT_EQ(marked.record, counted.record) << t.width << " x " << c.rows.size();
    EXPECT_EQ(marked.outcome.err, counted.outcome.err);
    EXPECT_EQ(marked.outcome.status, counted.outcome.status);
    EXPECT_EQ(b.run.graphics.colourCounts, counts);  // nothing more counted
  }
}

TEST(ConvertBitmap, PixelsPastTheColourTable) {
  TestBuild b;
  Palette palette = testing::grayPalette();
  TestBmp t;
  t.colours = {kWhite, kBlack};
  t.rows = {{0, 1, 5, 0}};
  std::string path = b.dir.path("odd.name.bmp");
  Converted c = convert(b, makeBmp(t), 8, 1, &palette, "odd.name.bmp");
  EXPECT_EQ(c.outcome.err, "ERROR: pixel 2,0 of " + path + " uses colour 5; the colour table has only 2\n");
  EXPECT_EQ(c.outcome.status, 1);
  EXPECT_EQ(b.run.graphics.colourCounts[0], 0u);  // nothing counted for a refused image

  // At 2 and 4 bits such a pixel is transparent; in an image without a mask
  // that is an error, worded by the file's bits per pixel, naming the whole path.
  c = convert(b, makeBmp(t), 2, 1, nullptr, "odd.name.bmp");
  EXPECT_EQ(c.outcome.err, "ERROR: found a non gray in unmasked brush: " + path + "\n");
  EXPECT_EQ(c.outcome.status, 1);
  t.bitsPerPixel = 4;
  c = convert(b, makeBmp(t), 4, 1, nullptr, "odd.name.bmp");
  EXPECT_EQ(c.outcome.err, "ERROR: found a non gray in unmasked brush " + path + "\n");
  // In a masked image it is simply transparent.
  t.colours = {kWhite, kBlack, kGreen};
  t.rows = {{0, 1, 5, 2}};
  c = convert(b, makeBmp(t), 4, 1, nullptr, "odd.name.bmp");
  EXPECT_EQ(c.record, (Bytes{4, 1, 4, 1, 0x30, 0x0F, 0x00}));
}

}  // namespace
}  // namespace kiln
