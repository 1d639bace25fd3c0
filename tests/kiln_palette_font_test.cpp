// Palettes and fonts compiled by kiln as an author runs it.
#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>

#include "kiln/graphics/graphics_test_support.h"
#include "tests/adventure.h"

namespace {

using kit::testing::Bytes;
using kit::testing::readBytes;
using kit::testing::readText;
using kit::testing::Result;

struct Kit : kit::testing::Adventure {
  Kit() { copySample({"palette.bmp", "font.txt"}); }
  std::vector<Bytes> records(const std::string& name) const { return kit::testing::pdbRecords(path(name)); }
};

TEST(KilnPaletteFont, RecordsAndTheListingOfTheFirstPalette) {
  Kit k;
  Result r = k.build("!NAME:Quest\n!TADV:q:Quest.QST1:x:1.0\nPA palette.bmp\nFN font.txt\nPA palette.bmp\n",
                     {"-palette"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  - Datatype <PA> from <" + k.quest + "/palette.bmp>\n"), std::string::npos) << r.out;
  std::vector<Bytes> rec = k.records("q.pdb");
  ASSERT_EQ(rec.size(), 1u + 6 + 1 + 6);
  const char* codes[] = {"AU", "PA", "P0", "P1", "P2", "P3", "P4", "FN", "PA", "P0", "P1", "P2", "P3", "P4"};
  for (size_t i = 0; i < rec.size(); ++i) EXPECT_EQ(std::string(rec[i].begin(), rec[i].begin() + 2), codes[i]);
  // Slot 0 white, slot 255 black, P0 the identity.
  EXPECT_EQ(Bytes(rec[1].begin() + 2, rec[1].begin() + 6), (Bytes{0, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(rec[1].begin() + 2 + 1020, rec[1].begin() + 2 + 1024), (Bytes{0, 0, 0, 0}));
  for (int i = 0; i < 256; ++i) ASSERT_EQ(rec[2][2 + i], i);
  // The sample font's first glyph, the digit 0.
  EXPECT_EQ(Bytes(rec[7].begin() + 2, rec[7].begin() + 6), (Bytes{0x1C, 0x9A, 0xAC, 0x9C}));
  EXPECT_EQ(rec[1], rec[8]);

  // palette.txt, in the current folder, lists the file's own order once.
  std::string listing = readText(k.s.path("palette.txt"));
  EXPECT_EQ(listing.rfind("0) (0, 0, 0, 0)\n1) (17, 17, 17, 0)\n", 0), 0u) << listing.substr(0, 80);
  EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 256);
}

TEST(KilnPaletteFont, BadPaletteStopsTheBuildLeavingNoDatabase) {
  Kit k;
  k.write("four.bmp", Bytes{'B', 'M', 6, 0, 0, 0});
  Result r = k.build("!NAME:Quest\n!TADV:q:Quest.QST1:x:1.0\nPA four.bmp\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ERROR: .bmp file too short for its information header\n"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(k.quest + "/q.pdb"));
}

TEST(KilnPaletteFont, PaletteFaultNamesItsFileOnce) {
  Kit k;
  Bytes sixteen = readBytes(k.path("palette.bmp"));
  sixteen[46] = 16;  // colours used: 16 of 256
  sixteen[47] = 0;
  k.write("sixteen.bmp", sixteen);
  k.write("picture.png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
  const std::pair<const char*, const char*> cases[] = {
      {"sixteen.bmp", "ERROR: only 8 bit .bmp file with 256 colors.  Found 8: 16\n"},
      {"picture.png", "ERROR: input file is not a .bmp format\n"},
  };
  for (const auto& [file, message] : cases) {
    Result r = k.build(std::string("!NAME:Quest\n!TADV:q:Quest.QST1:x:1.0\nPA ") + file + "\n");
    EXPECT_EQ(r.status, 1) << file;
    EXPECT_EQ(r.err, std::string("Talmoric ][ Resource Compiler. V0.99.1\n") + message + "  at " + k.path(file) + "\n");
  }
}

// A B8 list against the sample palette, built with -hist: the colour warning
// once for a file listed twice, the totals line, the record, and the report's
// lines after the last database is finished.
TEST(KilnPaletteFont, EightBitListAndItsHistogram) {
  Kit k;
  kiln::testing::TestBmp t;
  t.colours = {kiln::testing::rgb(255, 255, 255), kiln::testing::rgb(255, 0, 0), kiln::testing::rgb(1, 2, 3),
               kiln::testing::rgb(0, 0, 0)};
  t.rows = {{0, 1, 2, 3}};
  k.write("a.bmp", kiln::testing::makeBmp(t));
  k.write("list.txt", "0 a.bmp\n1 a.bmp\n");
  Result r = k.build("!NAME:Quest\n!TILE:t:Quest tiles:x:1.0\nPA palette.bmp\nB8 list.txt\n", {"-hist"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Talmoric ][ Resource Compiler. V0.99.1\n"
                   "\nWARNING: could not find exact color match\n         brush: " + k.path("a.bmp") + "\n");
  EXPECT_NE(r.out.find("  - Datatype <B8> from <" + k.path("list.txt") + ">\n"
                       "    Total size: 18    Uncompressed size 18.\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(" data bytes.\n"
                       "Saving histogram file: histogram.txt\n"
                       "\n====================================================\nDone.\n"),
            std::string::npos)
      << r.out;
  // White is slot 0, black slot 255 (and nearest to 1, 2, 3); the red pixel
  // is transparent: mask 1011, its byte 0, not counted.
  std::vector<Bytes> rec = k.records("t.pdb");
  ASSERT_EQ(rec.size(), 9u);
  EXPECT_EQ(rec[7], (Bytes{'B', '8', 4, 1, 8, 1, 0xB0, 0, 0, 0xFF, 0xFF, 0}));
  EXPECT_EQ(rec[8], rec[7]);

  std::string report = readText(k.s.path("histogram.txt"));
  EXPECT_EQ(report.rfind("##    Count    0xRGB       R  G  B\n"
                         "==========================================\n"
                         " 0)  2       0xffffff  (255, 255, 255)\n"
                         " 1)  0       0xffccff  (255, 204, 255)\n",
                         0),
            0u)
      << report.substr(0, 200);
  EXPECT_NE(report.find("\n 9)  0       0xcc66ff  (204, 102, 255)\n10)  0       0xcc33ff  (204, 51, 255)\n"),
            std::string::npos);
  EXPECT_NE(report.find("\n226)  0       0x000080  (0, 0, 128)\n"), std::string::npos);
  EXPECT_NE(report.find("\n228)  0       0x008000  (0, 128, 0)\n"), std::string::npos);
  EXPECT_EQ(report.substr(report.size() - 35), "\n255)  4       0x000000  (0, 0, 0)\n");
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 2 + 256);
}

TEST(KilnPaletteFont, EightBitListBeforeAnyPaletteStops) {
  Kit k;
  k.write("list.txt", "0 a.bmp\n");
  Result r = k.build("!NAME:Quest\n!TILE:t:Quest tiles:x:1.0\nT8 list.txt\nPA palette.bmp\n", {"-hist"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Talmoric ][ Resource Compiler. V0.99.1\nERROR: you must define a palette before brushes\n  at " +
                       k.path("pdbs.cfg") + ":3\n");
  EXPECT_FALSE(std::filesystem::exists(k.path("t.pdb")));
  EXPECT_FALSE(std::filesystem::exists(k.s.path("histogram.txt")));
}

}  // namespace
