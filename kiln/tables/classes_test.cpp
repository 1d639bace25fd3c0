#include "kiln/tables/classes.h"

#include "kiln/tables/table_testing.h"

namespace kiln {
namespace {

using namespace testing;

// A row of a label and 32 numbers.
std::string row(const std::string& label, const std::vector<int>& values, const char* end = "\n") {
  std::string line = label;
  for (int v : values) line += " " + std::to_string(v);
  return line + end;
}

std::vector<int> sequence(int first, int count) {
  std::vector<int> v;
  for (int i = 0; i < count; ++i) v.push_back(first + i);
  return v;
}

Outcome compile(TestBuild& b, const std::string& text, const std::string& name = "classes.txt") {
  return compileTable(b, compileClasses, name, text, "CL");
}

// The 800 bytes after "CL"; the stored record is 802 bytes padded to 804.
Bytes table(const testing::PdbFile& pdb, int i) {
  EXPECT_EQ(pdb.code(i), "CL");
  EXPECT_EQ(pdb.records[i].size(), 804u);
  Bytes d = pdb.data(i);
  return Bytes(d.begin(), d.begin() + 800);
}

TEST(Classes, RealisticTablePlacesEveryRowAndColumn) {
  TestBuild b;
  Outcome o = compile(b,
                      "# Class table: one row per attribute, one column per class\r\n"
                      "\r\n"
                      "HitDie 10 8 6 4 12 10 8 8 6 6 4 4 10 10 8 8 6 6 4 4 12 12 10 10 8 8 6 6 4 4 2 2\r\n"
                      "   \r\n"
                      "SpellDie 0 0 2 4 0 0 1 2 3 4 5 6 0 0 1 1 2 2 3 3 0 0 0 0 1 1 2 2 3 3 4 255\r\n"
                      "# a comment between rows\n"
                      "Bonus -1 300 256 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 +28");
  EXPECT_FALSE(o.exited);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "");
  Bytes t = table(b.finish(), 0);
  // Row 0 at offsets 0-31, row 1 at 32-63, row 2 at 64-95.
  EXPECT_EQ(t[0], 10);
  EXPECT_EQ(t[4], 12);
  EXPECT_EQ(t[30], 2);
  EXPECT_EQ(t[31], 2);
  EXPECT_EQ(t[32], 0);
  EXPECT_EQ(t[32 + 3], 4);
  EXPECT_EQ(t[32 + 11], 6);
  EXPECT_EQ(t[63], 255);
  EXPECT_EQ(t[64], 255);      // -1
  EXPECT_EQ(t[65], 44);       // 300 keeps its low 8 bits
  EXPECT_EQ(t[66], 0);        // 256
  EXPECT_EQ(t[68], 1);
  EXPECT_EQ(t[95], 28);       // "+28", the last line without a line end
  for (size_t i = 96; i < 800; ++i) ASSERT_EQ(t[i], 0) << "offset " << i;
}

TEST(Classes, EmptyOrCommentOnlyFileGivesZeroTable) {
  for (const char* text : {"", "# nothing yet\n\n   \n\t\n"}) {
    TestBuild b;
    Outcome o = compile(b, text);
    EXPECT_FALSE(o.exited);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(table(b.finish(), 0), Bytes(800, 0));
  }
}

TEST(Classes, WrongCountIsOnlyAWarning) {
  TestBuild b;
  // 20 values, then 32 values ending in a blank (counted 33), then one word.
  Outcome o = compile(b, row("Short", sequence(1, 20)) + row("Blank", sequence(101, 32), " \n") + "Word\n" +
                             row("Last", sequence(201, 32)));
  EXPECT_FALSE(o.exited);
  std::string dumpShort;
  for (int i = 0; i <= 20; ++i)
    dumpShort += "  " + std::to_string(i) + ") |" + (i ? std::to_string(i) : std::string("Short")) + "|\n";
  EXPECT_EQ(o.err.substr(0, dumpShort.size()), dumpShort);
  EXPECT_NE(o.err.find("21 tokens read\nFound 20 tokens, expected 33\n"), std::string::npos);
  EXPECT_NE(o.err.find("33 tokens read\nFound 33 tokens, expected 33\n"), std::string::npos);
  EXPECT_NE(o.err.find("  0) |Word|\n1 tokens read\nFound 0 tokens, expected 33\n"), std::string::npos);
  Bytes t = table(b.finish(), 0);
  EXPECT_EQ(t[0], 1);
  EXPECT_EQ(t[19], 20);
  for (int c = 20; c < 32; ++c) EXPECT_EQ(t[c], 0);
  EXPECT_EQ(t[32], 101);  // stored all the same
  EXPECT_EQ(t[63], 132);
  for (int c = 0; c < 32; ++c) EXPECT_EQ(t[64 + c], 0);  // the word took a row of zeros
  EXPECT_EQ(t[96], 201);
}

TEST(Classes, RowsAfterTheTwentyFifthAreCheckedButNotStored) {
  TestBuild b;
  std::string text;
  for (int r = 0; r < 25; ++r) text += row("R" + std::to_string(r), std::vector<int>(32, r + 1));
  text += row("R25", std::vector<int>(32, 99));
  text += row("R26", sequence(1, 5));
  Outcome o = compile(b, text);
  EXPECT_FALSE(o.exited);
  EXPECT_NE(o.err.find("  0) |R26|\n"), std::string::npos);
  EXPECT_NE(o.err.find("Found 5 tokens, expected 33\n"), std::string::npos);
  Bytes t = table(b.finish(), 0);
  for (int r = 0; r < 25; ++r)
    for (int c = 0; c < 32; ++c) ASSERT_EQ(t[r * 32 + c], r + 1);
}

TEST(Classes, EachLineStartsFromAClearTable) {
  TestBuild b;
  compile(b, row("A", std::vector<int>(32, 7)) + row("B", std::vector<int>(32, 8)), "first.txt");
  compile(b, row("C", std::vector<int>(32, 9)), "second.txt");
  testing::PdbFile pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 2);
  Bytes second = table(pdb, 1);
  EXPECT_EQ(second[0], 9);
  EXPECT_EQ(second[32], 0);
}

TEST(Classes, OpenFailureNamesClassesTxt) {
  TestBuild b;
  std::string missing = b.dir.path("tables/class-grid.txt");
  Outcome o = capture([&] { compileClasses(missing, "CL", b.db()); });
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.err, "ERROR: Could not open classes.txt file: No such file or directory\n" + at(missing));

  Outcome folder = capture([&] { compileClasses(b.dir.root.string(), "CL", b.db()); });
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err, "ERROR: Could not open classes.txt file: Is a directory\n" + at(b.dir.root.string()));
  EXPECT_TRUE(b.db().recordOffsets.empty());
}

}  // namespace
}  // namespace kiln
