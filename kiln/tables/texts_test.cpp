#include "kiln/tables/texts.h"

#include <chrono>

#include "kiln/tables/table_testing.h"

namespace kiln {
namespace {

using namespace testing;

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Runs the compiler on a table written into the build folder.
Outcome compile(TestBuild& b, const std::string& table, int kind, const char* code = "TX") {
  return compileTable(b, compileTexts, "texts.txt", table, code, kind);
}

std::string headerFile(TestBuild& b) { return b.dir.path("src/Talmoric2/src/textpdb.h"); }
void makeHeaderFolder(TestBuild& b) { std::filesystem::create_directories(b.dir.path("src/Talmoric2/src")); }

TEST(Texts, YesAndNo) {
  TestBuild b;
  auto o = compile(b, "1 YES \"Yes\"\n2 NO \"No\"\n", kTextKindTX);
  EXPECT_FALSE(o.exited) << o.err;
  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 1);
  EXPECT_EQ(pdb.code(0), "TX");
  // 13 bytes of payload, padded to 14 after the code.
  EXPECT_EQ(pdb.data(0), (Bytes{0, 2, 0, 0, 0, 4, 'Y', 'e', 's', 0, 'N', 'o', 0, 0}));
}

TEST(Texts, RealisticTableWithEscapesCommentsAndAnEmptyString) {
  TestBuild b;
  auto o = compile(b,
                   "# Texts of the inn\r\n"
                   "\r\n"
                   "0 INN_WELCOME \"Welcome, \\\"traveller\\\"!\"\r\n"
                   "1 INN_EMPTY \"\"\r\n"
                   "   2 INN_TWO_LINES \"Rest\\nhere\"  \r\n"
                   "3 INN_PLAIN Bye \r\n",
                   kTextKindTG, "TG");
  EXPECT_FALSE(o.exited) << o.err;
  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 1);
  EXPECT_EQ(pdb.code(0), "TG");
  // Strings: 'Welcome, "traveller"!' is 21 bytes + 0 at 0; "" at 22;
  // "Rest\nhere" 9 + 0 at 23; "Bye" at 33. Block 37 bytes, payload 2 + 8 + 37 = 47.
  Bytes want = {0, 4, 0, 0, 0, 22, 0, 23, 0, 33};
  for (const char* s : {"Welcome, \"traveller\"!", "", "Rest\nhere", "Bye"}) {
    Bytes t = bytesOf(s);
    want.insert(want.end(), t.begin(), t.end());
    want.push_back(0);
  }
  ASSERT_EQ(want.size(), 47u);
  want.push_back(0);  // padding: 2 + 47 = 49, to 52
  want.push_back(0);
  want.push_back(0);
  EXPECT_EQ(pdb.data(0), want);
}

TEST(Texts, EmptyTableIsACountOfZero) {
  for (const char* table : {"", "# nothing yet\n\n   \n"}) {
    TestBuild b;
    auto o = compile(b, table, kTextKindTX);
    EXPECT_FALSE(o.exited);
    auto pdb = b.finish();
    ASSERT_EQ(pdb.recordCount(), 1);
    EXPECT_EQ(pdb.data(0), (Bytes{0, 0}));
  }
}

TEST(Texts, NumberingOfTxAndTg) {
  TestBuild b;
  auto o = compile(b, "1 YES \"Yes\"\n2 NO \"No\"\n", kTextKindTG, "TG");
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Text Num 0 out of order; currNum = 1\n  at texts.txt:1\n");

  o = compile(b, "1 A \"a\"\n3 C \"c\"\n", kTextKindTX);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Text Num 1 out of order; currNum = 2\n  at texts.txt:2\n");

  o = compile(b, "0 A \"a\"\n", kTextKindTX);
  EXPECT_EQ(o.err, "ERROR: Text Num 0 out of order; currNum = -1\n  at texts.txt:1\n");

  o = compile(b, "1 A \"a\"\n1 A \"a\"\n", kTextKindTX);
  EXPECT_EQ(o.err, "ERROR: Text Num 1 out of order; currNum = 0\n  at texts.txt:2\n");
}

TEST(Texts, EveryLineNeedsThreeCountedTokens) {
  TestBuild b;
  // An unquoted string at the line end is not counted.
  auto o = compile(b, "1 A \"a\"\n2 B b\n", kTextKindTX);
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.err, "ERROR: Found 2 tokens, expected 3\n  0) |2|\n  1) |B|\n  2) |b|\n3 tokens read\n  at texts.txt:2\n");

  o = compile(b, "1 A \"a\" extra\n", kTextKindTX);  // the extra word is stored, not counted
  EXPECT_FALSE(o.exited) << o.err;
  o = compile(b, "1 A \"a\" extra \n", kTextKindTX);
  EXPECT_EQ(o.err,
            "ERROR: Found 4 tokens, expected 3\n  0) |1|\n  1) |A|\n  2) |a|\n  3) |extra|\n4 tokens read\n"
            "  at texts.txt:1\n");
  o = compile(b, "1 \"a\"\n", kTextKindTX);
  EXPECT_EQ(o.err, "ERROR: Found 2 tokens, expected 3\n  0) |1|\n  1) |a|\n2 tokens read\n  at texts.txt:1\n");
}

