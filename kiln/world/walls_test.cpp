#include "kiln/world/walls.h"

#include <gtest/gtest.h>

#include "kiln/test_support.h"

namespace kiln {
namespace {

using testing::Bytes;
using testing::at;
using testing::capture;
using testing::readFile;
using testing::TestBuild;

// A wall file: name line, attribute line, then one count line per view and
// its brush lines.
std::string wallText(const std::string& name, const std::string& attrs,
                     const std::vector<std::vector<std::string>>& views) {
  std::string text = "# a wall\n\"" + name + "\"\n" + attrs + "\n";
  for (const auto& v : views) {
    text += std::to_string(v.size()) + "\n";
    for (const auto& b : v) text += b + "\n";
  }
  return text;
}

std::vector<std::vector<std::string>> emptyViews(int n = 10) { return std::vector<std::vector<std::string>>(n); }

const char* kPlainAttrs = "0 0 0 0 0 0 0 0 x 0 0 0 0";

struct WallBuild : TestBuild {
  std::string attrPath() { return dir.path("wallattr.bin"); }
  testing::Outcome compile(const std::string& listName, const std::string& listText) {
    dir.write(listName, listText);
    return capture([&] { compileWalls(run.paths(), run.world, dir.path(listName), "WA", db()); });
  }
  Bytes attributes() { return readFile(attrPath()); }
};

TEST(Walls, RecordAndAttributeEntryFromTheLayoutTables) {
  WallBuild b;
  // Attribute 6 = 5 and attribute 1 = 1: flags 0x50 | 0x80 = 0xD0.
  // Views with 2, 0 and 3 brush lines start at 0, 2, 2; the rest at 5.
  std::vector<std::vector<std::string>> views = emptyViews();
  views[0] = {"300 1 2 3 4 5 6 1 0", "1 0 0 0 0 0 0 0 1"};
  views[2] = {"70000 257 -1 0 0 0 0 1 1", "2 0 0 0 0 0 0 2 2", "3 0 0 0 0 0 0 0 0"};
  b.dir.write("stone.txt", wallText("Stone wall", "1 0 0 0 0 5 0 0 Door 70000 -1 2 3", views));
  auto o = b.compile("walls.txt", "0 stone.txt\n");
  ASSERT_FALSE(o.exited) << o.err;

  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 1);
  EXPECT_EQ(pdb.code(0), "WA");
  Bytes expected = {0xD0, 0, 2, 2, 5, 5, 5, 5, 5, 5, 5, 5, 0x11, 0x70, 0xFF, 0xFF, 0, 2, 0, 3,
                    0x01, 0x2C, 1, 2, 3, 4, 5, 6, 0x02, 0,  // 300 1 2 3 4 5 6 1 0
                    0x00, 0x01, 0, 0, 0, 0, 0, 0, 0x01, 0,  // value 9 = 1
                    0x11, 0x70, 1, 0xFF, 0, 0, 0, 0, 0x03, 0,
                    0x00, 0x02, 0, 0, 0, 0, 0, 0, 0x00, 0,  // 2 is not 1
                    0x00, 0x03, 0, 0, 0, 0, 0, 0, 0x00, 0};
  ASSERT_EQ(expected.size(), 20u + 10 * 5);  // with the code, 72 bytes: no padding
  EXPECT_EQ(pdb.data(0), expected);

