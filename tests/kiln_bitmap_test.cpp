// kiln building brush and tile databases from gray bitmap lists, as an author
// runs it: the fixture adventure tests/fixtures/Grays (ImageMagick-written
// BMPs, see its make_bitmaps.sh).
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/program.h"

namespace {

using kit::testing::Bytes;
using kit::testing::readBytes;
using kit::testing::Result;
using kit::testing::Scratch;

struct Grays {
  Scratch s;
  std::string adv = s.path("adv");
  std::string dir = adv + "/Grays";
  Grays() {
    std::filesystem::create_directories(adv);
    std::filesystem::copy(kit::testing::sourcePath("tests/fixtures/Grays"), dir,
                          std::filesystem::copy_options::recursive);
  }
  Result kiln(const std::string& cfg) const {
    return kit::testing::run("kiln", {"-fs", dir + "/" + cfg}, s.root.string(),
                             {{"AdventuresPath", adv}, {"TMIIDEV", ""}, {"SOURCE_DATE_EPOCH", "0"}});
  }
};

uint32_t be32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// The records of a database as stored: code, payload, zero padding.
std::vector<Bytes> records(const std::string& path) {
  Bytes b = readBytes(path);
  std::vector<Bytes> out;
  if (b.size() < 78) return out;
  size_t n = size_t(b[76]) << 8 | b[77];
  for (size_t i = 0; i < n; ++i) {
    size_t start = be32(b, 78 + 8 * i), end = i + 1 < n ? be32(b, 78 + 8 * (i + 1)) : b.size();
    out.emplace_back(b.begin() + start, b.begin() + end);
  }
  return out;
}

Bytes record(const std::string& code, Bytes payload) {
  payload.insert(payload.begin(), code.begin(), code.end());
  while (payload.size() % 4) payload.push_back(0);
  return payload;
}

// The device's unpacking of a compressed record (after code and header).
Bytes unpack(const Bytes& stored) {
  Bytes out;
  for (size_t i = 6; i < stored.size();) {
    uint8_t n = stored[i++];
    if (n < 0x80) {
      out.insert(out.end(), stored.begin() + i, stored.begin() + std::min(stored.size(), i + n));
      i += n;
    } else if (i < stored.size()) {
      out.insert(out.end(), size_t(n - 0x80), stored[i++]);
    }
  }
  return out;
}

TEST(KilnBitmaps, GrayTilesAndBrushesAtFourBits) {
  Grays g;
  Result r = g.kiln("pdbs.cfg");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  - Datatype <T4> from <" + g.dir + "/tiles/tiles.txt>\n"
                       "    Total size: 560    Uncompressed size 1058.\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  - Datatype <B4> from <" + g.dir + "/brushes/brushes.txt>\n"
                       "    Total size: 14    Uncompressed size 14.\n"),
            std::string::npos)
      << r.out;

  std::vector<Bytes> tiles = records(g.dir + "/graytiles.pdb");
  ASSERT_EQ(tiles.size(), 5u);
  // checker: white 0, 888888 level 7, 444444 level 11, black 15.
  EXPECT_EQ(tiles[1], record("T4", {8, 2, 4, 0, 0x07, 0xBF, 0xFB, 0x70, 0xFB, 0x70, 0x07, 0xBF}));
  // fog: CCCCCC is level 3; rows 0-4, the white row 5, rows 6-15 with a black
  // last pixel, packed into runs.
  EXPECT_EQ(tiles[2], record("T4", {64, 16, 4, 2, 0xFF, 0x33, 0xA1, 0x33, 0xA0, 0x00, 0xFF, 0x33, 0xFF, 0x33, 0xC1,
                                    0x33, 0x01, 0x3F}));
  Bytes fog(160, 0x33);
  fog.insert(fog.end(), 32, 0x00);
  fog.insert(fog.end(), 319, 0x33);
  fog.push_back(0x3F);
  EXPECT_EQ(unpack(tiles[2]), fog);
  // The same file with compressFlag 0.
  ASSERT_EQ(tiles[3].size(), 2u + 4u + 512u + 2u);
  EXPECT_EQ(Bytes(tiles[3].begin() + 2, tiles[3].begin() + 6), (Bytes{64, 16, 4, 0}));
  EXPECT_EQ(Bytes(tiles[3].begin() + 6, tiles[3].begin() + 518), fog);
  // rock: the red surround is masked (a set bit hides the pixel), 666666 is level 9.
  EXPECT_EQ(tiles[4], record("T4", {8, 2, 4, 1, 0xC3, 0xC3, 0x00, 0x99, 0x99, 0x00, 0x00, 0x99, 0xF9, 0x00}));

  // ramp: twenty grays 13x from an 8-bit file, level 15 - 13x / 16.
  std::vector<Bytes> walls = records(g.dir + "/graywalls.pdb");
  ASSERT_EQ(walls.size(), 2u);
  EXPECT_EQ(walls[1], record("B4", {20, 1, 4, 0, 0xFF, 0xED, 0xCB, 0xBA, 0x98, 0x77, 0x65, 0x43, 0x22, 0x10}));
}

