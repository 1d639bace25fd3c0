#include "kiln/driver/config.h"

#include <span>

#include "kiln/driver/dispatch.h"
#include "kiln/test_support.h"

namespace kiln {
namespace {

struct Version {
  int major, minor;
};

Version parsed(const std::string& text) {
  Version v{0, 0};
  parseVersion(text, v.minor, v.major);
  return v;
}

TEST(ParseVersion, MajorAndMinorWithMissingDigitsAsZero) {
  struct {
    const char* text;
    int major, minor;
  } cases[] = {{"1.2", 1, 2}, {"1.10", 1, 10}, {"3", 3, 0}, {".5", 0, 5}, {"", 0, 0},
               {"255.255", 255, 255}, {"007.", 7, 0}};
  for (auto& c : cases) {
    Version v = parsed(c.text);
    EXPECT_EQ(v.major, c.major) << c.text;
    EXPECT_EQ(v.minor, c.minor) << c.text;
  }
}

TEST(ParseVersion, BadVersionsNameTheWholeText) {
  for (const char* text : {"1.2.3", "a1", "1,2", "256", "0.256", "1 ", "-1", "99999999999999999999999.0"}) {
    auto o = testing::capture([&] { parsed(text); });
    EXPECT_TRUE(o.exited) << text;
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, std::string("Bad version <") + text + ">\n");
  }
}

TEST(FourCharCode, FirstCharacterMostSignificant) {
  EXPECT_EQ(fourCharCode("TADV"), 0x54414456u);
  EXPECT_EQ(fourCharCode("Tlm2"), 0x546C6D32u);
  EXPECT_EQ(fourCharCode("TILEX"), 0x54494C45u);
}

TEST(SplitFields, RunsOfSeparatorsMakeNoEmptyFields) {
  EXPECT_EQ(splitFields("TADV::q:Quest.ABCD:::a:1", ':'),
            (std::vector<std::string>{"TADV", "q", "Quest.ABCD", "a", "1"}));
  EXPECT_EQ(splitFields(":NAME:", ':'), (std::vector<std::string>{"NAME"}));
  EXPECT_TRUE(splitFields("", ':').empty());
  EXPECT_EQ(splitFields("RW\ta b", ' '), (std::vector<std::string>{"RW\ta", "b"}));  // a tab is no separator
}

TEST(ReadConfigLine, SkipsStripsAndKeepsLongLinesWhole) {
  testing::TempDir dir;
  std::string longLine(5000, 'x');
  std::string path = dir.write("c.cfg", "\n\r\n# note\n  indented\nA\\b\\c\r\r\n" + longLine + "\nlast");
  RunState run;
  FILE* f = std::fopen(path.c_str(), "rb");
  std::string line;
  ASSERT_TRUE(readConfigLine(run, f, line));
  EXPECT_EQ(line, "A\\b\\c");
  ASSERT_TRUE(readConfigLine(run, f, line));
  EXPECT_EQ(line, longLine);
  ASSERT_TRUE(readConfigLine(run, f, line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(readConfigLine(run, f, line));
  std::fclose(f);

  run.options.forwardSlashes = true;
  f = std::fopen(path.c_str(), "rb");
  ASSERT_TRUE(readConfigLine(run, f, line));
  EXPECT_EQ(line, "A/b/c");
  std::fclose(f);
}

TEST(DepthRule, FirstBrushOrTileLineFixesTheDepth) {
  RunState run;
  applyDepthRule(run, 2);
  applyDepthRule(run, 2);
  EXPECT_EQ(run.graphics.graphicsDepth, 2);
  auto o = testing::capture([&] { applyDepthRule(run, 4); });
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Mismatched bit depth graphics. <2 != 4>\n");
}

TEST(Dispatch, UnknownCodesHaveNoCompiler) {
  EXPECT_EQ(findCompiler("ZZ"), nullptr);
  EXPECT_EQ(findCompiler(""), nullptr);
  EXPECT_EQ(findCompiler("RW"), nullptr);  // string lines are the driver's own
}

TEST(Dispatch, EveryListedCodeBeyondTheStringLinesHasACompiler) {
  // The list the messages and the guide show: RW, RT and RE first.
  std::span<const char* const> codes(kDataTypeCodes);
  ASSERT_EQ(codes.size(), 22u);
  for (size_t i = 0; i < codes.size(); ++i)
    EXPECT_EQ(findCompiler(codes[i]) != nullptr, i >= 3) << codes[i];
}

}  // namespace
}  // namespace kiln
