#include "kiln/tables/monsters.h"

#include "kiln/tables/table_testing.h"

namespace kiln {
namespace {

using namespace testing;

// A monster line: label, name, columns 2-24, flag column (unquoted, last).
std::string monster(const std::string& label, const std::string& name, const std::vector<std::string>& numbers,
                    const std::string& flags) {
  std::string line = label + " " + name;
  for (const std::string& n : numbers) line += " " + n;
  return line + " " + flags + "\n";
}

// Columns 2 to 24 with every column's number equal to the column, so a value
// in the wrong field shows at once; min_group 16 <= max_group 17.
std::vector<std::string> plainColumns() {
  std::vector<std::string> v;
  for (int c = 2; c <= 24; ++c) v.push_back(std::to_string(c));
  return v;
}

const std::string kZeroFlags(32, '0');

Outcome compile(TestBuild& b, const std::string& text, const std::string& name = "monsters.txt") {
  return compileTable(b, compileMonsters, name, text, "MO");
}

// Payload of record i (2 + 56 × count bytes), checking the stored size.
Bytes payload(const PdbFile& pdb, int i) { return countedPayload(pdb, i, "MO", 56); }

Bytes entry(const Bytes& p, int n) { return Bytes(p.begin() + 2 + 56 * n, p.begin() + 2 + 56 * (n + 1)); }

TEST(Monsters, RealisticListLaysOutEveryField) {
  TestBuild b;
  std::vector<std::string> rat = plainColumns();
  rat[12 - 2] = "258";   // word 0x0102
  rat[23 - 2] = "5912";  // word 0x1718
  rat[24 - 2] = "6169";  // word 0x1819
  std::vector<std::string> wolf = plainColumns();
  wolf[7 - 2] = "-";
  wolf[8 - 2] = "-";
  wolf[9 - 2] = "7";
  wolf[10 - 2] = "12";
  wolf[16 - 2] = "40";
  wolf[17 - 2] = "300";   // stored and compared as 44
  wolf[12 - 2] = "-1";    // word 0xFFFF
  wolf[23 - 2] = "70000"; // low 16 bits 0x1170
  std::vector<std::string> ghost = plainColumns();
  ghost[7 - 2] = "-5";
  ghost[8 - 2] = "-";
  ghost[9 - 2] = "-";
  ghost[10 - 2] = "-";
  ghost[2 - 2] = "-1";
  ghost[3 - 2] = "256";
  Outcome o = compile(b, "# label name col2..col24 flags\r\n"
                         "\r\n" +
                             monster("rat", "\"Giant Rat\"", rat, "11" + std::string(29, '0') + "1") +
                             "# wolves come in packs\n" + monster("wolf", "Wolf", wolf, "0101") +
                             monster("ghost", "\"Grey Ghost\"", ghost, std::string(40, '1')));
  EXPECT_FALSE(o.exited) << o.err;
  EXPECT_EQ(o.err, "");
  Bytes p = payload(b.finish(), 0);
  ASSERT_EQ(p.size(), 2u + 3 * 56);
  EXPECT_EQ(p[0], 3);
  EXPECT_EQ(p[1], 0);

  const Bytes ratEntry = {
      'G', 'i', 'a', 'n', 't', ' ', 'R', 'a', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // name
      3,                                      // 24 col3
      18,                                     // 25 col18
      11,                                     // 26 col11
      16,                                     // 27 min_group
      17,                                     // 28 max_group
      20,                                     // 29 col20
      0x01, 0x02,                             // 30 col12
      4,                                      // 32 col4
      13,                                     // 33 col13
      2,                                      // 34 col2
      19,                                     // 35 col19
      0x80, 0x00, 0x00, 0x03,                 // 36 flagBits: bits 0, 1 and 31
      14,                                     // 40 col14
      15,                                     // 41 col15
      8, 9, 10,                               // 42 listValues
      0,                                      // 45 reserved
      3,                                      // 46 listCount
      7,                                      // 47 col7
      5,                                      // 48 col5
      6,                                      // 49 col6
      21,                                     // 50 col21
      22,                                     // 51 col22
      0x17, 0x18,                             // 52 col23
      0x18, 0x19,                             // 54 col24
  };
  ASSERT_EQ(ratEntry.size(), 56u);
  EXPECT_EQ(entry(p, 0), ratEntry);

  Bytes w = entry(p, 1);
  EXPECT_EQ(std::string(w.begin(), w.begin() + 5), std::string("Wolf\0", 5));
  EXPECT_EQ(w[47], 0);                     // col7 "-"
  EXPECT_EQ(Bytes(w.begin() + 42, w.begin() + 47), (Bytes{7, 12, 0, 0, 2}));
  EXPECT_EQ(w[27], 40);
  EXPECT_EQ(w[28], 44);
  EXPECT_EQ(w[30], 0xFF);
  EXPECT_EQ(w[31], 0xFF);
  EXPECT_EQ(w[52], 0x11);
  EXPECT_EQ(w[53], 0x70);
  EXPECT_EQ(Bytes(w.begin() + 36, w.begin() + 40), (Bytes{0, 0, 0, 0x0A}));  // "0101": bits 1 and 3

  Bytes g = entry(p, 2);
  EXPECT_EQ(w.size(), 56u);
  EXPECT_EQ(g[47], 0);                     // -5 counts as "-"
  EXPECT_EQ(Bytes(g.begin() + 42, g.begin() + 47), (Bytes{0, 0, 0, 0, 0}));
  EXPECT_EQ(g[34], 255);                   // col2 -1
  EXPECT_EQ(g[24], 0);                     // col3 256
  EXPECT_EQ(Bytes(g.begin() + 36, g.begin() + 40), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));  // only 32 read
}

TEST(Monsters, FlagColumnBitOrder) {
  TestBuild b;
  compile(b, monster("a", "A", plainColumns(), "1" + std::string(31, '0')) +
                 monster("b", "B", plainColumns(), std::string(31, '0') + "1") +
                 monster("c", "C", plainColumns(), "x1y1") +
                 monster("d", "D", plainColumns(), std::string(32, '0') + "1111"));
  Bytes p = payload(b.finish(), 0);
  EXPECT_EQ(Bytes(p.begin() + 2 + 36, p.begin() + 2 + 40), (Bytes{0, 0, 0, 1}));
  EXPECT_EQ(Bytes(p.begin() + 58 + 36, p.begin() + 58 + 40), (Bytes{0x80, 0, 0, 0}));
  EXPECT_EQ(Bytes(p.begin() + 114 + 36, p.begin() + 114 + 40), (Bytes{0, 0, 0, 0x0A}));
  EXPECT_EQ(Bytes(p.begin() + 170 + 36, p.begin() + 170 + 40), (Bytes{0, 0, 0, 0}));
}

TEST(Monsters, LongNamesWarnAndKeepTwentyFourCharacters) {
  TestBuild b;
  std::string name23 = "Ancient Red Wyrm Mother";                // 23
  std::string name30 = "Lesser Spawn of the Deep Abyss";         // 30
  std::string name22 = "Ancient Red Wyrm Mothe";                 // 22
  ASSERT_EQ(name23.size(), 23u);
  ASSERT_EQ(name30.size(), 30u);
  Outcome o = compile(b, monster("a", "\"" + name23 + "\"", plainColumns(), kZeroFlags) +
                             monster("b", "\"" + name30 + "\"", plainColumns(), kZeroFlags) +
                             monster("c", "\"" + name22 + "\"", plainColumns(), kZeroFlags));
  EXPECT_FALSE(o.exited);
  EXPECT_EQ(o.err, "Warning: Name " + name23 + " is being truncated\n  at monsters.txt:1\nWarning: Name " + name30 +
                       " is being truncated\n  at monsters.txt:2\n");
  Bytes p = payload(b.finish(), 0);
  Bytes first = entry(p, 0), second = entry(p, 1);
  EXPECT_EQ(std::string(first.begin(), first.begin() + 24), name23 + std::string(1, '\0'));
  EXPECT_EQ(std::string(second.begin(), second.begin() + 24), name30.substr(0, 24));
  EXPECT_EQ(second[24], 3);  // the next field is untouched by the name
}

TEST(Monsters, EmptyListStillAddsItsRecord) {
  TestBuild b;
  Outcome o = compile(b, "# no monsters yet\n\n");
  EXPECT_FALSE(o.exited);
  testing::PdbFile pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 1);
  EXPECT_EQ(pdb.records[0], (Bytes{'M', 'O', 0, 0}));
}

