#include "kiln/tables/objects.h"

#include <utility>

#include "kiln/tables/table_testing.h"

namespace kiln {
namespace {

using namespace testing;

Outcome compile(TestBuild& b, const std::string& table) {
  return compileTable(b, compileObjects, "objects.txt", table, "OB");
}

// A 46-byte entry worked out by hand: the name at 12 and the bytes listed.
Bytes entry(const std::string& name, std::initializer_list<std::pair<int, int>> bytes) {
  return handEntry(46, 12, 20, name, bytes);
}

const char* kQuestObjects =
    "# Objects of the quest\n"
    "#  name          2 3 4 5 6 7   8   9  10    11 12 attr val bonus val type ...\n"
    "0 \"Short Sword\"  1 2 1 0 3 100 250 -1 70000 4  5  strength 2 light 1 HandWeapon 6 7 8 9 10\n"
    "1 \"Wand of Fire\" 0 0 0 7 0 300 0 0 0 0 0 intelligence 1 experience 5 SpellWeapon 11 12 13 99 99\n"
    "2 \"Iron Helm\"    0 0 0 0 0 50 0 0 0 0 0 armorclass 1 stamina 0 Protection helmet 1 2 3 4\n"
    "\n"
    "3 \"Ruby Ring\"    0 0 0 0 0 500 0 0 0 0 0 resist_fire 10 resist_magic 3 Jewelry ring resist_fire 5 6\n"
    "4 Apple          0 0 0 0 2 0 0 0 0 0 0 hitpoints 0 dexterity 0 Fruit cure_poison 3 4\n"
    "5 \"Blue Potion\"  0 0 0 0 0 0 0 0 0 0 0 spellpoints 0 spellpoints 0 Potion experience 7 8\n"
    "6 Torch          0 0 0 0 0 0 0 0 0 0 0 strength 0 strength 0 Torch 1 2 3\n"
    "7 \"Brass Key\"    0 0 0 0 0 0 0 0 0 0 0 strength 0 strength 0 Misc 42 43 44 45 46\n";

// The hints after an unknown attribute word: the lists are short enough to print.
const char kAttributes[] =
    "  expected one of: strength, dexterity, intelligence, stamina, hitpoints, spellpoints, armorclass, "
    "resist_fire, resist_magic, experience\n";
const char kJewelryAttributes[] =
    "  expected one of: strength, dexterity, intelligence, stamina, hitpoints, spellpoints, armorclass, "
    "resist_fire, resist_magic\n";

TEST(Objects, RealisticTable) {
  TestBuild b;
  auto o = compile(b, kQuestObjects);
  EXPECT_FALSE(o.exited) << o.err;
  EXPECT_EQ(o.err, "");
  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 1);
  EXPECT_EQ(pdb.code(0), "OB");
  Bytes want = {0, 8};
  for (const Bytes& e : {
           entry("Short Sword", {{0, 0x00}, {1, 0x64}, {2, 0x00}, {3, 0xFA}, {4, 0xFF}, {5, 0xFF}, {6, 0x11},
                                 {7, 0x70}, {8, 2}, {9, 0}, {10, 1}, {11, 2}, {33, 3}, {34, 1}, {35, 0}, {36, 5},
                                 {37, 0x40}, {38, 6}, {39, 7}, {40, 8}, {41, 9}, {42, 11}, {43, 1}, {44, 10},
                                 {45, 4}}),
           entry("Wand of Fire", {{0, 0x01}, {1, 0x2C}, {8, 1}, {9, 2}, {35, 1}, {37, 0x20}, {38, 11}, {39, 12},
                                  {42, 10}, {43, 5}, {44, 13}}),
           entry("Iron Helm", {{1, 0x32}, {8, 1}, {9, 6}, {42, 3}, {37, 0x10}, {38, 0x01}, {39, 1}, {40, 2},
                               {41, 3}, {44, 4}}),
           entry("Ruby Ring", {{0, 0x01}, {1, 0xF4}, {8, 10}, {9, 7}, {42, 8}, {43, 3}, {37, 0x02}, {38, 0x08},
                               {39, 5}, {40, 7}, {44, 6}}),
           entry("Apple", {{33, 2}, {9, 4}, {42, 1}, {37, 0x08}, {38, 3}, {39, 12}, {44, 4}}),
           entry("Blue Potion", {{9, 5}, {42, 5}, {37, 0x04}, {38, 7}, {39, 10}, {44, 8}}),
           entry("Torch", {{37, 0x80}, {38, 1}, {39, 2}, {44, 3}}),
           entry("Brass Key", {{37, 0x01}, {38, 42}, {44, 43}}),
       })
    want.insert(want.end(), e.begin(), e.end());
  ASSERT_EQ(want.size(), 2 + 8 * 46u);  // "OB" + 370 is a multiple of 4: no padding
  EXPECT_EQ(pdb.data(0), want);
}

TEST(Objects, ThreeObjectsArePaddedTo144) {
  TestBuild b;
  std::string table;
  for (int i = 0; i < 3; ++i) table += std::to_string(i) + " Stone 0 0 0 0 0 0 0 0 0 0 0 strength 0 strength 0 Misc 0 0\n";
  compile(b, table);
  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 1);
  EXPECT_EQ(pdb.records[0].size(), 144u);
  EXPECT_EQ(testing::be16(pdb.data(0), 0), 3);
}

