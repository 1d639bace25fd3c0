#include "kiln/graphics/palette.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>

#include "kiln/driver/dispatch.h"
#include "kiln/graphics/colour.h"
#include "kiln/graphics/graphics_test_support.h"
#include "kiln/test_support.h"

namespace kiln {
namespace {

using testing::Bytes;
using testing::capture;
using testing::fixture;
using testing::makeBmp;
using testing::TestBmp;
using testing::TestBuild;

struct Rgb {
  int r, g, b;
  int reserved = 0;  // a marker: it travels with the entry into the record
};

// An 8-bit BMP of 4 x 2 pixels whose colour table is the given colours.
TestBmp paletteBmp(const std::vector<Rgb>& colours) {
  TestBmp t;
  for (const Rgb& c : colours) t.colours.push_back(testing::rgb(c.r, c.g, c.b, c.reserved));
  t.rows.assign(2, std::vector<int>(4, 0));
  t.colorsUsed = 256;
  return t;
}
Bytes paletteFile(const std::vector<Rgb>& colours) { return makeBmp(paletteBmp(colours)); }

// The device's 231 standard colours in slot order, written out from their
// slot numbers: slot s < 215 of the cube has blue step s / 36, red step
// (s / 6) mod 6 and green step s mod 6, each step counting down from FF by 33.
std::vector<Rgb> standardColours() {
  std::vector<Rgb> c;
  for (int s = 0; s < 215; ++s) c.push_back({0xFF - 0x33 * (s / 6 % 6), 0xFF - 0x33 * (s % 6), 0xFF - 0x33 * (s / 36)});
  for (int v : {0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE}) c.push_back({v, v, v});
  c.push_back({0xC0, 0xC0, 0xC0});
  c.push_back({0x00, 0x00, 0x80});
  c.push_back({0x80, 0x00, 0x80});
  c.push_back({0x00, 0x80, 0x00});
  c.push_back({0x80, 0x80, 0x00});
  c.push_back({0, 0, 0});  // slot 255
  return c;
}

// 25 colours that are none of the standard ones, far from the grays.
std::vector<Rgb> otherColours() {
  std::vector<Rgb> c;
  for (int i = 0; i < 25; ++i) c.push_back({0x10 + 9 * i, 0x40 + 5 * i, 0x07 + 3 * i});
  return c;
}

// Standard colours (black at source 230) then the others: already in order.
std::vector<Rgb> orderedSource() {
  std::vector<Rgb> c = standardColours();
  for (const Rgb& o : otherColours()) c.push_back(o);
  return c;
}

// The slot the standard colour (r, g, b) must take.
int standardSlot(int r, int g, int b) {
  std::vector<Rgb> s = standardColours();
  for (int i = 0; i < 230; ++i)
    if (s[i].r == r && s[i].g == g && s[i].b == b) return i;
  return r == 0 && g == 0 && b == 0 ? 255 : -1;
}

struct Compiled {
  testing::Outcome outcome;
  testing::PdbFile pdb;
};

Compiled compileBmp(TestBuild& t, const Bytes& bmp, const std::string& name = "palette.bmp") {
  std::string path = t.dir.write(name, bmp);
  Compiled c;
  c.outcome = capture([&] { compilePalette(t.run.graphics, t.run.options.paletteListing, path, "PA", t.db()); });
  c.pdb = t.finish();
  return c;
}

Rgb slotOf(const testing::PdbFile& pdb, int slot) {
  Bytes d = pdb.data(0);
  return {d[4 * slot + 1], d[4 * slot + 2], d[4 * slot + 3], d[4 * slot]};
}

void expectColour(const Rgb& got, int r, int g, int b, const std::string& where) {
  EXPECT_EQ(got.r, r) << where;
  EXPECT_EQ(got.g, g) << where;
  EXPECT_EQ(got.b, b) << where;
}

TEST(Palette, WritesSixRecordsWithEntriesAsReservedRedGreenBlue) {
  TestBuild t;
  std::vector<Rgb> source = orderedSource();
  source[231] = {30, 20, 10};  // the file's bytes 0A 14 1E 00
  Compiled c = compileBmp(t, paletteFile(source));
  ASSERT_FALSE(c.outcome.exited) << c.outcome.err;
  EXPECT_EQ(c.outcome.err, "");
  ASSERT_EQ(c.pdb.recordCount(), 6);
  const char* codes[] = {"PA", "P0", "P1", "P2", "P3", "P4"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(c.pdb.code(i), codes[i]);
  EXPECT_EQ(c.pdb.records[0].size(), 1028u);  // 2 + 1024, padded to 4
  for (int i = 1; i < 6; ++i) EXPECT_EQ(c.pdb.records[i].size(), 260u);
  Bytes d = c.pdb.data(0);
  // It is the first of the entries left over, so it lands in slot 230.
  EXPECT_EQ(Bytes(d.begin() + 4 * 230, d.begin() + 4 * 231), (Bytes{0x00, 0x1E, 0x14, 0x0A}));
  EXPECT_EQ(Bytes(d.begin(), d.begin() + 4), (Bytes{0x00, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(d.begin() + 4 * 255, d.begin() + 4 * 256), (Bytes{0, 0, 0, 0}));
}

TEST(Palette, StandardOrderStaysAsItIs) {
  TestBuild t;
  std::vector<Rgb> source = orderedSource();
  for (int i = 0; i < 256; ++i) source[i].reserved = i;
  Compiled c = compileBmp(t, paletteFile(source));
  ASSERT_FALSE(c.outcome.exited) << c.outcome.err;
  for (int slot = 0; slot < 230; ++slot) EXPECT_EQ(slotOf(c.pdb, slot).reserved, slot);
  EXPECT_EQ(slotOf(c.pdb, 255).reserved, 230);  // black
  for (int slot = 230; slot < 255; ++slot) EXPECT_EQ(slotOf(c.pdb, slot).reserved, slot + 1);
  // The slots named by the device's own table.
  expectColour(slotOf(c.pdb, 0), 0xFF, 0xFF, 0xFF, "slot 0");
  expectColour(slotOf(c.pdb, 1), 0xFF, 0xCC, 0xFF, "slot 1");
  expectColour(slotOf(c.pdb, 5), 0xFF, 0x00, 0xFF, "slot 5");
  expectColour(slotOf(c.pdb, 6), 0xCC, 0xFF, 0xFF, "slot 6");
  expectColour(slotOf(c.pdb, 36), 0xFF, 0xFF, 0xCC, "slot 36");
  expectColour(slotOf(c.pdb, 214), 0x00, 0x33, 0x00, "slot 214");
  expectColour(slotOf(c.pdb, 215), 0x11, 0x11, 0x11, "slot 215");
  expectColour(slotOf(c.pdb, 224), 0xEE, 0xEE, 0xEE, "slot 224");
  expectColour(slotOf(c.pdb, 225), 0xC0, 0xC0, 0xC0, "slot 225");
  expectColour(slotOf(c.pdb, 226), 0x00, 0x00, 0x80, "slot 226");
  expectColour(slotOf(c.pdb, 229), 0x80, 0x80, 0x00, "slot 229");
  expectColour(slotOf(c.pdb, 255), 0, 0, 0, "slot 255");
}

TEST(Palette, ShuffledFileIsPutIntoOrder) {
  TestBuild t;
  std::vector<Rgb> source = orderedSource();
  for (int i = 0; i < 256; ++i) source[i].reserved = i;  // position in the ordered table
  std::shuffle(source.begin(), source.end(), std::mt19937(1234));
  Compiled c = compileBmp(t, paletteFile(source));
  ASSERT_FALSE(c.outcome.exited) << c.outcome.err;
  for (int slot = 0; slot < 230; ++slot) EXPECT_EQ(slotOf(c.pdb, slot).reserved, slot) << slot;
  EXPECT_EQ(slotOf(c.pdb, 255).reserved, 230);
  // The other colours follow in the order the shuffled file holds them.
  std::vector<int> expected;
  for (const Rgb& e : source)
    if (e.reserved > 230) expected.push_back(e.reserved);
  for (int slot = 230; slot < 255; ++slot) EXPECT_EQ(slotOf(c.pdb, slot).reserved, expected[slot - 230]) << slot;
}

TEST(Palette, AllBlackFileKeepsSourceOrderAroundSlot255) {
  TestBuild t;
  std::vector<Rgb> source;
  for (int i = 0; i < 256; ++i) source.push_back({0, 0, 0, i});
  Compiled c = compileBmp(t, paletteFile(source));
  ASSERT_FALSE(c.outcome.exited) << c.outcome.err;
  EXPECT_EQ(c.outcome.err, "");
  EXPECT_EQ(slotOf(c.pdb, 255).reserved, 0);
  for (int slot = 0; slot < 255; ++slot) EXPECT_EQ(slotOf(c.pdb, slot).reserved, slot + 1) << slot;
  // Every shade of black is the first black slot.
  for (int s = 1; s < 5; ++s)
    for (int i = 0; i < 256; ++i) ASSERT_EQ(c.pdb.data(s + 1)[i], 0) << "P" << s << " " << i;
}

TEST(Palette, DuplicateColoursLowerSourceIndexTakenFirst) {
  TestBuild t;
  // The others first, one of them a second white, before the standard white.
  std::vector<Rgb> source = otherColours();
  source[3] = {0xFF, 0xFF, 0xFF};
  for (const Rgb& s : standardColours()) source.push_back(s);
  for (int i = 0; i < 256; ++i) source[i].reserved = i;
  Compiled c = compileBmp(t, paletteFile(source));
  ASSERT_FALSE(c.outcome.exited) << c.outcome.err;
  EXPECT_EQ(slotOf(c.pdb, 0).reserved, 3);
  // Left over: the others (source 0 to 24 but 3), then the standard white.
  std::vector<int> rest;
  for (int slot = 230; slot < 255; ++slot) rest.push_back(slotOf(c.pdb, slot).reserved);
  std::vector<int> expected = {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25};
  EXPECT_EQ(rest, expected);
}

TEST(Palette, MissingColourTakesNearestUnusedEntry) {
  TestBuild t;
  // (FF, CC, FF) is missing; a second white stands in source 1. The gray EE
  // (17, 34, 17 away: 1734) is nearer than the white and three cube colours
  // (0x33 away: 2601), so it moves to slot 1; the pick for EE then finds the
  // second white nearest (3 x 17 squared: 867).
  std::vector<Rgb> source = orderedSource();
  source[1] = {0xFF, 0xFF, 0xFF};
  for (int i = 0; i < 256; ++i) source[i].reserved = i;
  Compiled c = compileBmp(t, paletteFile(source));
  ASSERT_FALSE(c.outcome.exited) << c.outcome.err;
  EXPECT_EQ(c.outcome.err, "");
  EXPECT_EQ(slotOf(c.pdb, 0).reserved, 0);
  EXPECT_EQ(slotOf(c.pdb, 1).reserved, 224);
  EXPECT_EQ(slotOf(c.pdb, 224).reserved, 1);
  for (int slot = 2; slot < 224; ++slot) EXPECT_EQ(slotOf(c.pdb, slot).reserved, slot);
  for (int slot = 225; slot < 230; ++slot) EXPECT_EQ(slotOf(c.pdb, slot).reserved, slot);
  for (int slot = 230; slot < 255; ++slot) EXPECT_EQ(slotOf(c.pdb, slot).reserved, slot + 1);
  EXPECT_EQ(slotOf(c.pdb, 255).reserved, 230);
}

TEST(Palette, ShadeTablesDarkenByHand) {
  TestBuild t;
  std::vector<Rgb> source = orderedSource();
  // Slots 230 to 234 get colours whose darker steps are exact entries.
  source[231] = {0x30, 0x60, 0x90};  // -48 -> (00,30,60) -48 -> (00,00,30) -40 -> (00,00,08) -> black
  source[232] = {0x00, 0x30, 0x60};
  source[233] = {0x00, 0x00, 0x30};
  source[234] = {0x00, 0x00, 0x08};
  source[235] = {48, 48, 48};  // exactly 48: black after one step, not below
  Compiled c = compileBmp(t, paletteFile(source));
  ASSERT_FALSE(c.outcome.exited) << c.outcome.err;
  auto shade = [&](int table, int slot) { return int(c.pdb.data(1 + table)[slot]); };
  for (int i = 0; i < 256; ++i) ASSERT_EQ(shade(0, i), i);
  // White: 207 is nearest CC (27 against DD's 588), 159 nearest 99, 119 is
  // the gray 77 exactly, 79 nearest the gray 55 (108 against 44's 363).
  EXPECT_EQ(shade(1, 0), standardSlot(0xCC, 0xCC, 0xCC));
  EXPECT_EQ(shade(2, 0), standardSlot(0x99, 0x99, 0x99));
  EXPECT_EQ(shade(3, 0), 219);
  EXPECT_EQ(shade(4, 0), 218);
  EXPECT_EQ(shade(1, 230), 231);
  EXPECT_EQ(shade(2, 230), 232);
  EXPECT_EQ(shade(3, 230), 233);
  EXPECT_EQ(shade(4, 230), 255);
  for (int s = 1; s < 5; ++s) EXPECT_EQ(shade(s, 234), 255);
  for (int s = 1; s < 5; ++s) EXPECT_EQ(shade(s, 255), 255);
  // A pure cube colour: (FF, 33, 00) -> (CF, 03, 00) nearest (CC, 00, 00).
  EXPECT_EQ(shade(1, standardSlot(0xFF, 0x33, 0x00)), standardSlot(0xCC, 0x00, 0x00));
  EXPECT_EQ(t.run.graphics.shadeTables[1][0], standardSlot(0xCC, 0xCC, 0xCC));
}

TEST(Palette, WhiteAtP4IsTheExact4FGrayWhenPresent) {
  TestBuild t;
  std::vector<Rgb> source = orderedSource();
  source[240] = {0x4F, 0x4F, 0x4F};
  Compiled c = compileBmp(t, paletteFile(source));
  ASSERT_FALSE(c.outcome.exited) << c.outcome.err;
  EXPECT_EQ(c.pdb.data(5)[0], 239);
}

TEST(Palette, BecomesTheActivePaletteAndTheLastOneWins) {
  TestBuild t;
  std::vector<Rgb> first = orderedSource(), second = orderedSource();
  second[231] = {1, 2, 3};
  std::string a = t.dir.write("a.bmp", paletteFile(first));
  std::string b = t.dir.write("b.bmp", paletteFile(second));
  auto o = capture([&] {
    findCompiler("PA")(t.run, a, "PA", t.db());
    EXPECT_TRUE(t.run.graphics.havePalette);
    findCompiler("PA")(t.run, b, "PA", t.db());
  });
  ASSERT_FALSE(o.exited) << o.err;
  const PaletteEntry& e = t.run.graphics.activePalette[230];
  EXPECT_EQ(e.red, 1);
  EXPECT_EQ(e.green, 2);
  EXPECT_EQ(e.blue, 3);
  EXPECT_EQ(t.finish().recordCount(), 12);
}

TEST(Palette, ListsOnlyTheFirstPaletteInFileOrder) {
  TestBuild t;
  std::string listingPath = t.dir.path("palette.txt");
  t.run.options.paletteListing = std::fopen(listingPath.c_str(), "w");
  ASSERT_NE(t.run.options.paletteListing, nullptr);
  std::vector<Rgb> first = otherColours();
  first[0] = {30, 20, 10, 7};
  for (const Rgb& s : standardColours()) first.push_back(s);
  std::string a = t.dir.write("a.bmp", paletteFile(first));
  std::string b = t.dir.write("b.bmp", paletteFile(orderedSource()));
  auto o = capture([&] {
    compilePalette(t.run.graphics, t.run.options.paletteListing, a, "PA", t.db());
    EXPECT_EQ(t.run.options.paletteListing, nullptr);
    compilePalette(t.run.graphics, t.run.options.paletteListing, b, "PA", t.db());
  });
  ASSERT_FALSE(o.exited) << o.err;
  std::string expected = "0) (10, 20, 30, 7)\n";
  for (int i = 1; i < 256; ++i) {
    const Rgb& c = first[i];
    expected += std::to_string(i) + ") (" + std::to_string(c.b) + ", " + std::to_string(c.g) + ", " +
                std::to_string(c.r) + ", 0)\n";
  }
  EXPECT_EQ(testing::readTextFile(listingPath), expected);
}

TEST(Palette, HeaderVariantsAreReadFromTheirOwnColourTable) {
  for (uint32_t infoSize : {40u, 52u, 56u, 64u, 108u, 124u}) {
    TestBuild t;
    TestBmp s = paletteBmp(orderedSource());
    s.infoSize = infoSize;
    s.colorsUsed = 0;   // accepted like 256
    s.topDown = true;   // top-down rows do not matter to a palette
    s.compression = 1;  // nor run-length pixels
    Compiled c = compileBmp(t, makeBmp(s));
    ASSERT_FALSE(c.outcome.exited) << infoSize << ": " << c.outcome.err;
    expectColour(slotOf(c.pdb, 0), 0xFF, 0xFF, 0xFF, std::to_string(infoSize));
    expectColour(slotOf(c.pdb, 230), 0x10, 0x40, 0x07, std::to_string(infoSize));
  }
}

struct Refusal {
  std::string name;
  Bytes bmp;
  std::string message;  // the driver adds where the file is
};

// A palette file whose information header claims infoSize bytes.
Bytes paletteHeaderOf(uint32_t infoSize) {
  Bytes b = paletteFile(orderedSource());
  testing::putLE(b, 14, infoSize, 4);
  return b;
}

TEST(Palette, OS2HeaderWithThreeByteColours) {
  // 14 + 12 header bytes, 256 colours of blue, green, red, then 8 x 1 pixels.
  std::vector<Rgb> source = orderedSource();
  Bytes b = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0, 0, 8, 0, 1, 0, 1, 0, 8, 0};
  for (const Rgb& c : source) b.insert(b.end(), {uint8_t(c.b), uint8_t(c.g), uint8_t(c.r)});
  testing::putLE(b, 10, uint32_t(b.size()), 4);
  b.resize(b.size() + 8);
  testing::putLE(b, 2, uint32_t(b.size()), 4);
  TestBuild t;
  Compiled c = compileBmp(t, b);
  ASSERT_FALSE(c.outcome.exited) << c.outcome.err;
  TestBuild u;
  Compiled windows = compileBmp(u, paletteFile(source));
  EXPECT_EQ(Bytes(c.pdb.bytes.begin() + 78, c.pdb.bytes.end()), Bytes(windows.pdb.bytes.begin() + 78, windows.pdb.bytes.end()));
}

TEST(Palette, RefusesWhatItCannotReadWithStatus1) {
  TestBmp fourBit = paletteBmp(std::vector<Rgb>(16, Rgb{1, 2, 3}));
  fourBit.bitsPerPixel = 4;
  fourBit.colorsUsed = 16;
  TestBmp sixteen = paletteBmp(std::vector<Rgb>(16, Rgb{1, 2, 3}));
  sixteen.colorsUsed = 16;
  TestBmp manyColours = paletteBmp(orderedSource());
  manyColours.colorsUsed = 257;
  Bytes grown = paletteFile(orderedSource());
  grown.push_back(0);
  TestBmp bitFields = paletteBmp(orderedSource());
  bitFields.compression = 3;
  Bytes shortTable = paletteFile(std::vector<Rgb>(200, Rgb{1, 2, 3}));
  testing::putLE(shortTable, 10, 14 + 40 + 1024, 4);
  Bytes overlapping = paletteFile(orderedSource());
  testing::putLE(overlapping, 10, 14 + 40 + 1000, 4);
  Bytes hugeHeader = paletteFile(orderedSource());
  testing::putLE(hugeHeader, 14, 0xFFFFFFF0u, 4);
  Bytes onlyFileHeader = {'B', 'M', 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0};

  const std::string header40 =
      "ERROR: only .bmp files with an information header of 40 bytes or more supported.  Found ";
  std::vector<Refusal> cases = {
      {"empty", {}, "ERROR: input file is not a .bmp format\n"},
      {"not BM", Bytes{'B', 'N', 6, 0, 0, 0}, "ERROR: input file is not a .bmp format\n"},
      {"PNG", testing::readFile(fixture("pl_brush.png")), "ERROR: input file is not a .bmp format\n"},
      {"size field", grown, "ERROR: file size 1086 != 1087\n"},
      {"4 bit", makeBmp(fourBit), "ERROR: only 8 bit .bmp file with 256 colors.  Found 4: 16\n"},
      {"16 colours", makeBmp(sixteen), "ERROR: only 8 bit .bmp file with 256 colors.  Found 8: 16\n"},
      {"257 colours", makeBmp(manyColours), "ERROR: only 8 bit .bmp file with 256 colors.  Found 8: 257\n"},
      {"24 bit", testing::readFile(fixture("im_brush24.bmp")),
       "ERROR: only 8 bit .bmp file with 256 colors.  Found 24: 0\n"},
      {"short header", paletteHeaderOf(20), header40 + "20\n"},
      {"bit fields", makeBmp(bitFields),
       "ERROR: only uncompressed or RLE8 .bmp files supported.  Found compression 3\n"},
      {"short table", shortTable, "ERROR: .bmp colour table runs past the end of the file\n"},
      {"overlap", overlapping, "ERROR: .bmp colour table overlaps the pixel data\n"},
      {"huge header", hugeHeader, "ERROR: .bmp file too short for its information header\n"},
      {"file header only", onlyFileHeader, "ERROR: .bmp file too short for its information header\n"},
  };
  for (const Refusal& r : cases) {
    TestBuild t;
    Compiled c = compileBmp(t, r.bmp);
    EXPECT_TRUE(c.outcome.exited) << r.name;
    EXPECT_EQ(c.outcome.status, 1) << r.name;
    EXPECT_TRUE(c.outcome.pause) << r.name;
    EXPECT_EQ(c.outcome.err, r.message) << r.name;
    EXPECT_EQ(c.outcome.out, "") << r.name;
    EXPECT_EQ(c.pdb.recordCount(), 0) << r.name;
    EXPECT_FALSE(t.run.graphics.havePalette);
  }
}

TEST(Palette, FileThatCannotBeOpenedIsReportedWithTheReason) {
  TestBuild t;
  std::string missing = t.dir.path("missing.bmp");
  auto o = capture([&] { compilePalette(t.run.graphics, t.run.options.paletteListing, missing, "PA", t.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.err, "ERROR: Can not open " + missing + ": No such file or directory\n");

  std::filesystem::create_directory(t.dir.path("folder.bmp"));
  o = capture([&] { compilePalette(t.run.graphics, t.run.options.paletteListing, t.dir.path("folder.bmp"), "PA", t.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Can not open " + t.dir.path("folder.bmp") + ": Is a directory\n");
}

// Palettes saved by ImageMagick (see testdata/make_fixtures.sh): sorted colour
// tables, run-length pixels, a 40-byte and a 124-byte header.
TEST(Palette, ImageMagickPalettesCompileToTheStandardOrder) {
  Bytes first;
  for (const char* name : {"im_palette_bmp3.bmp", "im_palette_bmp5.bmp", "im_palette_raw.bmp"}) {
    TestBuild t;
    auto o = capture([&] { compilePalette(t.run.graphics, t.run.options.paletteListing, fixture(name), "PA", t.db()); });
    ASSERT_FALSE(o.exited) << name << ": " << o.err;
    testing::PdbFile pdb = t.finish();
    std::vector<Rgb> standard = standardColours();
    for (int slot = 0; slot < 230; ++slot)
      expectColour(slotOf(pdb, slot), standard[slot].r, standard[slot].g, standard[slot].b, name);
    expectColour(slotOf(pdb, 255), 0, 0, 0, name);
    std::set<std::tuple<int, int, int>> rest, others;
    for (int slot = 230; slot < 255; ++slot) rest.insert({slotOf(pdb, slot).r, slotOf(pdb, slot).g, slotOf(pdb, slot).b});
    for (const Rgb& c : otherColours()) others.insert({c.r, c.g, c.b});
    EXPECT_EQ(rest, others) << name;
    if (first.empty())
      first = pdb.bytes;
    else
      EXPECT_EQ(Bytes(pdb.bytes.begin() + 78, pdb.bytes.end()), Bytes(first.begin() + 78, first.end())) << name;
  }
  TestBuild t;
  auto o = capture([&] { compilePalette(t.run.graphics, t.run.options.paletteListing, fixture("im_gray_4bit.bmp"), "PA", t.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: only 8 bit .bmp file with 256 colors.  Found 4: 16\n");
}

TEST(Palette, SamplePaletteCompiles) {
  TestBuild t;
  std::string path = testing::samplePath("palette.bmp");
  auto o = capture([&] { compilePalette(t.run.graphics, t.run.options.paletteListing, path, "PA", t.db()); });
  ASSERT_FALSE(o.exited) << o.err;
  EXPECT_EQ(o.err, "");
  const Palette& p = t.run.graphics.activePalette;
  EXPECT_EQ(p[0].red, 0xFF);
  EXPECT_EQ(p[255].red + p[255].green + p[255].blue, 0);
  // The adventure's own colours follow the standard ones, in table order.
  EXPECT_EQ(p[230].red, 0x5A);
  EXPECT_EQ(p[254].red, 0x7B);
}

TEST(ColourMatch, ExactLowestSlotElseNearestLowestOnTie) {
  Palette p{};
  for (auto& e : p) e = {0, 200, 200, 200};
  p[7] = {0, 10, 20, 30};
  p[9] = {0, 10, 20, 30};
  p[3] = {0, 12, 20, 30};
  p[5] = {0, 8, 20, 30};
  EXPECT_EQ(matchPaletteColor(p, 10, 20, 30), 7);
  EXPECT_EQ(matchPaletteColor(p, 11, 20, 30), 3);  // 3 and 7 both 1 away: the lower slot
  EXPECT_EQ(matchPaletteColor(p, 9, 20, 30), 5);
  EXPECT_EQ(matchPaletteColor(p, 13, 20, 30), 3);
  EXPECT_EQ(matchPaletteColor(p, 255, 255, 255), 0);
}

}  // namespace
}  // namespace kiln