TEST(Monsters, WrongColumnCountStopsTheBuildWithTheDump) {
  std::string cols;
  for (const std::string& c : plainColumns()) cols += " " + c;
  struct Case {
    std::string line;
    std::string tail;  // how the dump ends
  } cases[] = {
      {"bat Bat" + cols + " \"" + kZeroFlags + "\"\n", "  25) |" + kZeroFlags + "|\n26 tokens read\n"},
      {"bat Bat" + cols + " " + kZeroFlags + " \n", "26 tokens read\n"},
      {"bat Bat" + cols + "\n", "  24) |24|\n25 tokens read\n"},  // 25 columns: counted 24
      {"bat\n", "  0) |bat|\n1 tokens read\n"},
  };
  for (const Case& c : cases) {
    TestBuild b;
    Outcome o = compile(b, monster("ok", "Ok", plainColumns(), kZeroFlags) + c.line);
    EXPECT_TRUE(o.exited);
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.pause);
    EXPECT_EQ(o.err.substr(0, 11), "  0) |bat|\n");
    ASSERT_GE(o.err.size(), c.tail.size() + 20);
    std::string tail = c.tail + "  at monsters.txt:2\n";
    EXPECT_EQ(o.err.substr(o.err.size() - tail.size()), tail) << o.err;
    EXPECT_TRUE(b.db().recordOffsets.empty());
  }
}