TEST(Objects, TableWithoutObjectsAddsNoRecord) {
  TestBuild b;
  compile(b, "");
  compile(b, "# none yet\n\n");
  EXPECT_EQ(b.finish().recordCount(), 0);
}

TEST(Objects, EachTableNumbersFromZero) {
  TestBuild b;
  const char* one = "0 Stone 0 0 0 0 0 0 0 0 0 0 0 strength 0 strength 0 Misc 0 0\n";
  EXPECT_FALSE(compile(b, one).exited);
  EXPECT_FALSE(compile(b, one).exited);
  EXPECT_EQ(b.finish().recordCount(), 2);
}

TEST(Objects, SequenceAndNameLength) {
  TestBuild b;
  auto o = compile(b, "1 Stone\n");
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.err, "Object out of sequence - found 1 expected 0\n  at objects.txt:1\n");

  const std::string rest = " 0 0 0 0 0 0 0 0 0 0 0 strength 0 strength 0 Misc 0 0\n";
  o = compile(b, "0 Stone" + rest + "0 Stone" + rest);
  EXPECT_EQ(o.err, "Object out of sequence - found 0 expected 1\n  at objects.txt:2\n");

  o = compile(b, "0 " + std::string(21, 'n') + rest);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "0 Name too long 21 must be <= 20\n  at objects.txt:1\n");

  TestBuild ok;
  o = compile(ok, "0 " + std::string(20, 'n') + rest);
  EXPECT_FALSE(o.exited) << o.err;
  Bytes data = ok.finish().data(0);
  EXPECT_EQ(Bytes(data.begin() + 2 + 12, data.begin() + 2 + 32), Bytes(20, 'n'));
  EXPECT_EQ(data[2 + 32], 0);
}

// One object line with the keyword columns given.
std::string objectLine(int number, const std::string& attr, const std::string& bonus, const std::string& type,
                       const std::string& c18 = "0", const std::string& c19 = "0") {
  return std::to_string(number) + " Thing 0 0 0 0 0 0 0 0 0 0 0 " + attr + " 0 " + bonus + " 0 " + type + " " + c18 +
         " " + c19 + " 0 0 0\n";
}

// The entry bytes of the first object of a one-line table.
Bytes compileOne(const std::string& line) { return firstEntry(compileObjects, "objects.txt", line, "OB", 46); }

TEST(Objects, AttributeColumnsAcceptTheirOwnWords) {
  const std::pair<const char*, int> common[] = {
      {"strength", 0},    {"dexterity", 1},  {"intelligence", 2}, {"stamina", 3},      {"hitpoints", 4},
      {"spellpoints", 5}, {"armorclass", 6}, {"resist_fire", 7},  {"resist_magic", 8}, {"experience", 10},
  };
  for (auto [word, code] : common) {
    Bytes e = compileOne(objectLine(0, word, word, "Potion", word));
    EXPECT_EQ(e[9], code) << word;
    EXPECT_EQ(e[42], code) << word;
    EXPECT_EQ(e[39], code) << word;  // potion attribute
    e = compileOne(objectLine(0, "strength", "strength", "Fruit", word));
    EXPECT_EQ(e[39], code) << word;
    if (code != 10) {
      e = compileOne(objectLine(0, "strength", "strength", "Jewelry", "ring", word));
      EXPECT_EQ(e[40], code) << word;
    }
  }
  EXPECT_EQ(compileOne(objectLine(0, "strength", "light", "Misc"))[42], 11);
  EXPECT_EQ(compileOne(objectLine(0, "strength", "strength", "Fruit", "cure_poison"))[39], 12);
  EXPECT_EQ(compileOne(objectLine(0, "strength", "strength", "Fruit", "cure_insanity"))[39], 13);
}