TEST(Texts, HeaderOfDefinesWithTheTextOption) {
  TestBuild b;
  b.run.options.writeTextHeader = true;
  makeHeaderFolder(b);
  auto o = compile(b, "1 YES \"Yes\"\n2 NO \"No\"\n", kTextKindTX);
  EXPECT_FALSE(o.exited) << o.err;
  EXPECT_EQ(testing::readFile(headerFile(b)), bytesOf("#define YES 0\n#define NO 1\n"));

  // The header reflects the last text line of the build: a second TX table
  // replaces it, a TG table leaves it empty.
  o = compile(b, "1 HELLO \"Hello\"\n", kTextKindTX);
  EXPECT_EQ(testing::readFile(headerFile(b)), bytesOf("#define HELLO 0\n"));
  o = compile(b, "0 G \"g\"\n", kTextKindTG, "TG");
  EXPECT_FALSE(o.exited) << o.err;
  EXPECT_TRUE(testing::fileExists(headerFile(b)));
  EXPECT_EQ(testing::readFile(headerFile(b)), Bytes{});
}

TEST(Texts, NoHeaderWithoutTheOption) {
  TestBuild b;
  makeHeaderFolder(b);
  compile(b, "1 YES \"Yes\"\n", kTextKindTX);
  EXPECT_FALSE(testing::fileExists(headerFile(b)));
}

TEST(Texts, HeaderPathUsesTheSeparator) {
  TestBuild b;
  b.run.buildDirectory = "C:\\Adv\\Quest";
  b.run.options.forwardSlashes = false;
  EXPECT_EQ(textHeaderPath(b.run.paths()), "C:\\Adv\\Quest\\src\\Talmoric2\\src\\textpdb.h");
  b.run.buildDirectory = "/adv/Quest";
  b.run.options.forwardSlashes = true;
  EXPECT_EQ(textHeaderPath(b.run.paths()), "/adv/Quest/src/Talmoric2/src/textpdb.h");
}

TEST(Texts, HeaderThatCannotBeCreated) {
  TestBuild b;
  b.run.options.writeTextHeader = true;  // no src folder
  auto o = compile(b, "1 YES \"Yes\"\n", kTextKindTX);
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Could not open include file for write: No such file or directory\n  at textpdb.h\n");
}

TEST(Texts, FaultInTheTableLeavesThePreviousHeaderAndNoDatabase) {
  TestBuild b;
  b.run.options.writeTextHeader = true;
  makeHeaderFolder(b);
  compile(b, "1 YES \"Yes\"\n", kTextKindTX);
  auto o = compile(b, "1 A \"a\"\n2 B \"b\"\n4 D \"d\"\n", kTextKindTX);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(testing::readFile(headerFile(b)), bytesOf("#define YES 0\n"));
  EXPECT_FALSE(testing::fileExists(headerFile(b) + ".tmp"));
  // The run ends there: the database being built is thrown away whole.
  b.run.openDatabase.reset();
  EXPECT_FALSE(testing::fileExists(b.dir.path("test.pdb")));
  EXPECT_FALSE(testing::fileExists(b.dir.path("test.pdb.tmp")));
}

TEST(Texts, TableThatCannotBeOpened) {
  TestBuild b;
  auto o = capture([&] { compileTexts(b.run.paths(), b.run.options.writeTextHeader, b.dir.path("missing.txt"), "TX", b.db(), kTextKindTX); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Could not open text file: No such file or directory\n" + at(b.dir.path("missing.txt")));
  o = capture([&] { compileTexts(b.run.paths(), b.run.options.writeTextHeader, b.dir.root.string(), "TX", b.db(), kTextKindTX); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Could not open text file: Is a directory\n" + at(b.dir.root.string()));
}

std::string numberedTable(int strings, size_t length) {
  std::string table;
  for (int i = 1; i <= strings; ++i) table += std::to_string(i) + " T" + std::to_string(i) + " \"" + std::string(length, 'x') + "\"\n";
  return table;
}

TEST(Texts, TenThousandStringsFitAndAreQuick) {
  TestBuild b;
  std::string path = b.dir.write("texts.txt", numberedTable(10000, 5));
  auto start = std::chrono::steady_clock::now();
  auto o = capture([&] { compileTexts(b.run.paths(), b.run.options.writeTextHeader, path, "TX", b.db(), kTextKindTX); });
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_FALSE(o.exited) << o.err;
  EXPECT_LT(ms, 100);
  auto pdb = b.finish();
  Bytes data = pdb.data(0);
  EXPECT_EQ(testing::be16(data, 0), 10000);
  EXPECT_EQ(testing::be16(data, 2 + 2 * 9999), 9999 * 6);
  EXPECT_EQ(data.size(), 2 + 20000 + 60000u);
}

TEST(Texts, MoreThanTenThousandStringsAreRefused) {
  TestBuild b;
  auto o = compile(b, numberedTable(10001, 1), kTextKindTX);
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: " + b.dir.path("texts.txt") + " line 10001: a text table holds at most 10000 strings\n");
}

TEST(Texts, StringBlockOfMoreThan65535BytesIsRefused) {
  TestBuild b;
  // 65 strings of 1000 bytes with their zero bytes, then one that fills the
  // block to exactly 65535 (accepted) or one byte beyond (refused).
  std::string table;
  for (int i = 1; i <= 65; ++i) table += std::to_string(i) + " T \"" + std::string(999, 'x') + "\"\n";
  std::string fits = "66 T \"" + std::string(65535 - 65 * 1000 - 1, 'y') + "\"\n";
  std::string over = "66 T \"" + std::string(65535 - 65 * 1000, 'y') + "\"\n";
  auto o = compile(b, table + fits, kTextKindTX);
  EXPECT_FALSE(o.exited) << o.err;
  o = compile(b, table + over, kTextKindTX);
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: " + b.dir.path("texts.txt") +
                       " line 66: the strings of a text table take more than 65535 bytes\n");
}

}  // namespace
}  // namespace kiln
