#include "kiln/tables/ac_table.h"

#include "kiln/tables/table_testing.h"

namespace kiln {
namespace {

using namespace testing;

std::string row(const std::string& label, int first, int count = 32, const char* end = "\n") {
  std::string line = label;
  for (int i = 0; i < count; ++i) line += " " + std::to_string(first + i);
  return line + end;
}

Outcome compile(TestBuild& b, const std::string& text, const std::string& name = "actable.txt") {
  return compileTable(b, compileAcTable, name, text, "AC");
}

// Payload of record i (2 + 32 × count bytes), checking the stored size.
Bytes payload(const PdbFile& pdb, int i) { return countedPayload(pdb, i, "AC", 32); }

TEST(AcTable, RowsFollowTheCount) {
  TestBuild b;
  Outcome o = compile(b,
                      "# armour class  class0 .. class31\r\n"
                      "\r\n" +
                          row("AC0", 0, 32, "\r\n") + row("AC1", 100, 32, "\r\n") +
                          "AC2 -1 256 300 511 -129 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 +9");
  EXPECT_FALSE(o.exited);
  EXPECT_EQ(o.err, "");
  Bytes p = payload(b.finish(), 0);
  ASSERT_EQ(p.size(), 98u);
  EXPECT_EQ(p[0], 3);
  EXPECT_EQ(p[1], 0);
  // Row r, column c at 2 + 32r + c.
  EXPECT_EQ(p[2], 0);
  EXPECT_EQ(p[2 + 31], 31);
  EXPECT_EQ(p[2 + 32], 100);
  EXPECT_EQ(p[2 + 32 + 31], 131);
  EXPECT_EQ(Bytes(p.begin() + 66, p.begin() + 72), (Bytes{255, 0, 44, 255, 127, 3}));
  EXPECT_EQ(p[97], 9);
}

TEST(AcTable, ShortRowIsAWarningAndZeroFilled) {
  TestBuild b;
  Outcome o = compile(b, row("Short", 1, 10) + row("Full", 40));
  EXPECT_FALSE(o.exited);
  std::string dump = "  0) |Short|\n";
  for (int i = 1; i <= 10; ++i) dump += "  " + std::to_string(i) + ") |" + std::to_string(i) + "|\n";
  EXPECT_EQ(o.err, dump + "11 tokens read\nFound 10 tokens, expected 33\n  at actable.txt:1\n");
  Bytes p = payload(b.finish(), 0);
  EXPECT_EQ(p[0], 2);
  EXPECT_EQ(p[2 + 9], 10);
  for (int c = 10; c < 32; ++c) EXPECT_EQ(p[2 + c], 0);
  EXPECT_EQ(p[2 + 32], 40);
}

TEST(AcTable, EmptyTableIsTwoZeroBytes) {
  TestBuild b;
  EXPECT_EQ(compile(b, "").err, "");
  EXPECT_EQ(b.finish().records[0], (Bytes{'A', 'C', 0, 0}));
}

TEST(AcTable, RowsRunOnAcrossLinesOfOneBuild) {
  TestBuild b;
  compile(b, row("a", 1) + row("b", 2), "one.txt");
  compile(b, row("c", 3) + row("d", 4) + row("e", 5), "two.txt");
  testing::PdbFile pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 2);
  Bytes first = payload(pdb, 0), second = payload(pdb, 1);
  EXPECT_EQ(first[0], 2);
  EXPECT_EQ(second[0], 5);
  EXPECT_EQ(Bytes(second.begin() + 2, second.begin() + 66), Bytes(first.begin() + 2, first.end()));
  for (int r = 0; r < 5; ++r) EXPECT_EQ(second[2 + 32 * r], r + 1) << "row " << r;

  // Another build starts with no rows.
  TestBuild other;
  compile(other, row("z", 9));
  EXPECT_EQ(payload(other.finish(), 0)[0], 1);
}

TEST(AcTable, AtMost255RowsInABuild) {
  std::string two;
  for (int i = 0; i < 200; ++i) two += row("r", i);
  std::string fiftyFive;
  for (int i = 0; i < 55; ++i) fiftyFive += row("s", i);
  TestBuild b;
  compile(b, two, "one.txt");
  Outcome full = compile(b, fiftyFive, "two.txt");
  EXPECT_FALSE(full.exited);
  EXPECT_EQ(b.run.tables.acRows.size(), 255u);

  Outcome over = compile(b, "# one more\n" + row("t", 0), "three.txt");
  EXPECT_TRUE(over.exited);
  EXPECT_EQ(over.status, 1);
  EXPECT_TRUE(over.pause);
  EXPECT_EQ(over.err, "ERROR: " + b.dir.path("three.txt") + " line 2: the AC tables of a build hold at most 255 rows\n");
  EXPECT_EQ(b.db().recordOffsets.size(), 2u);
  EXPECT_EQ(b.run.tables.acRows.size(), 255u);

  testing::PdbFile pdb = b.finish();
  EXPECT_EQ(payload(pdb, 1).size(), 2u + 32 * 255);
}

TEST(AcTable, FailedTableLeavesRowsAndDatabaseAsTheyWere) {
  TestBuild b;
  compile(b, row("a", 1), "one.txt");
  Outcome o = compile(b, row("b", 2) + "c 1 \"" + std::string(1000, 'x') + "\"\n", "two.txt");
  EXPECT_TRUE(o.exited);  // the tokenizer refuses the long token
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(b.run.tables.acRows.size(), 1u);
  EXPECT_EQ(b.db().recordOffsets.size(), 1u);

  std::string pdbPath = b.dir.path("test.pdb");
  b.run.openDatabase.reset();  // the run ends unfinished
  EXPECT_FALSE(testing::fileExists(pdbPath));
  EXPECT_FALSE(testing::fileExists(pdbPath + ".tmp"));
}

TEST(AcTable, OpenFailureNamesTheConfiguredFile) {
  TestBuild b;
  std::string missing = b.dir.path("armour.txt");
  Outcome o = capture([&] { compileAcTable(b.run.tables, missing, "AC", b.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.err, "ERROR: Could not open " + missing + " file: No such file or directory\n" + at(missing));
}

}  // namespace
}  // namespace kiln
