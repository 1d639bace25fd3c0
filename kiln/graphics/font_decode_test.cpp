#include "kiln/graphics/font_decode.h"

#include <gtest/gtest.h>

#include "kiln/graphics/font.h"
#include "kiln/graphics/graphics_test_support.h"
#include "kiln/test_support.h"

namespace kiln {
namespace {

using namespace testing;

// The FN record's payload (padding included) that the real compiler makes of text.
Bytes compileFontText(const std::string& text) {
  TestBuild b;
  std::string path = b.dir.write("font.txt", text);
  Outcome o = capture([&] { compileFont(path, "FN", b.db()); });
  EXPECT_FALSE(o.exited) << o.err;
  PdbFile pdb = b.finish();
  return pdb.recordCount() == 1 ? pdb.data(0) : Bytes{};
}

TEST(FontDecode, CompiledFontsDecodeAndCompileBack) {
  const std::string texts[] = {
      "",
      "######\n######\n######\n######\n######\n \n",
      "#\n\n\n\n\n@\n\n\n\n\n     #\n \n-##-\n#--#\n\n\n\n\n",  // two planes, then one
      "#\n\n\n\n\n@\n",                                       // a first plane last keeps its mark
      readTextFile(samplePath("font.txt")),
  };
  for (const std::string& text : texts) {
    Bytes stored = compileFontText(text);
    std::string source, why;
    ASSERT_TRUE(fontSource(stored.data(), stored.size(), source, why)) << why;
    EXPECT_EQ(compileFontText(source), stored) << text;
  }
}

TEST(FontDecode, DrawnAgainWithHashesAndDashes) {
  Bytes stored = compileFontText("#\n\n\n\n\n@\n\n\n\n\n     #\n \n");
  std::string source, why;
  ASSERT_TRUE(fontSource(stored.data(), stored.size(), source, why)) << why;
  EXPECT_EQ(source,
            "#-----\n------\n------\n------\n------\n@\n"
            "------\n------\n------\n------\n-----#\n\n");
  RecordInfo info;
  ASSERT_TRUE(describeFont("FN", stored.data(), stored.size(), info, why)) << why;
  EXPECT_EQ(info.summary, "FN 1 glyphs in 2 words");
  const Node& words = info.fields.members[0].second;
  ASSERT_EQ(words.items.size(), 2u);
  EXPECT_EQ(words.items[0].members[0].second.text, "first");
  EXPECT_EQ(words.items[1].members[0].second.text, "second");
  EXPECT_EQ(words.items[1].members[1].second.items[4].text, "-----#");
}

TEST(FontDecode, MarksNoDrawingGives) {
  const struct {
    Bytes record;
    const char* why;
  } cases[] = {
      {{0x40, 0, 0, 0, 0, 0}, "glyph word 0 has the plane marks 01; a drawing gives 00 or 10 there"},
      {{0xC0, 0, 0, 0, 0, 0}, "glyph word 0 has the plane marks 11; a drawing gives 00 or 10 there"},
      {{0x80, 0, 0, 0, 0, 0, 0, 1, 0, 0},
       "glyph word 1 has the plane marks 00 after a first plane; a drawing gives 11 there"},
      {{0, 0, 0, 0, 0, 7}, "byte 5 after the record's 4 bytes is 0x07, not zero padding"},
  };
  for (const auto& c : cases) {
    std::string text, why;
    EXPECT_FALSE(fontSource(c.record.data(), c.record.size(), text, why));
    EXPECT_EQ(why, c.why);
  }
  Bytes big(4 * 1025 + 2, 0);
  std::string text, why;
  EXPECT_FALSE(fontSource(big.data(), big.size(), text, why));
  EXPECT_EQ(why, "the font holds 1025 glyph words; kiln takes at most 1024");
}

}  // namespace
}  // namespace kiln