TEST(Objects, AttributeColumnsRejectOtherWords) {
  TestBuild b;
  const std::string first = objectLine(0, "strength", "strength", "Misc");
  struct Case {
    std::string line;
    std::string message;
    std::string hint;  // after "  at objects.txt:2"
  } cases[] = {
      {objectLine(1, "light", "strength", "Misc"), "1 Invalid attribute <light>\n", kAttributes},
      {objectLine(1, "Strength", "strength", "Misc"), "1 Invalid attribute <Strength>\n",
       "  did you mean 'strength'?\n"},
      {objectLine(1, "cure_poison", "strength", "Misc"), "1 Invalid attribute <cure_poison>\n", kAttributes},
      {objectLine(1, "strength", "Light", "Misc"), "1 Invalid bonusAttrib <Light>\n", "  did you mean 'light'?\n"},
      {objectLine(1, "strength", "cure_insanity", "Misc"), "1 Invalid bonusAttrib <cure_insanity>\n",
       "  expected one of: strength, dexterity, intelligence, stamina, hitpoints, spellpoints, armorclass, "
       "resist_fire, resist_magic, experience, light\n"},
      {objectLine(1, "strength", "strength", "Jewelry", "ring", "experience"), "1 Invalid attribute <experience>\n",
       kJewelryAttributes},
      {objectLine(1, "strength", "strength", "Jewelry", "ring", "light"), "1 Invalid attribute <light>\n",
       kJewelryAttributes},
      {objectLine(1, "strength", "strength", "Potion", "cure_poison"), "1 Invalid attribute <cure_poison>\n",
       kAttributes},
      {objectLine(1, "strength", "strength", "Potion", "light"), "1 Invalid attribute <light>\n", kAttributes},
      {objectLine(1, "strength", "strength", "Fruit", "light"), "1 Invalid attribute <light>\n",
       "  expected one of: strength, dexterity, intelligence, stamina, hitpoints, spellpoints, armorclass, "
       "resist_fire, resist_magic, experience, cure_poison, cure_insanity\n"},
      // A missing column is an empty token, which is no keyword.
      {"1 Pebble\n", "1 Invalid attribute <>\n", kAttributes},
  };
  for (const Case& c : cases) {
    auto o = compile(b, first + c.line);
    EXPECT_TRUE(o.exited) << c.line;
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, c.message + "  at objects.txt:2\n" + c.hint);
  }
}

TEST(Objects, TypesAndWearSlots) {
  const std::pair<const char*, int> types[] = {
      {"Misc", 0x01},       {"Jewelry", 0x02},     {"Potion", 0x04},     {"Fruit", 0x08},
      {"Protection", 0x10}, {"SpellWeapon", 0x20}, {"HandWeapon", 0x40}, {"Torch", 0x80},
  };
  for (auto [word, code] : types) {
    std::string c18 = code == 0x02 ? "necklace" : code == 0x10 ? "boots" : code == 0x04 || code == 0x08 ? "stamina" : "9";
    std::string c19 = code == 0x02 ? "stamina" : "9";
    EXPECT_EQ(compileOne(objectLine(0, "strength", "strength", word, c18, c19))[37], code) << word;
  }
  const std::pair<const char*, int> protection[] = {{"helmet", 0x01},   {"shield", 0x02},  {"armor", 0x04},
                                                    {"gauntlet", 0x20}, {"bracers", 0x40}, {"boots", 0x80}};
  for (auto [word, bit] : protection)
    EXPECT_EQ(compileOne(objectLine(0, "strength", "strength", "Protection", word))[38], bit) << word;
  EXPECT_EQ(compileOne(objectLine(0, "strength", "strength", "Jewelry", "ring", "stamina"))[38], 0x08);
  EXPECT_EQ(compileOne(objectLine(0, "strength", "strength", "Jewelry", "necklace", "stamina"))[38], 0x10);

  TestBuild b;
  struct Case {
    std::string line;
    std::string message;
    std::string hint;  // after "  at objects.txt:1"
  } cases[] = {
      {objectLine(0, "strength", "strength", "misc"), "0 Invalid Object type <misc>\n", "  did you mean 'Misc'?\n"},
      {objectLine(0, "strength", "strength", "HandWepon"), "0 Invalid Object type <HandWepon>\n",
       "  did you mean 'HandWeapon'?\n"},
      {objectLine(0, "strength", "strength", "Weapon"), "0 Invalid Object type <Weapon>\n",
       "  expected one of: Misc, Jewelry, Potion, Fruit, Protection, SpellWeapon, HandWeapon, Torch\n"},
      {objectLine(0, "strength", "strength", "Protection", "ring"), "0  Invalid protection device <ring>\n",
       "  expected one of: helmet, shield, armor, gauntlet, bracers, boots\n"},
      {objectLine(0, "strength", "strength", "Protection", "Helmet"), "0  Invalid protection device <Helmet>\n",
       "  did you mean 'helmet'?\n"},
      {objectLine(0, "strength", "strength", "Jewelry", "helmet", "stamina"), "0 Invalid jewelry type <helmet>\n",
       "  expected one of: ring, necklace\n"},
      {objectLine(0, "strength", "strength", "Jewelry", "armor", "stamina"), "0 Invalid jewelry type <armor>\n",
       "  expected one of: ring, necklace\n"},
  };
  for (const Case& c : cases) {
    auto o = compile(b, c.line);
    EXPECT_EQ(o.status, 1) << c.line;
    EXPECT_EQ(o.err, c.message + "  at objects.txt:1\n" + c.hint);
  }
}