  Bytes attr = b.attributes();
  Bytes entry = {0xD0, 0x00, 'D', 0x11, 0x70};
  std::string name = "Stone wall";
  entry.insert(entry.end(), name.begin(), name.end());
  entry.resize(69, 0);
  EXPECT_EQ(attr, entry);
  EXPECT_FALSE(testing::fileExists(b.attrPath() + ".tmp"));
}

TEST(Walls, EveryFlagBit) {
  WallBuild b;
  // Field:     1 2 3 4 5 6  7 8   9 10 11 12 13 extra
  b.dir.write("a.txt", wallText("A", "0 7 0 0 0 0 0 0 z 0 0 0 0", emptyViews()));   // attr 2: bit 0
  b.dir.write("b.txt", wallText("B", "0 0 0 0 -3 0 0 0 z 0 0 0 0", emptyViews()));  // attr 5: bit 1
  b.dir.write("c.txt", wallText("C", "0 0 1 0 0 0 0 0 z 0 0 0 0", emptyViews()));   // attr 3: bit 2
  b.dir.write("d.txt", wallText("D", "0 0 0 0 0 0 9 0 z 0 0 0 0", emptyViews()));   // attr 7: bit 3
  b.dir.write("e.txt", wallText("E", "0 0 0 1 0 31 0 256 z 0 0 0 0 99", emptyViews()));  // 6: low 4 bits; 8: low byte 0
  b.dir.write("f.txt", wallText("F", "1 0 0 0 0 8 0 257 z 65535 0 0 0", emptyViews()));  // 1 over 6's top bit
  auto o = b.compile("walls.txt", "0 a.txt\n1 b.txt\n2 c.txt\n3 d.txt\n4 e.txt\n5 f.txt\n");
  ASSERT_FALSE(o.exited) << o.err;
  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 6);
  const uint8_t flags[] = {0x01, 0x02, 0x04, 0x08, 0xF0, 0x80};
  const uint8_t flags2[] = {0, 0, 0, 0, 0x01, 0x02};
  Bytes attr = b.attributes();
  ASSERT_EQ(attr.size(), 6u * 69);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(pdb.data(i)[0], flags[i]) << i;
    EXPECT_EQ(attr[69 * i], flags[i]) << i;
    EXPECT_EQ(attr[69 * i + 1], flags2[i]) << i;
    EXPECT_EQ(attr[69 * i + 2], 'z');
    EXPECT_EQ(attr[69 * i + 5], 'A' + i);
  }
  EXPECT_EQ(attr[69 * 5 + 3], 0xFF);
  EXPECT_EQ(attr[69 * 5 + 4], 0xFF);
}

TEST(Walls, NameLineRules) {
  WallBuild b;
  std::string longName(70, 'n');
  b.dir.write("a.txt", "name: \"" + longName + "\" trailing\n" + kPlainAttrs + "\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n");
  // No closing quote: the rest of the line without its line end; CRLF lines,
  // comment and blank lines anywhere, and a twelve-field line made whole by
  // nothing but its carriage return is not taken for thirteen.
  b.dir.write("b.txt", "#x\r\n \n\r\n\t\r\n\"Open ended\r\n0 0 0 0 0 0 0 0 q 1 2 3 4\r\n3\r\n# c\r\n"
                       "1 1 1 1 1 1 1 1 1\r\n \n2 2 2 2 2 2 2 2 2\r\n3 3 3 3 3 3 3 3 3\r\n"
                       "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n\r\n");
  auto o = b.compile("walls.txt", "# list\n\n \r\n0 a.txt\n1 b.txt trailing words\n");
  ASSERT_FALSE(o.exited) << o.err;
  Bytes attr = b.attributes();
  ASSERT_EQ(attr.size(), 2u * 69);
  EXPECT_EQ(std::string(attr.begin() + 5, attr.begin() + 5 + 63), std::string(63, 'n'));
  EXPECT_EQ(attr[68], 0);
  EXPECT_EQ(std::string(attr.begin() + 69 + 5, attr.begin() + 69 + 15), "Open ended");
  EXPECT_EQ(Bytes(attr.begin() + 69 + 15, attr.end()), Bytes(54, 0));
  auto pdb = b.finish();
  EXPECT_EQ(pdb.data(1)[11], 3);
  EXPECT_EQ(pdb.data(1).size(), 20u + 30);

  std::string twelve = "\"x\"\r\n0 0 0 0 0 0 0 0 q 1 2 3\r\n";
  WallBuild c;
  c.dir.write("w.txt", twelve);
  o = c.compile("walls.txt", "0 w.txt\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: not enough attribute fields - " + c.dir.path("w.txt") + "\n" + at(c.dir.path("w.txt"), 2));
}

TEST(Walls, TwoHundredFiftyFiveBrushesFitTheNextIsRefused) {
  for (int n : {255, 256}) {
    WallBuild b;
    auto views = emptyViews();
    views[3] = std::vector<std::string>(n, "1 2 3 4 5 6 7 0 0");
    b.dir.write("w.txt", wallText("Big", kPlainAttrs, views));
    auto o = b.compile("walls.txt", "0 w.txt\n");
    if (n == 255) {
      ASSERT_FALSE(o.exited) << o.err;
      auto pdb = b.finish();
      Bytes d = pdb.data(0);
      EXPECT_EQ(d[11], 255);
      EXPECT_EQ(d[4], 0);
      EXPECT_EQ(d[5], 255);
      EXPECT_EQ(d.size(), 20u + 2550);
    } else {
      EXPECT_EQ(o.status, 1);
      EXPECT_EQ(o.err, "ERROR: wall file " + b.dir.path("w.txt") + " has more than 255 brush entries\n");
    }
  }
}

