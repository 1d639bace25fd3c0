#include "kiln/text/tokenizer.h"

#include <chrono>

#include "kiln/test_support.h"

namespace kiln {
namespace {

using testing::capture;
using testing::TempDir;

// Opens text as a table file and reads it line by line.
struct Lines {
  TempDir dir;
  TokenReader reader;
  explicit Lines(const std::string& text) {
    reader.path = dir.write("table.txt", text);
    reader.file = std::fopen(reader.path.c_str(), "rb");
  }
  ~Lines() { std::fclose(reader.file); }
  int next() { return readTokens(reader); }
  std::vector<std::string> tokens() const {
    std::vector<std::string> out;
    for (size_t i = 0; i < 90 && !reader.token(i).empty(); ++i) out.push_back(reader.token(i));
    return out;
  }
};

using Tokens = std::vector<std::string>;

TEST(Tokenizer, CountLeavesOutALastUnquotedToken) {
  Lines in("a b c\n"
           "a b c \n"
           "a b \"c d\"\n"
           "alone\n");
  EXPECT_EQ(in.next(), 2);
  EXPECT_EQ(in.tokens(), (Tokens{"a", "b", "c"}));
  EXPECT_EQ(in.next(), 3);
  EXPECT_EQ(in.tokens(), (Tokens{"a", "b", "c"}));
  EXPECT_EQ(in.next(), 3);
  EXPECT_EQ(in.tokens(), (Tokens{"a", "b", "c d"}));
  EXPECT_EQ(in.next(), 0);
  EXPECT_FALSE(in.reader.atEnd());
  EXPECT_EQ(in.tokens(), (Tokens{"alone"}));
  EXPECT_EQ(in.next(), 0);
  EXPECT_TRUE(in.reader.atEnd());
}

TEST(Tokenizer, ThirtyThreeTokens) {
  std::string line;
  for (int i = 0; i < 33; ++i) line += (i ? " t" : "t") + std::to_string(i);
  Lines in(line + "\n" + line + " \n");
  EXPECT_EQ(in.next(), 32);
  EXPECT_EQ(in.reader.token(32), "t32");
  EXPECT_EQ(in.next(), 33);
  EXPECT_EQ(in.reader.token(32), "t32");
  EXPECT_EQ(in.reader.token(33), "");
}

TEST(Tokenizer, TabsSeparateAndRunsOfBlanksAreOne) {
  Lines in("\t a\t\t b   c\n");
  EXPECT_EQ(in.next(), 2);
  EXPECT_EQ(in.tokens(), (Tokens{"a", "b", "c"}));
}

TEST(Tokenizer, LastLineWithoutLineEnd) {
  Lines in("x y\nlast one");
  EXPECT_EQ(in.next(), 1);
  EXPECT_EQ(in.next(), 1);
  EXPECT_EQ(in.tokens(), (Tokens{"last", "one"}));
  EXPECT_EQ(in.reader.line, 2);
  EXPECT_EQ(in.next(), 0);
  EXPECT_TRUE(in.reader.atEnd());
  EXPECT_EQ(in.tokens(), Tokens{});
}

TEST(Tokenizer, CarriageReturnLineFeedIsOneLineEnd) {
  Lines crlf("a b c\r\n\r\nd e \r\n");
  Lines lf("a b c\n\nd e \n");
  for (Lines* in : {&crlf, &lf}) {
    EXPECT_EQ(in->next(), 2);
    EXPECT_EQ(in->tokens(), (Tokens{"a", "b", "c"}));
    EXPECT_EQ(in->reader.line, 1);
    EXPECT_EQ(in->next(), 2);
    EXPECT_EQ(in->tokens(), (Tokens{"d", "e"}));
    EXPECT_EQ(in->reader.line, 3);
    EXPECT_EQ(in->next(), 0);
    EXPECT_TRUE(in->reader.atEnd());
  }
  Lines cr("a b\rc d\r");  // old Macintosh line ends
  EXPECT_EQ(cr.next(), 1);
  EXPECT_EQ(cr.next(), 1);
  EXPECT_EQ(cr.reader.line, 2);
}

TEST(Tokenizer, EscapesInsideQuotes) {
  Lines in("\"one\\ntwo\" \"say \\\"hi\\\"\" \"back\\\\slash\" \"\\q\"\n");
  EXPECT_EQ(in.next(), 4);
  EXPECT_EQ(in.tokens(), (Tokens{"one\ntwo", "say \"hi\"", "back\\slash", "q"}));
}

TEST(Tokenizer, BackslashOutsideQuotesIsOrdinary) {
  Lines in("a\\nb c\n");
  EXPECT_EQ(in.next(), 1);
  EXPECT_EQ(in.tokens(), (Tokens{"a\\nb", "c"}));
}

TEST(Tokenizer, QuotesOnlyWhereATokenMayBegin) {
  Lines in("ab\"cd ef\n"
           "\"abc\"def\n");
  EXPECT_EQ(in.next(), 1);
  EXPECT_EQ(in.tokens(), (Tokens{"ab\"cd", "ef"}));
  EXPECT_EQ(in.next(), 1);  // the closing quote counts abc; def ends the line
  EXPECT_EQ(in.tokens(), (Tokens{"abc", "def"}));
}

TEST(Tokenizer, EmptyQuotedTokenIsCountedButHidesTheRestFromTheDump) {
  Lines in("a \"\" b c\n");
  EXPECT_EQ(in.next(), 3);
  EXPECT_EQ(in.reader.token(0), "a");
  EXPECT_EQ(in.reader.token(1), "");
  EXPECT_EQ(in.reader.token(2), "b");
  EXPECT_EQ(in.reader.token(3), "c");
  auto o = capture([&] { dumpTokens(in.reader, stderr); });
  EXPECT_EQ(o.err, "  0) |a|\n1 tokens read\n");
}

TEST(Tokenizer, UnclosedQuoteIsStoredNotCounted) {
  Lines in("a \"b c\n");
  EXPECT_EQ(in.next(), 1);
  EXPECT_EQ(in.tokens(), (Tokens{"a", "b c"}));
}

TEST(Tokenizer, LineEndCannotBeEscaped) {
  Lines in("\"ab\\\ncd\n");
  EXPECT_EQ(in.next(), 0);
  EXPECT_EQ(in.tokens(), (Tokens{"ab"}));
  EXPECT_EQ(in.next(), 0);
  EXPECT_EQ(in.tokens(), (Tokens{"cd"}));
}

TEST(Tokenizer, CommentOnlyAtTheFirstByte) {
  Lines in("# a comment \"with quotes\n"
           " #abc d\n"
           "x #y z\n");
  EXPECT_EQ(in.next(), 1);
  EXPECT_EQ(in.tokens(), (Tokens{"#abc", "d"}));
  EXPECT_EQ(in.reader.line, 2);
  EXPECT_EQ(in.next(), 2);
  EXPECT_EQ(in.tokens(), (Tokens{"x", "#y", "z"}));
}

TEST(Tokenizer, LinesHoldingNothingAreSkippedInOneCall) {
  Lines in("\n   \t\n# note\n\"\"\n\"\" \"\"\nfound it\n");
  EXPECT_EQ(in.next(), 1);
  EXPECT_EQ(in.tokens(), (Tokens{"found", "it"}));
  EXPECT_EQ(in.reader.line, 6);
}

TEST(Tokenizer, EscapedCharacterAloneDoesNotMakeALine) {
  // The skipped line must not leave its escaped character behind.
  Lines in("\"\\x\\y\\z\"\nab\n");
  EXPECT_EQ(in.next(), 0);
  EXPECT_FALSE(in.reader.atEnd());
  EXPECT_EQ(in.tokens(), (Tokens{"ab"}));
}

TEST(Tokenizer, ZeroByteEndsTheCallAtOnce) {
  Lines in(std::string("ab cd\0ef gh\n", 12));
  EXPECT_EQ(in.next(), 0);
  EXPECT_FALSE(in.reader.atEnd());
  EXPECT_EQ(in.tokens(), (Tokens{"ab", "cd"}));
  EXPECT_EQ(in.next(), 1);  // the rest of the line reads as a line of its own
  EXPECT_EQ(in.tokens(), (Tokens{"ef", "gh"}));
}

TEST(Tokenizer, EmptyFile) {
  Lines in("");
  EXPECT_EQ(in.next(), 0);
  EXPECT_TRUE(in.reader.atEnd());
  Lines comments("# only\n\n");
  EXPECT_EQ(comments.next(), 0);
  EXPECT_TRUE(comments.reader.atEnd());
}

TEST(Tokenizer, ShorterLineAfterLongerLineLeavesNoOldTokens) {
  Lines in("a b c d e f \nx y\n");
  EXPECT_EQ(in.next(), 6);
  EXPECT_EQ(in.next(), 1);
  EXPECT_EQ(in.tokens(), (Tokens{"x", "y"}));
  EXPECT_EQ(in.reader.token(2), "");
  EXPECT_EQ(in.reader.token(500), "");
}

TEST(Tokenizer, DumpPrintsEachSlot) {
  Lines in("CUR \"a b\" 3\n");
  in.next();
  auto o = capture([&] { dumpTokens(in.reader, stdout); });
  EXPECT_EQ(o.out, "  0) |CUR|\n  1) |a b|\n  2) |3|\n3 tokens read\n");
}

TEST(Tokenizer, EightyTokensFitAndTheEightyFirstIsRefused) {
  std::string eighty;
  for (int i = 0; i < 80; ++i) eighty += "t ";
  Lines ok(eighty + "\n" + eighty.substr(0, eighty.size() - 1) + "\n");
  EXPECT_EQ(ok.next(), 80);
  EXPECT_EQ(ok.reader.token(79), "t");
  EXPECT_EQ(ok.next(), 79);

  for (std::string extra : {"u", "\"\"", "\"x\""}) {
    Lines in("fine\n" + eighty + extra + "\n");
    in.next();
    auto o = capture([&] { in.next(); });
    EXPECT_TRUE(o.exited) << extra;
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.pause);
    EXPECT_EQ(o.err, "ERROR: " + in.reader.path + " line 2: more than 80 tokens on a line\n");
  }
}

TEST(Tokenizer, TokenOf999FitsAnd1000IsRefused) {
  std::string longest(999, 'x');
  Lines ok(longest + " \"" + longest + "\"\n");
  EXPECT_EQ(ok.next(), 2);
  EXPECT_EQ(ok.reader.token(0), longest);
  EXPECT_EQ(ok.reader.token(1), longest);

  Lines in("a\n\n\"" + longest + "y\"\n");
  in.next();
  auto o = capture([&] { in.next(); });
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: " + in.reader.path + " line 3: token 0 is longer than 999 characters\n");
}

TEST(Tokenizer, ReadFailureEndsTheBuildInsteadOfLooping) {
  // Reading a folder fails at once (EISDIR); every table compiler reads on
  // until the end of the file, which a failing read never reaches.
  TempDir dir;
  TokenReader reader;
  reader.path = dir.root.string();
  reader.file = std::fopen(reader.path.c_str(), "rb");
  ASSERT_NE(reader.file, nullptr);
  auto o = capture([&] { readTokens(reader); });
  std::fclose(reader.file);
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.err, "ERROR: " + reader.path + " line 1: could not read the file: Is a directory\n");
}

TEST(Tokenizer, TenThousandLinesAreQuick) {
  std::string text;
  for (int i = 0; i < 10000; ++i) text += "T" + std::to_string(i) + " \"a text of some length, " + std::to_string(i) + "\"\n";
  Lines in(text);
  auto start = std::chrono::steady_clock::now();
  int lines = 0;
  while (in.next() != 0 || !in.reader.atEnd()) ++lines;
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(lines, 10000);
  EXPECT_LT(ms, 100);
}

}  // namespace
}  // namespace kiln