TEST(Objects, MiscLeavesTheUnusedTypeBytesAlone) {
  Bytes e = compileOne("0 Key 0 0 0 0 0 0 0 0 0 0 0 strength 0 strength 0 Misc 1 2 3 4 5\n");
  EXPECT_EQ(e[38], 1);
  EXPECT_EQ(e[39], 0);
  EXPECT_EQ(e[40], 0);
  EXPECT_EQ(e[41], 0);
  EXPECT_EQ(e[44], 2);
}

TEST(Objects, NumbersKeepTheirLowBits) {
  // Bytes 255 and 256, words -1 and 65537, flags from any non-zero value.
  Bytes e = compileOne("0 Odd -1 256 -5 x1 2 -1 65537 +7 abc 511 -256 strength 300 strength -2 Misc 0 0\n");
  EXPECT_EQ(e[34], 0xFF);  // col2
  EXPECT_EQ(e[11], 0x00);  // col3
  EXPECT_EQ(e[10], 1);     // col4 flag of -5
  EXPECT_EQ(e[35], 0);     // col5 flag of a non-number
  EXPECT_EQ((Bytes{e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[7]}), (Bytes{0xFF, 0xFF, 0, 1, 0, 7, 0, 0}));
  EXPECT_EQ(e[45], 0xFF);  // col11: 511
  EXPECT_EQ(e[36], 0x00);  // col12: -256
  EXPECT_EQ(e[8], 44);     // 300
  EXPECT_EQ(e[43], 0xFE);

  // Numbers beyond an int wrap around rather than being undefined.
  e = compileOne("0 Big 0 0 0 0 0 4294967297 -4294967298 99999999999999999999 0 0 0 strength 0 strength 0 Misc 0 0\n");
  EXPECT_EQ((Bytes{e[0], e[1], e[2], e[3]}), (Bytes{0x00, 0x01, 0xFF, 0xFE}));
  EXPECT_EQ((Bytes{e[4], e[5]}), (Bytes{0xFF, 0xFF}));  // 10^20 - 1 keeps its low bits, 0x...FFFF
}

TEST(Objects, MoreThan65535ObjectsAreRefused) {
  std::string table;
  table.reserve(65536 * 60);
  for (int i = 0; i < 65536; ++i) table += std::to_string(i) + " x 0 0 0 0 0 0 0 0 0 0 0 strength 0 strength 0 Misc\n";
  TestBuild b;
  auto o = compile(b, table);
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: " + b.dir.path("objects.txt") + " line 65536: an object table holds at most 65535 objects\n");
}

TEST(Objects, TableThatCannotBeOpened) {
  TestBuild b;
  auto o = capture([&] { compileObjects(b.dir.path("none.txt"), "OB", b.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Could not open object file: No such file or directory\n" + at(b.dir.path("none.txt")));
}

}  // namespace
}  // namespace kiln
