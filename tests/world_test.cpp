// Walls and maps compiled by kiln from a configuration, as an author runs it.
#include <filesystem>
#include <string>

#include "tests/adventure.h"

namespace {

using kit::testing::Bytes;
using kit::testing::readBytes;
using kit::testing::Result;

// The sample adventure's walls and maps copied into a scratch adventures
// folder, with a configuration of our own beside them.
struct Sample : kit::testing::Adventure {
  Sample() { copySample({"walls.txt", "walls", "maps.txt", "maps"}); }
};

std::vector<Bytes> records(const std::string& path) { return kit::testing::pdbRecords(path); }

Bytes entry(uint8_t flags, uint8_t flags2, char letter, uint16_t attr10, const std::string& name) {
  Bytes e(69, 0);
  e[0] = flags, e[1] = flags2, e[2] = uint8_t(letter), e[3] = uint8_t(attr10 >> 8), e[4] = uint8_t(attr10);
  std::copy(name.begin(), name.end(), e.begin() + 5);
  return e;
}

TEST(KilnWorld, SampleWallsAndMaps) {
  Sample k;
  Result r = k.build(
      "!NAME:Quest\n"
      "!WALL:walls:Quest Walls:Walls:1.0\n"
      "WA walls.txt\n"
      "!TADV:maps:QuestMaps.QST1:Maps:1.0\n"
      "MP maps.txt\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  - Datatype <WA> from <" + k.quest + "/walls.txt>\n"), std::string::npos);

  // stone: attributes 1 and 3 set; door: 1 to 5 and 6 = 2; grate: 2, 5, 7, 6 = 3 and 8.
  Bytes attr = entry(0x84, 0x00, 'S', 12, "Dressed stone");
  Bytes door = entry(0xA7, 0x01, 'D', 20, "Oak door");
  Bytes grate = entry(0x3B, 0x02, 'G', 30, "Iron grate");
  attr.insert(attr.end(), door.begin(), door.end());
  attr.insert(attr.end(), grate.begin(), grate.end());
  EXPECT_EQ(readBytes(k.adv + "/wallattr.bin"), attr);

  auto walls = records(k.quest + "/walls.pdb");
  ASSERT_EQ(walls.size(), 4u);  // AU and three walls
  // stone.txt: views of 1, 1, 1, 2, 1, 2, 1, 1, 1 and 0 brushes, 11 in all.
  Bytes stone = {'W', 'A', 0x84, 0, 1, 2, 3, 5, 6, 8, 9, 10, 11, 11, 0x00, 0x0C, 0, 0, 0, 0, 0, 0,
                 0x00, 0x01, 0, 40, 8, 24, 0, 0, 0x00, 0};  // 1 0 40 8 24 0 0 0 0
  ASSERT_EQ(walls[1].size(), 2u + 20 + 110);
  EXPECT_EQ(Bytes(walls[1].begin(), walls[1].begin() + 32), stone);
  // The third brush of view 2 set value 8; the second of view 3 value 9.
  EXPECT_EQ(walls[1][22 + 2 * 10 + 8], 0x02);
  EXPECT_EQ(walls[1][22 + 4 * 10 + 8], 0x01);

  auto maps = records(k.quest + "/maps.pdb");
  ASSERT_EQ(maps.size(), 4u);
  // cellar.map: 8 x 6, no specials: 2 + 56 + 96 bytes, stored as 156.
  Bytes cellar = {'M', 'P', 8, 6, 0, 0, 1, 1, 0, 0, 0, 0, 'C', 'e', 'l', 'l', 'a', 'r'};
  cellar.resize(2 + 56, 0);
  ASSERT_EQ(maps[1].size(), 2u + 56 + 96 + 2);
  EXPECT_EQ(Bytes(maps[1].begin(), maps[1].begin() + 58), cellar);
  // keep.map: 12 x 10, two specials and 8 bytes of code: 2 + 56 + 12 + 8 + 240,
  // stored as 320.
  ASSERT_EQ(maps[2].size(), 2u + 56 + 12 + 8 + 240 + 2);
  EXPECT_EQ(maps[2][2 + 8], 0);
  EXPECT_EQ(maps[2][2 + 9], 8);
  Bytes specials = {10, 8, 0x00, 0x00, 0x01, 0x02, 7, 5, 0x00, 0x04, 0x01, 0x03};
  EXPECT_EQ(Bytes(maps[2].begin() + 58, maps[2].begin() + 70), specials);
  // tower.map: 6 x 6, one special and 4 bytes of code: 2 + 56 + 6 + 4 + 72.
  EXPECT_EQ(maps[3].size(), 2u + 56 + 6 + 4 + 72);
}

TEST(KilnWorld, NumbersRunOnAcrossDatabasesAndTheSideFileKeepsUp) {
  Sample k;
  k.write("more.txt", "3 walls\\stone.txt\n");
  k.write("more-maps.txt", "3 maps\\tower.map\n");
  Result r = k.build(
      "!NAME:Quest\n"
      "!WALL:walls:Quest Walls:Walls:1.0\n"
      "WA walls.txt\n"
      "MP maps.txt\n"
      "!WALL:walls2:Quest Walls 2:More walls:1.0\n"
      "WA more.txt\n"
      "MP more-maps.txt\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(records(k.quest + "/walls.pdb").size(), 7u);
  EXPECT_EQ(records(k.quest + "/walls2.pdb").size(), 3u);
  // The side file is written anew by each WA line: the last one listed stone only.
  EXPECT_EQ(readBytes(k.adv + "/wallattr.bin"), entry(0x84, 0x00, 'S', 12, "Dressed stone"));
}

TEST(KilnWorld, AFailingWallLineLeavesTheSideFileOfTheLastGoodLine) {
  Sample k;
  k.s.write("adv/wallattr.bin", "from the last good build");
  k.write("bad.txt", "3 walls\\stone.txt\n5 walls\\door.txt\n");
  Result r = k.build(
      "!NAME:Quest\n"
      "!WALL:walls:Quest Walls:Walls:1.0\n"
      "WA walls.txt\n"
      "WA bad.txt\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.substr(r.err.find("ERROR")), "ERROR: wall out of sequence 5 walls/door.txt\n  at " + k.quest + "/bad.txt:2\n");
  EXPECT_EQ(readBytes(k.adv + "/wallattr.bin").size(), 3u * 69);  // walls.txt's three walls
  EXPECT_FALSE(std::filesystem::exists(k.adv + "/wallattr.bin.tmp"));
  EXPECT_FALSE(std::filesystem::exists(k.quest + "/walls.pdb"));
}

TEST(KilnWorld, ABadMapStopsTheBuild) {
  Sample k;
  Bytes map = readBytes(k.quest + "/maps/keep.map");
  map.resize(50);  // inside the specials
  k.write("maps/keep.map", map);
  Result r = k.build("!NAME:Quest\n!TADV:maps:QuestMaps.QST1:Maps:1.0\nMP maps.txt\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.substr(r.err.find("ERROR")),
            "ERROR: error reading specials from map file " + k.quest + "/maps/keep.map.\n");
  EXPECT_FALSE(std::filesystem::exists(k.quest + "/maps.pdb"));
}

}  // namespace
