// Palettes and fonts compiled by kiln as an author runs it.
#include <algorithm>
#include <filesystem>
#include <string>

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

}  // namespace