TEST(Walls, NumbersRunOnAcrossLinesAndEachLineWritesTheSideFileAnew) {
  WallBuild b;
  b.dir.write("a.txt", wallText("First", kPlainAttrs, emptyViews()));
  b.dir.write("b.txt", wallText("Second", kPlainAttrs, emptyViews()));
  b.dir.write("c.txt", wallText("Third", kPlainAttrs, emptyViews()));
  ASSERT_FALSE(b.compile("one.txt", "0 a.txt\n1 b.txt\n").exited);
  Bytes attr = b.attributes();
  ASSERT_EQ(attr.size(), 2u * 69);
  EXPECT_EQ(std::string(attr.begin() + 5, attr.begin() + 10), "First");
  // The second line continues the numbering at 2 and writes the side file
  // anew with the walls of its own list.
  ASSERT_FALSE(b.compile("two.txt", "2 c.txt\n").exited);
  attr = b.attributes();
  ASSERT_EQ(attr.size(), 69u);
  EXPECT_EQ(std::string(attr.begin() + 5, attr.begin() + 10), "Third");
  EXPECT_FALSE(testing::fileExists(b.attrPath() + ".tmp"));
  ASSERT_FALSE(b.compile("three.txt", "3 a.txt\n").exited);

  // A line starting again at 0 is out of sequence.
  auto o = b.compile("four.txt", "0 a.txt\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: wall out of sequence 0 a.txt\n" + at(b.dir.path("four.txt"), 1));
  EXPECT_EQ(b.finish().recordCount(), 4);
}

TEST(Walls, EmptyListGivesEmptySideFileAndNoRecord) {
  WallBuild b;
  b.dir.write("wallattr.bin", "old contents");
  ASSERT_FALSE(b.compile("walls.txt", "# nothing yet\n\n").exited);
  EXPECT_TRUE(b.attributes().empty());
  EXPECT_EQ(b.finish().recordCount(), 0);
}

TEST(Walls, SideFileThatCannotBePutInPlace) {
  WallBuild b;
  b.dir.write("wallattr.bin/x", "");  // a folder where the file goes: it cannot be created
  auto o = b.compile("walls.txt", "");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Could not open wall attrib file: Is a directory\n" + at(b.attrPath()));
  EXPECT_FALSE(testing::fileExists(b.attrPath() + ".tmp"));
}

TEST(Walls, ForwardSlashRuleAppliesToListLines) {
  WallBuild b;
  b.dir.write("walls/stone.txt", wallText("Stone", kPlainAttrs, emptyViews()));
  auto o = b.compile("walls.txt", "0 walls\\stone.txt\n");
  ASSERT_FALSE(o.exited) << o.err;
  o = b.compile("bad.txt", "1 walls\\none.txt\n");
  EXPECT_EQ(o.err, "ERROR: opening wall file: No such file or directory\n" + at(b.dir.path("walls/none.txt")));
}

TEST(Walls, WallFilePathAlwaysTakesTheSeparator) {
  // Without -fs the separator is "\", a name character here. A build
  // directory that already ends in one still gets another before a listed
  // file (a configuration line's input path would not).
  WallBuild b;
  b.run.options.forwardSlashes = false;
  b.run.adventuresPath = b.dir.path("adv");
  std::filesystem::create_directory(b.dir.path("adv"));  // where "\" is a separator too
  b.run.buildDirectory = b.dir.path("Quest\\");
  b.dir.write("Quest\\\\w.txt", "");
  auto o = b.compile("walls.txt", "0 w.txt\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: unexpected end of file - " + b.dir.path("Quest\\\\w.txt") + "\n");
}