TEST(KilnBitmaps, TwoBitsAndTheRunsOneDepth) {
  Grays g;
  g.s.write("adv/Grays/two.cfg",
                              "!NAME:Grays\n!TILE:two:Two bits:Two bits:1.0\nT2 tiles\\tiles.txt\nB2 brushes\\brushes.txt\n");
  Result r = g.kiln("two.cfg");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<Bytes> two = records(g.dir + "/two.pdb");
  ASSERT_EQ(two.size(), 6u);
  // checker at 2 bits: white 0, 888888 (blue 136) 2, 444444 2, black 3;
  // ramp: 3 up to blue 40, 2 up to 140, 1 up to 240, then 0.
  EXPECT_EQ(two[1], record("T2", {8, 2, 2, 0, 0x2B, 0xE8, 0xE8, 0x2B}));
  EXPECT_EQ(two[5], record("B2", {20, 1, 2, 0, 0xFF, 0xAA, 0xA9, 0x55, 0x54}));

  g.s.write("adv/Grays/mixed.cfg",
            "!NAME:Grays\n!TILE:mixed:Mixed bits:Mixed bits:1.0\nT4 tiles\\tiles.txt\nB2 brushes\\brushes.txt\n");
  r = g.kiln("mixed.cfg");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Mismatched bit depth graphics. <4 != 2>\n"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(g.dir + "/mixed.pdb"));
}

TEST(KilnBitmaps, AFaultyListLeavesNoDatabase) {
  Grays g;
  g.s.write("adv/Grays/tiles/bad.txt", "0 tiles\\checker.bmp\n2 tiles\\fog.bmp\n");
  g.s.write("adv/Grays/bad.cfg", "!NAME:Grays\n!TILE:bad:Bad list:Bad list:1.0\nT4 tiles\\bad.txt\n");
  Result r = g.kiln("bad.cfg");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ERROR: brush out of sequence 2 tiles/fog.bmp\n"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(g.dir + "/bad.pdb"));
  EXPECT_FALSE(std::filesystem::exists(g.dir + "/bad.pdb.tmp"));
}

// The images are read ahead on a second thread; a missing one in the middle
// of a long list, in the first database or after one, still ends the run
// when its entry is reached, with the message and status it always had, and
// the process does not linger.
TEST(KilnBitmaps, AMissingImageInALongListEndsTheRunAtItsEntry) {
  Grays g;
  std::string list;
  for (int i = 0; i < 80; ++i) list += std::to_string(i) + (i == 50 ? " tiles\\gone.bmp\n" : " tiles\\fog.bmp\n");
  g.s.write("adv/Grays/tiles/long.txt", list);
  const std::string longDatabase = "!TILE:long:Long list:Long list:1.0\nT4 tiles\\long.txt\n";
  for (const std::string& before : {std::string(), std::string("!TILE:first:First:First:1.0\nT4 tiles\\tiles.txt\n")}) {
    SCOPED_TRACE(before);
    g.s.write("adv/Grays/long.cfg", "!NAME:Grays\n" + before + longDatabase);
    Result r = g.kiln("long.cfg");
    EXPECT_EQ(r.status, 1);
    const std::string tail = "ERROR: Can not open " + g.dir + "/tiles/gone.bmp: No such file or directory\n  at " +
                             g.dir + "/tiles/long.txt:51\n";
    ASSERT_GE(r.err.size(), tail.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail) << r.err;
    EXPECT_EQ(r.out.find("Total size"), before.empty() ? std::string::npos : r.out.rfind("Total size")) << r.out;
    EXPECT_EQ(std::filesystem::exists(g.dir + "/first.pdb"), !before.empty());
    EXPECT_FALSE(std::filesystem::exists(g.dir + "/long.pdb"));
  }
}

}  // namespace
