#include "kiln/tables/monster_table.h"

#include "kiln/tables/table_testing.h"

namespace kiln {
namespace {

using namespace testing;

Outcome compile(TestBuild& b, const std::string& text, const std::string& name = "montab.txt") {
  return compileTable(b, compileMonsterTable, name, text, "MT");
}

// Payload of record i (2 + 4 × count bytes), checking the stored size.
Bytes payload(const PdbFile& pdb, int i) { return countedPayload(pdb, i, "MT", 4); }

TEST(MonsterTable, PairsAreStoredBigEndian) {
  TestBuild b;
  Outcome o = compile(b, "first 1 2\nsecond 300 -1\n");
  EXPECT_FALSE(o.exited);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(payload(b.finish(), 0), (Bytes{0x02, 0x00, 0x00, 0x01, 0x00, 0x02, 0x01, 0x2C, 0xFF, 0xFF}));
}

TEST(MonsterTable, RealisticTable) {
  TestBuild b;
  Outcome o = compile(b,
                      "# encounter   monster  weight\r\n"
                      "\r\n"
                      "forest.rat    0        40\r\n"
                      "forest.wolf   1        25\r\n"
                      "# the crypt\r\n"
                      "\"crypt ghost\" 2 1000\r\n"
                      "crypt.boss    65535    70000");  // no line end; 70000 keeps 0x1170
  EXPECT_FALSE(o.exited) << o.err;
  EXPECT_EQ(payload(b.finish(), 0), (Bytes{4, 0,                       //
                                           0x00, 0x00, 0x00, 0x28,     //
                                           0x00, 0x01, 0x00, 0x19,     //
                                           0x00, 0x02, 0x03, 0xE8,     //
                                           0xFF, 0xFF, 0x11, 0x70}));
}

TEST(MonsterTable, EmptyTableIsTwoZeroBytes) {
  TestBuild b;
  compile(b, "# nothing\n\n");
  testing::PdbFile pdb = b.finish();
  EXPECT_EQ(pdb.records[0], (Bytes{'M', 'T', 0, 0}));
}

TEST(MonsterTable, EachLineHoldsOnlyItsOwnEntries) {
  TestBuild b;
  compile(b, "a 1 1\nb 2 2\n", "one.txt");
  compile(b, "c 3 3\nd 4 4\ne 5 5\n", "two.txt");
  testing::PdbFile pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 2);
  EXPECT_EQ(payload(pdb, 0), (Bytes{2, 0, 0, 1, 0, 1, 0, 2, 0, 2}));
  EXPECT_EQ(payload(pdb, 1), (Bytes{3, 0, 0, 3, 0, 3, 0, 4, 0, 4, 0, 5, 0, 5}));
}

TEST(MonsterTable, WrongCountStopsTheBuild) {
  struct Case {
    const char* line;
    std::string err;
  } cases[] = {
      {"lonely 5\n", "  0) |lonely|\n  1) |5|\n2 tokens read\nFound 1 tokens, expected 3\n"},
      {"trailing 5 6 \n", "  0) |trailing|\n  1) |5|\n  2) |6|\n3 tokens read\nFound 3 tokens, expected 3\n"},
      {"word\n", "  0) |word|\n1 tokens read\nFound 0 tokens, expected 3\n"},
      {"many 1 2 3\n", "  0) |many|\n  1) |1|\n  2) |2|\n  3) |3|\n4 tokens read\nFound 3 tokens, expected 3\n"},
  };
  for (const Case& c : cases) {
    TestBuild b;
    Outcome o = compile(b, std::string("ok 1 2\n") + c.line + "ok 3 4\n");
    EXPECT_TRUE(o.exited) << c.line;
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.pause);
    EXPECT_EQ(o.err, c.err + "  at montab.txt:2\n");
    EXPECT_TRUE(b.db().recordOffsets.empty());
  }
}

TEST(MonsterTable, AtMost128Entries) {
  std::string text;
  for (int i = 0; i < 128; ++i) text += "e" + std::to_string(i) + " " + std::to_string(i) + " 1\n";
  {
    TestBuild b;
    EXPECT_FALSE(compile(b, text).exited);
    Bytes p = payload(b.finish(), 0);
    EXPECT_EQ(p.size(), 2u + 4 * 128);
    EXPECT_EQ(p[0], 128);
    EXPECT_EQ(p[2 + 4 * 127 + 1], 127);
  }
  TestBuild b;
  Outcome o = compile(b, text + "e128 128 1\n");
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: " + b.dir.path("montab.txt") + " line 129: a monster table holds at most 128 entries\n");
  EXPECT_TRUE(b.db().recordOffsets.empty());
}

TEST(MonsterTable, OpenFailureNamesMonstersTxt) {
  TestBuild b;
  Outcome o = capture([&] { compileMonsterTable(b.dir.path("encounters.txt"), "MT", b.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.err, "ERROR: Could not open monsters.txt file: No such file or directory\n" +
                       at(b.dir.path("encounters.txt")));
}

}  // namespace
}  // namespace kiln
