#include "kiln/tables/heroes.h"

#include <utility>

#include "kiln/tables/table_testing.h"

namespace kiln {
namespace {

using namespace testing;

Outcome compile(TestBuild& b, const std::string& table) {
  return compileTable(b, compileHeroes, "heroes.txt", table, "HE");
}

// A 108-byte entry worked out by hand: the name at 4 and the bytes listed.
Bytes entry(const std::string& name, std::initializer_list<std::pair<int, int>> bytes) {
  return handEntry(108, 4, 10, name, bytes);
}

const char* kParty =
    "# label name  col2 pronoun class  5  6  7  8  9 10 slot inn 13 14 15 16 17    items\n"
    "A \"Aldric\"    1 him class0      30 10  5 12 14  3  1   -    16 14 12 10 1000  2 17 20\n"
    "B \"Brynna\"    2 her class3      24 18  6 10 11  4  1   -    11 17 15 13 70000 1 31\n"
    "C \"Cedric\"    3 him class31     20 22  7  9  8  5  1   255   9 12 18 16 -1    0\n"
    "\n"
    "D Innkeeper   4 it  class5      15  0  1  2  3  4  0   2     5  5  5  5 0     0\n"
    "E Wisp        5 it  elemental   40  0  9  9  9  9  x   -     1  1  1  1 0     0\n"
    "F End         0 it  endoflist    0  0  0  0  0  0  0   -     0  0  0  0 0     0\n";

TEST(Heroes, RealisticList) {
  TestBuild b;
  auto o = compile(b, kParty);
  EXPECT_FALSE(o.exited) << o.err;
  EXPECT_EQ(o.err, "");
  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 1);
  EXPECT_EQ(pdb.code(0), "HE");
  Bytes want;
  for (const Bytes& e : {
           entry("Aldric", {{0, 0x00}, {1, 0x00}, {2, 0x03}, {3, 0xE8}, {15, 16}, {17, 12}, {19, 14}, {21, 10},
                            {23, 30}, {25, 30}, {27, 10}, {29, 10}, {31, 12}, {33, 14}, {34, 5}, {35, 3}, {36, 0},
                            {37, 2}, {39, 17}, {45, 20}, {103, 0}, {104, 1}, {105, 0}, {106, 0xFF}, {107, 0}}),
           entry("Brynna", {{1, 0x01}, {2, 0x11}, {3, 0x70}, {15, 11}, {17, 15}, {19, 17}, {21, 13}, {23, 24},
                            {25, 24}, {27, 18}, {29, 18}, {31, 10}, {33, 11}, {34, 6}, {35, 4}, {36, 3}, {37, 1},
                            {39, 31}, {103, 1}, {104, 2}, {105, 1}, {106, 0xFF}, {107, 1}}),
           entry("Cedric", {{0, 0xFF}, {1, 0xFF}, {2, 0xFF}, {3, 0xFF}, {15, 9}, {17, 18}, {19, 12}, {21, 16},
                            {23, 20}, {25, 20}, {27, 22}, {29, 22}, {31, 9}, {33, 8}, {34, 7}, {35, 5}, {36, 31},
                            {103, 0}, {104, 3}, {105, 2}, {106, 0xFF}, {107, 2}}),
           entry("Innkeeper", {{15, 5}, {17, 5}, {19, 5}, {21, 5}, {23, 15}, {25, 15}, {31, 2}, {33, 3}, {34, 1},
                               {35, 4}, {36, 5}, {103, 2}, {104, 4}, {105, 0xFF}, {106, 2}, {107, 3}}),
           entry("Wisp", {{15, 1}, {17, 1}, {19, 1}, {21, 1}, {23, 40}, {25, 40}, {31, 9}, {33, 9}, {34, 9},
                          {35, 9}, {36, 32}, {103, 2}, {104, 5}, {105, 0xFF}, {106, 0xFF}, {107, 4}}),
           entry("End", {{36, 33}, {103, 2}, {105, 0xFF}, {106, 0xFF}, {107, 5}}),
       })
    want.insert(want.end(), e.begin(), e.end());
  want.insert(want.end(), {0, 0});  // "HE" + 648 bytes, padded to 652
  EXPECT_EQ(pdb.data(0), want);
}

// A character line: label, name, pronoun, class, slot, inn, items; numbers 0.
std::string heroLine(const std::string& name, const std::string& pronoun, const std::string& cls,
                     const std::string& slot, const std::string& inn, const std::string& items = "0") {
  return "L " + name + " 0 " + pronoun + " " + cls + " 0 0 0 0 0 0 " + slot + " " + inn + " 0 0 0 0 0 " + items + "\n";
}
const std::string kEnd = heroLine("End", "it", "endoflist", "0", "-");

// The entries of a list that compiles.
Bytes compileList(const std::string& table, std::string* err = nullptr) {
  return compiledData(compileHeroes, "heroes.txt", table, "HE", 1080, err);
}

TEST(Heroes, Names) {
  std::string err;
  Bytes d = compileList(heroLine("Elspethine", "her", "class1", "1", "-") + heroLine("Tobiasandro", "him", "class1", "0", "3") +
                            heroLine("Gwendolin", "her", "class1", "0", "4") + kEnd,
                        &err);
  EXPECT_EQ(err,
            "Warning: Name Elspethine is being truncated\n  at heroes.txt:1\n"
            "Warning: Name Tobiasandro is being truncated\n  at heroes.txt:2\n");
  EXPECT_EQ(Bytes(d.begin() + 4, d.begin() + 15), Bytes({'E', 'l', 's', 'p', 'e', 't', 'h', 'i', 'n', 'e', 0x00}));
  EXPECT_EQ(Bytes(d.begin() + 108 + 4, d.begin() + 108 + 14), Bytes({'T', 'o', 'b', 'i', 'a', 's', 'a', 'n', 'd', 'r'}));
  EXPECT_EQ(Bytes(d.begin() + 216 + 4, d.begin() + 216 + 14), Bytes({'G', 'w', 'e', 'n', 'd', 'o', 'l', 'i', 'n', 0}));
}

TEST(Heroes, PronounAndClassWords) {
  const char* pronouns[] = {"him", "her", "it"};
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(compileList(heroLine("A", pronouns[i], "class0", "1", "-") + kEnd)[103], i) << pronouns[i];
  for (int i = 0; i < 32; ++i) {
    std::string cls = "class" + std::to_string(i);
    EXPECT_EQ(compileList(heroLine("A", "him", cls, "1", "-") + kEnd)[36], i) << cls;
  }
  EXPECT_EQ(compileList(heroLine("A", "him", "elemental", "1", "-") + kEnd)[36], 32);

  // Words not in the tables are reported, stored as 0, and the build goes on.
  std::string err;
  Bytes d = compileList(heroLine("A", "him", "class2", "1", "-") + heroLine("B", "She", "class32", "0", "1") +
                            heroLine("C", "them", "Class1", "0", "1") + heroLine("D", "her", "class01", "0", "1") + kEnd,
                        &err);
  EXPECT_EQ(err,
            "Error: Invalid pronoun for character 1 = She.\n  at heroes.txt:2\n  expected one of: him, her, it\n"
            "ERROR: Invalid class <class32>\n  at heroes.txt:2\n  did you mean 'class2'?\n"
            "Error: Invalid pronoun for character 2 = them.\n  at heroes.txt:3\n  expected one of: him, her, it\n"
            "ERROR: Invalid class <Class1>\n  at heroes.txt:3\n  did you mean 'class1'?\n"
            "ERROR: Invalid class <class01>\n  at heroes.txt:4\n  did you mean 'class0'?\n");
  EXPECT_EQ(d[108 + 103], 0);
  EXPECT_EQ(d[108 + 36], 0);
  EXPECT_EQ(d[324 + 36], 0);
  EXPECT_EQ(d[324 + 103], 1);
}

Outcome compileFailing(const std::string& table) {
  TestBuild b;
  return compile(b, table);
}

TEST(Heroes, SlotAndInn) {
  auto o = compileFailing(heroLine("A", "him", "class0", "1", "0") + kEnd);
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.err, "Character 0 has slot value and inn value\n  at heroes.txt:1\n");