TEST(Monsters, GroupSizes) {
  auto withGroup = [](const std::string& lo, const std::string& hi) {
    std::vector<std::string> v = plainColumns();
    v[16 - 2] = lo;
    v[17 - 2] = hi;
    return monster("m", "M", v, kZeroFlags);
  };
  for (auto [lo, hi] : {std::pair{"3", "3"}, std::pair{"1", "-1"}}) {  // -1 is 255, not smaller
    TestBuild b;
    Outcome o = compile(b, withGroup(lo, hi));
    EXPECT_FALSE(o.exited) << lo << " " << hi;
    EXPECT_EQ(o.err, "");
  }
  for (auto [lo, hi] : {std::pair{"4", "3"}, std::pair{"45", "300"}}) {  // 300 is 44
    TestBuild b;
    Outcome o = compile(b, withGroup(lo, hi));
    EXPECT_TRUE(o.exited) << lo << " " << hi;
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.pause);
    EXPECT_EQ(o.err, "Error: Monster min_group greater than max_group value\n  at monsters.txt:1\n");
    EXPECT_TRUE(b.db().recordOffsets.empty());
  }
}

TEST(Monsters, ReportErrorWithStatusZeroGoesOn) {
  Outcome o = capture([] { reportError("just so you know", 0); });
  EXPECT_FALSE(o.exited);
  EXPECT_EQ(o.err, "Error: just so you know\n");
  Outcome f = capture([] { reportError("stop", 4); });
  EXPECT_TRUE(f.exited);
  EXPECT_EQ(f.status, 4);
}

TEST(Monsters, EachLineHasItsOwnRecord) {
  TestBuild b;
  compile(b, monster("a", "Orc", plainColumns(), kZeroFlags) + monster("b", "Troll", plainColumns(), kZeroFlags),
          "first.txt");
  compile(b, monster("c", "Imp", plainColumns(), kZeroFlags), "second.txt");
  testing::PdbFile pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 2);
  Bytes second = payload(pdb, 1);
  EXPECT_EQ(second[0], 1);
  EXPECT_EQ(std::string(second.begin() + 2, second.begin() + 5), "Imp");
}

TEST(Monsters, AtMost255Monsters) {
  std::string text;
  for (int i = 0; i < 255; ++i) text += monster("m" + std::to_string(i), "M", plainColumns(), kZeroFlags);
  {
    TestBuild b;
    Outcome o = compile(b, text);
    EXPECT_FALSE(o.exited) << o.err;
    testing::PdbFile pdb = b.finish();
    EXPECT_EQ(payload(pdb, 0).size(), 2u + 255 * 56);
    EXPECT_EQ(pdb.data(0)[0], 255);
  }
  TestBuild b;
  Outcome o = compile(b, "# header\n" + text + monster("extra", "M", plainColumns(), kZeroFlags));
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: " + b.dir.path("monsters.txt") + " line 257: a monster list holds at most 255 monsters\n");
  EXPECT_TRUE(b.db().recordOffsets.empty());
}

TEST(Monsters, OpenFailureNamesMonstersTxt) {
  TestBuild b;
  Outcome o = capture([&] { compileMonsters(b.dir.path("beasts.tab"), "MO", b.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.err, "ERROR: Could not open monsters.txt file: No such file or directory\n" + at(b.dir.path("beasts.tab")));
}

TEST(Monsters, FailedTableLeavesNoDatabaseBehind) {
  std::string pdbPath, tmpPath;
  {
    TestBuild b;
    pdbPath = b.dir.path("test.pdb");
    tmpPath = pdbPath + ".tmp";
    std::vector<std::string> v = plainColumns();
    v[16 - 2] = "9";
    v[17 - 2] = "2";
    Outcome o = compile(b, monster("a", "Orc", plainColumns(), kZeroFlags) + monster("b", "Bad", v, kZeroFlags));
    ASSERT_TRUE(o.exited);
    // The run ends here: the database is dropped unfinished.
    b.run.openDatabase.reset();
    EXPECT_FALSE(testing::fileExists(pdbPath));
    EXPECT_FALSE(testing::fileExists(tmpPath));
  }
}

}  // namespace
}  // namespace kiln
