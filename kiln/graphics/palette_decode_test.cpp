#include "kiln/graphics/palette_decode.h"

#include <gtest/gtest.h>

#include <random>

#include "kiln/graphics/graphics_test_support.h"
#include "kiln/graphics/palette.h"
#include "kiln/test_support.h"

namespace kiln {
namespace {

using namespace testing;

// Compiles a palette BMP with the real compiler: the six records' payloads
// (padding included).
std::vector<Bytes> compilePaletteFile(const Bytes& bmp) {
  TestBuild b;
  std::string path = b.dir.write("palette.bmp", bmp);
  Outcome o = capture([&] { compilePalette(b.run.graphics, b.run.options.paletteListing, path, "PA", b.db()); });
  EXPECT_FALSE(o.exited) << o.err;
  PdbFile pdb = b.finish();
  std::vector<Bytes> records;
  for (int i = 0; i < pdb.recordCount(); ++i) records.push_back(pdb.data(i));
  return records;
}

Bytes randomPaletteFile(unsigned seed) {
  std::mt19937 random(seed);
  TestBmp t;
  for (int i = 0; i < 256; ++i) t.colours.push_back(random() & 0x03FFFFFF);  // some reserved bytes set
  t.rows.assign(1, std::vector<int>(4, 0));
  return makeBmp(t);
}

struct Decoded {
  Palette palette;
  std::array<ShadeTable, 5> shades;
};

Decoded decode(const std::vector<Bytes>& records) {
  Decoded d;
  std::string error;
  EXPECT_TRUE(decodePalette(records[0].data(), records[0].size(), d.palette, error)) << error;
  for (int s = 0; s < 5; ++s)
    EXPECT_TRUE(decodeShadeTable(records[1 + s].data(), records[1 + s].size(), d.shades[s], error)) << error;
  return d;
}

TEST(PaletteDecode, CompiledPalettesDecodeAndCompileBack) {
  std::vector<Bytes> files = {readFile(samplePath("palette.bmp")), randomPaletteFile(1), randomPaletteFile(2)};
  for (const Bytes& file : files) {
    std::vector<Bytes> records = compilePaletteFile(file);
    ASSERT_EQ(records.size(), 6u);
    Decoded d = decode(records);
    // What the compiler made active is what the records say.
    TestBuild b;
    std::string path = b.dir.write("p.bmp", file);
    capture([&] { compilePalette(b.run.graphics, b.run.options.paletteListing, path, "PA", b.db()); });
    for (int i = 0; i < 256; ++i) {
      const PaletteEntry &x = d.palette[i], &y = b.run.graphics.activePalette[i];
      EXPECT_EQ(std::tie(x.reserved, x.red, x.green, x.blue), std::tie(y.reserved, y.red, y.green, y.blue)) << i;
    }
    EXPECT_EQ(d.shades, b.run.graphics.shadeTables);

    std::vector<uint8_t> bmp;
    std::string why;
    ASSERT_TRUE(paletteSource(d.palette, d.shades, bmp, why)) << why;
    EXPECT_EQ(compilePaletteFile(bmp), records);
  }
}

TEST(PaletteDecode, PalettesKilnWouldNotWriteHaveNoSource) {
  Decoded d = decode(compilePaletteFile(readFile(samplePath("palette.bmp"))));
  std::vector<uint8_t> bmp;
  std::string why;
  Decoded swapped = d;
  std::swap(swapped.palette[0], swapped.palette[1]);
  EXPECT_FALSE(paletteSource(swapped.palette, swapped.shades, bmp, why));
  EXPECT_EQ(why.rfind("the palette is not in kiln's slot order: from these colours kiln puts (255, 255, 255) in slot 0",
                      0), 0u)
      << why;
  Decoded shaded = d;
  shaded.shades[2][9] = uint8_t(shaded.shades[2][9] + 1);
  EXPECT_FALSE(paletteSource(shaded.palette, shaded.shades, bmp, why));
  EXPECT_EQ(why, "P2 maps slot 9 to " + std::to_string(shaded.shades[2][9]) +
                     "; kiln's shading of this palette gives " + std::to_string(d.shades[2][9]));
}

TEST(PaletteDecode, DescribeAndDamage) {
  std::vector<Bytes> records = compilePaletteFile(readFile(samplePath("palette.bmp")));
  RecordInfo info;
  std::string error;
  ASSERT_TRUE(describePalette("PA", records[0].data(), records[0].size(), info, error)) << error;
  EXPECT_EQ(info.summary, "PA 256 colours");
  EXPECT_EQ(info.fields.members[0].second.items.size(), 256u);
  ASSERT_TRUE(describeShadeTable("P3", records[4].data(), records[4].size(), info, error)) << error;
  EXPECT_EQ(info.summary, "P3 shade table 3");
  EXPECT_EQ(info.fields.members[0].second.number, 3);
  EXPECT_EQ(info.fields.members[1].second.items.size(), 256u);

  Palette p;
  EXPECT_FALSE(decodePalette(records[0].data(), 1000, p, error));
  EXPECT_EQ(error, "the record has 1000 bytes; its format needs 1024");
  Bytes padded = records[0];
  padded.back() = 1;
  EXPECT_FALSE(describePalette("PA", padded.data(), padded.size(), info, error));
  EXPECT_EQ(error, "byte 1025 after the record's 1024 bytes is 0x01, not zero padding");
  ShadeTable t;
  EXPECT_FALSE(decodeShadeTable(records[1].data(), 255, t, error));
  EXPECT_EQ(error, "the record has 255 bytes; its format needs 256");
}

}  // namespace
}  // namespace kiln