  Bytes d = compileList(heroLine("A", "him", "class0", "1", "-") + heroLine("B", "him", "class0", "1", "255") +
                        heroLine("C", "him", "class0", "10", "-7") + heroLine("D", "him", "class0", "01", "300") + kEnd);
  EXPECT_EQ(d[105], 0);
  EXPECT_EQ(d[108 + 105], 1);
  EXPECT_EQ(d[108 + 106], 0xFF);
  EXPECT_EQ(d[216 + 105], 2);     // "10" begins with 1
  EXPECT_EQ(d[216 + 106], 0xFF);  // "-7" begins with -
  EXPECT_EQ(d[324 + 105], 0xFF);
  EXPECT_EQ(d[324 + 106], 44);    // 300
}

TEST(Heroes, ListRules) {
  std::string six;
  for (int i = 0; i < 6; ++i) six += heroLine("A", "him", "class0", "1", "-");
  EXPECT_EQ(compileFailing(six + kEnd).err, "You cannot have more than 5 characters whose slot values are set\n  at heroes.txt\n");
  EXPECT_EQ(compileFailing(heroLine("A", "him", "class0", "0", "1") + kEnd).err,
            "You need at least one characters with slot set to '1'\n  at heroes.txt\n");
  EXPECT_EQ(compileFailing(heroLine("A", "him", "class0", "1", "-")).err,
            "Last character in list must be class endoflist\n  at heroes.txt\n");
  auto o = compileFailing("# nobody\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Last character in list must be class endoflist\n  at heroes.txt\n");

  // An endoflist entry in the middle is fine when the list ends with one.
  Bytes d = compileList(heroLine("A", "him", "class0", "1", "-") + kEnd + heroLine("B", "him", "class0", "1", "-") + kEnd);
  EXPECT_EQ(d.size(), 4 * 108u + 2);  // with the padding after "HE"
}