TEST(Walls, FailureLeavesThePreviousSideFileAndNoTemporary) {
  WallBuild b;
  b.dir.write("wallattr.bin", "previous");
  b.dir.write("a.txt", wallText("A", kPlainAttrs, emptyViews()));
  b.dir.write("b.txt", wallText("B", kPlainAttrs, emptyViews(9)));
  auto o = b.compile("walls.txt", "0 a.txt\n1 b.txt\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.err, "ERROR: wall has 9 views, should have 10\n" + at(b.dir.path("b.txt")));
  Bytes prev = readFile(b.attrPath());
  EXPECT_EQ(std::string(prev.begin(), prev.end()), "previous");
  EXPECT_FALSE(testing::fileExists(b.attrPath() + ".tmp"));
}

struct WallFailure {
  const char* list;
  const char* file;  // contents of w.txt, or null for none
  const char* message;  // %s: the path of w.txt, %L: of walls.txt
  const char* where;    // the lines added after the message
};

TEST(Walls, Failures) {
  const std::string tenViews = "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n";
  const std::string head = std::string("\"W\"\n") + kPlainAttrs + "\n";
  const std::string nine = head + "0\n0\n0\n0\n0\n0\n0\n0\n0\n";
  const std::string eleven = head + tenViews + "0\n";
  const std::string brushShort = head + "2\n1 2 3 4 5 6 7 8 9\n1 2 3 4 5 6 7 8\n" + tenViews;
  const std::string brushEof = head + "0\n0\n3\n1 2 3 4 5 6 7 8 9\n";
  const std::string negative = head + "0\n-1\n" + tenViews;
  const std::string noQuote = std::string("Wall without quotes\n") + kPlainAttrs + "\n" + tenViews;
  const WallFailure cases[] = {
      {"1 w.txt\n", nullptr, "ERROR: wall out of sequence 1 w.txt\n", "  at %L:1\n"},
      {"0 w.txt\n", nullptr, "ERROR: opening wall file: No such file or directory\n", "  at %s\n"},
      {"0 w.txt\n", "", "ERROR: unexpected end of file - %s\n", ""},
      {"0 w.txt\n", "# only a comment\n\"Name\"\n", "ERROR: unexpected end of file - %s\n", ""},
      {"0 w.txt\n", "\"W\"\n1 2 3 4 5 6 7 8 9 10 11 12\n", "ERROR: not enough attribute fields - %s\n", "  at %s:2\n"},
      {"0 w.txt\n", brushEof.c_str(), "ERROR: unexpected end of file\n", "  at %s:5\n"},
      {"0 w.txt\n", nine.c_str(), "ERROR: wall has 9 views, should have 10\n", "  at %s\n"},
      {"0 w.txt\n", eleven.c_str(), "ERROR: wall has 11 views, should have 10\n", "  at %s\n"},
      {"0 w.txt\n", brushShort.c_str(), "ERROR: brush line with fewer than nine numbers in wall file %s\n",
       "  at %s:5\n"},
      {"0 w.txt\n", negative.c_str(), "ERROR: view 2 of wall file %s has a negative brush count -1\n", "  at %s:4\n"},
      {"0 w.txt\n", noQuote.c_str(), "ERROR: wall file %s has no name line (the name in double quotes)\n", ""},
      {"# x\nw.txt\n", nullptr, "ERROR: line 2 of walls list %L has no wall number\n", ""},
      {"\t0\n", nullptr, "ERROR: line 1 of walls list %L has no file name\n", ""},
  };
  for (const WallFailure& c : cases) {
    WallBuild b;
    if (c.file) b.dir.write("w.txt", std::string(c.file));
    auto o = b.compile("walls.txt", c.list);
    std::string expected = std::string(c.message) + c.where;
    for (auto [mark, path] : {std::pair{"%s", b.dir.path("w.txt")}, std::pair{"%L", b.dir.path("walls.txt")}})
      for (size_t at; (at = expected.find(mark)) != std::string::npos;) expected.replace(at, 2, path);
    EXPECT_TRUE(o.exited) << c.message;
    EXPECT_EQ(o.status, 1) << c.message;
    EXPECT_TRUE(o.pause) << c.message;
    EXPECT_EQ(o.err, expected);
  }
}

TEST(Walls, OpenFailures) {
  WallBuild b;
  auto o = capture([&] { compileWalls(b.run.paths(), b.run.world, b.dir.path("missing.txt"), "WA", b.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Could not open walls file: No such file or directory\n" + at(b.dir.path("missing.txt")));

  b.dir.write("folder/w.txt/x", "");
  o = b.compile("walls.txt", "0 folder/w.txt\n");
  EXPECT_EQ(o.err, "ERROR: opening wall file: Is a directory\n" + at(b.dir.path("folder/w.txt")));

  // The side file is created first: with no adventures folder to hold it the
  // list is not even opened.
  b.run.adventuresPath = b.dir.path("no-such-folder");
  o = capture([&] { compileWalls(b.run.paths(), b.run.world, b.dir.path("missing.txt"), "WA", b.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Could not open wall attrib file: No such file or directory\n" +
                       at(b.dir.path("no-such-folder/wallattr.bin")));
}

}  // namespace
}  // namespace kiln
