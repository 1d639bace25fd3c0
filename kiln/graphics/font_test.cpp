#include "kiln/graphics/font.h"

#include <filesystem>

#include "kiln/driver/dispatch.h"
#include "kiln/graphics/graphics_test_support.h"
#include "kiln/test_support.h"

namespace kiln {
namespace {

using testing::Bytes;
using testing::at;
using testing::capture;
using testing::TestBuild;

struct FontResult {
  std::string path;  // of the font file
  testing::Outcome outcome;
  testing::PdbFile pdb;
  Bytes payload;  // the record's data without the padding
};

FontResult compile(const std::string& text) {
  TestBuild t;
  std::string path = t.dir.write("font.txt", text);
  FontResult r;
  r.path = path;
  r.outcome = capture([&] { compileFont(path, "FN", t.db()); });
  r.pdb = t.finish();
  if (r.pdb.recordCount() == 1) {
    r.payload = r.pdb.data(0);
    r.payload.resize(r.payload.size() / 4 * 4);  // code + words, padded to 4: drop the padding
  }
  return r;
}

const std::string kDot = "#\n\n\n\n\n";         // row 1, column 0
const std::string kCorner = "\n\n\n\n     #\n";  // row 5, column 5

TEST(Font, EmptyFileGivesAnEmptyRecord) {
  FontResult r = compile("");
  ASSERT_FALSE(r.outcome.exited) << r.outcome.err;
  ASSERT_EQ(r.pdb.recordCount(), 1);
  EXPECT_EQ(r.pdb.records[0], (Bytes{'F', 'N', 0, 0}));
}

TEST(Font, GlyphWordsFromDrawings) {
  FontResult block = compile("######\n######\n######\n######\n######\n \n");
  EXPECT_EQ(block.payload, (Bytes{0x3F, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(compile(kDot + " \n").payload, (Bytes{0x20, 0, 0, 0}));
  // A second plane: the first word is marked 10, the second 11.
  EXPECT_EQ(compile(kDot + "@\n" + kCorner + " \n").payload, (Bytes{0xA0, 0, 0, 0, 0xC0, 0, 0, 1}));
  // Columns 2 and 3 of row 1: bits 27 and 26.
  EXPECT_EQ(compile("--##--\n\n\n\n\n\n").payload, (Bytes{0x0C, 0, 0, 0}));
  // Row r, column c is bit (5 - r) * 6 + (5 - c): one pixel a row on the diagonal.
  EXPECT_EQ(compile("#\n #\n  #\n   #\n    #\n\n").payload, (Bytes{0x20, 0x40, 0x81, 0x02}));
  // Only six columns count; short rows are blank to their end; carriage
  // returns are blank, so CR LF drawings give the same words.
  EXPECT_EQ(compile("#######x\r\n#\r\n\r\n\r\n\r\n\r\n").payload, (Bytes{0x3F, 0x80, 0, 0}));
  // The unfinished second group of an 11-line file is dropped.
  EXPECT_EQ(compile(kDot + " \n#\n#\n#\n#\n#\n").payload, (Bytes{0x20, 0, 0, 0}));
  // Anything after the separator's first character is ignored.
  EXPECT_EQ(compile(kDot + "@ plane two\n" + kCorner + " end\n").payload,
            (Bytes{0xA0, 0, 0, 0, 0xC0, 0, 0, 1}));
}

TEST(Font, SeparatorMustBeBlankOrAt) {
  FontResult tab = compile(kDot + "\t\n");
  EXPECT_EQ(tab.outcome.status, 1);
  EXPECT_TRUE(tab.outcome.pause);
  EXPECT_EQ(tab.outcome.err, "Line 6: Expected blank or @, but found '\t'(9)\n" + at(tab.path, 6));
  EXPECT_EQ(tab.pdb.recordCount(), 0);

  FontResult x = compile(kDot + " \n" + kDot + "x\n");
  EXPECT_EQ(x.outcome.status, 1);
  EXPECT_EQ(x.outcome.err, "Line 12: Expected blank or @, but found 'x'(120)\n" + at(x.path, 12));
}

TEST(Font, AtMostTwoPlanes) {
  FontResult r = compile(kDot + "@\n" + kDot + "@\n" + kDot + " \n");
  EXPECT_EQ(r.outcome.status, 1);
  EXPECT_TRUE(r.outcome.pause);
  EXPECT_EQ(r.outcome.err, "Line 12: only two bit planes supported\n" + at(r.path, 12));
  EXPECT_EQ(r.pdb.recordCount(), 0);
}

TEST(Font, FirstPlaneAtTheEndKeepsItsMark) {
  // An "@" glyph is stored as 10 whether or not its second plane follows;
  // the rows of an unfinished group after it are dropped.
  FontResult alone = compile(kDot + "@\n");
  ASSERT_FALSE(alone.outcome.exited) << alone.outcome.err;
  EXPECT_EQ(alone.payload, (Bytes{0xA0, 0, 0, 0}));
  FontResult cut = compile(kDot + " \n" + kDot + "@\n#\n");
  ASSERT_FALSE(cut.outcome.exited) << cut.outcome.err;
  EXPECT_EQ(cut.payload, (Bytes{0x20, 0, 0, 0, 0xA0, 0, 0, 0}));
}

TEST(Font, AtMost1024GlyphWords) {
  std::string glyphs;
  for (int i = 0; i < 1024; ++i) glyphs += kDot + " \n";
  FontResult full = compile(glyphs);
  ASSERT_FALSE(full.outcome.exited) << full.outcome.err;
  EXPECT_EQ(full.payload.size(), 4096u);

  FontResult over = compile(glyphs + kDot + " \n");
  EXPECT_EQ(over.outcome.status, 1);
  EXPECT_TRUE(over.outcome.pause);
  EXPECT_EQ(over.outcome.err.rfind("ERROR: ", 0), 0u);
  EXPECT_NE(over.outcome.err.find("more than 1024 glyph words (line 6150)"), std::string::npos) << over.outcome.err;
  EXPECT_EQ(over.pdb.recordCount(), 0);
}

TEST(Font, FileThatCannotBeOpenedIsReportedWithTheReason) {
  TestBuild t;
  std::string missing = t.dir.path("nofont.txt");
  auto o = capture([&] { findCompiler("FN")(t.run, missing, "FN", t.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.err, "ERROR: Can not open " + missing + ": No such file or directory\n");
  std::filesystem::create_directory(t.dir.path("fontdir"));
  o = capture([&] { compileFont(t.dir.path("fontdir"), "FN", t.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Can not open " + t.dir.path("fontdir") + ": Is a directory\n");
}

TEST(Font, SampleFontCompiles) {
  TestBuild t;
  std::string path = testing::samplePath("font.txt");
  auto o = capture([&] { compileFont(path, "FN", t.db()); });
  ASSERT_FALSE(o.exited) << o.err;
  testing::PdbFile pdb = t.finish();
  ASSERT_EQ(pdb.recordCount(), 1);
  EXPECT_GT(pdb.data(0).size(), 40u * 4);
}

}  // namespace
}  // namespace kiln