TEST(Heroes, ElementalsComeLast) {
  const std::string a = heroLine("A", "him", "class0", "1", "-");
  const std::string elemental = heroLine("W", "it", "elemental", "0", "-");
  auto o = compileFailing(a + elemental + heroLine("C", "him", "class3", "0", "-") + kEnd);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Character 2 appeared after your elementals in the list. \n  at heroes.txt:3\n");
  // A class word not in the table counts as class 0, so it is fatal here too.
  o = compileFailing(a + elemental + heroLine("C", "him", "mage", "0", "-") + kEnd);
  EXPECT_EQ(o.err,
            "ERROR: Invalid class <mage>\n  at heroes.txt:3\n"
            "Character 2 appeared after your elementals in the list. \n  at heroes.txt:3\n");
  Bytes d = compileList(a + elemental + elemental + kEnd);
  EXPECT_EQ(d[324 + 36], 33);
}

TEST(Heroes, ItemsAndTheTokenCountWarning) {
  // Item count 2 with only one item: 20 tokens, the last unquoted.
  std::string err;
  Bytes d = compileList("Hero1 A 0 him class0 0 0 0 0 0 0 1 - 0 0 0 0 0 2 77\n" + kEnd, &err);
  EXPECT_EQ(err,
            "  0) |Hero1|\n  1) |A|\n  2) |0|\n  3) |him|\n  4) |class0|\n  5) |0|\n  6) |0|\n  7) |0|\n"
            "  8) |0|\n  9) |0|\n  10) |0|\n  11) |1|\n  12) |-|\n  13) |0|\n  14) |0|\n  15) |0|\n  16) |0|\n"
            "  17) |0|\n  18) |2|\n  19) |77|\n20 tokens read\n"
            "Found 20 tokens, expected 21 on line Hero1\n  at heroes.txt:1\n");
  EXPECT_EQ(d[37], 2);
  EXPECT_EQ(d[39], 77);
  EXPECT_EQ(d[45], 0);

  // Ten items fill the ten slots up to offset 97.
  std::string line = "H A 0 him class0 0 0 0 0 0 0 1 - 0 0 0 0 0 10";
  for (int i = 1; i <= 10; ++i) line += " " + std::to_string(256 + i);
  d = compileList(line + "\n" + kEnd, &err);
  EXPECT_EQ(err, "");
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(d[38 + 6 * i], 1);
    EXPECT_EQ(d[39 + 6 * i], 1 + i);
    EXPECT_EQ(Bytes(d.begin() + 40 + 6 * i, d.begin() + 44 + 6 * i), Bytes(4, 0));
  }
  EXPECT_EQ(d[103], 0);

  TestBuild b;
  for (const char* count : {"11", "-1"}) {
    auto o = compile(b, "H A 0 him class0 0 0 0 0 0 0 1 - 0 0 0 0 0 " + std::string(count) + " \n" + kEnd);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("ERROR: " + b.dir.path("heroes.txt") + " line 1: character 0 has an item count of " + count +
                         "; it must be 0 to 10\n"),
              std::string::npos)
        << o.err;
  }
}

TEST(Heroes, AtMost256EntriesWithTheClosingOne) {
  std::string list = heroLine("A", "him", "class0", "1", "-");
  for (int i = 1; i < 255; ++i) list += heroLine("B", "him", "class0", "0", "1");
  Bytes d = compileList(list + kEnd);
  EXPECT_EQ(d.size(), 256 * 108u + 2);
  EXPECT_EQ(d[255 * 108 + 107], 255);

  TestBuild b;
  auto o = compile(b, list + heroLine("B", "him", "class0", "0", "1") + kEnd);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: " + b.dir.path("heroes.txt") +
                       " line 257: a character list holds at most 256 entries, endoflist included\n");
}

TEST(Heroes, EachListStartsAfresh) {
  TestBuild b;
  compile(b, kParty);
  compile(b, heroLine("Zed", "him", "class0", "1", "-") + kEnd);
  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 2);
  Bytes second = pdb.data(1);
  EXPECT_EQ(second.size(), 218u);
  EXPECT_EQ(second, compileList(heroLine("Zed", "him", "class0", "1", "-") + kEnd));
  EXPECT_EQ(second[4], 'Z');
  EXPECT_EQ(second[105], 0);
}

TEST(Heroes, FileThatCannotBeOpened) {
  TestBuild b;
  auto o = capture([&] { compileHeroes(b.dir.path("party.txt"), "HE", b.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Could not open heroes.txt file: No such file or directory\n" + at(b.dir.path("party.txt")));
}

}  // namespace
}  // namespace kiln
