#include "common/ini.h"

#include <gtest/gtest.h>

namespace kit {
namespace {

TEST(Ini, FindsValueAsItStands) {
  std::string text =
      "AdventuresPath=/outside\n"
      "[Other]\nAdventuresPath=/other\n"
      "[Config]\n; note=x\n  AdventuresPath =  /a=b c \r\nKilnLastLoadPath=\n";
  std::string v;
  ASSERT_TRUE(iniFind(text, "Config", "AdventuresPath", v));
  EXPECT_EQ(v, "  /a=b c ");  // after the first '=', CR LF is the line end
  ASSERT_TRUE(iniFind(text, "Config", "KilnLastLoadPath", v));
  EXPECT_EQ(v, "");
  EXPECT_FALSE(iniFind(text, "Config", "Adventures", v));
  EXPECT_FALSE(iniFind(text, "Config", "ChartsmithLastLoadPath", v));
  EXPECT_FALSE(iniFind("AdventuresPath=/x\n", "Config", "AdventuresPath", v));
  EXPECT_FALSE(iniFind("", "Config", "AdventuresPath", v));
}

TEST(Ini, LastLineWithoutLineEnd) {
  std::string v;
  ASSERT_TRUE(iniFind("[Config]\nA=1", "Config", "A", v));
  EXPECT_EQ(v, "1");
}

TEST(Ini, ReplacesInPlaceKeepingEveryOtherLine) {
  std::string text = "# kit settings\n[Config]\nA=1\nB=old value\nC=3\n\n[Other]\nB=keep\n";
  EXPECT_EQ(iniSet(text, "Config", "B", "/new"),
            "# kit settings\n[Config]\nA=1\nB=/new\nC=3\n\n[Other]\nB=keep\n");
  EXPECT_EQ(iniSet("[Config]\r\nB=x\r\nC=3\r\n", "Config", "B", ""), "[Config]\r\nB=\r\nC=3\r\n");
}

TEST(Ini, AppendsToTheSectionBeforeTheNextOne) {
  EXPECT_EQ(iniSet("[Config]\nA=1\n\n[Other]\nX=2\n", "Config", "B", "v"),
            "[Config]\nA=1\nB=v\n\n[Other]\nX=2\n");
  EXPECT_EQ(iniSet("[Config]", "Config", "B", "v"), "[Config]\nB=v\n");
  EXPECT_EQ(iniSet("[Config]\nA=1", "Config", "B", "v"), "[Config]\nA=1\nB=v\n");
  EXPECT_EQ(iniSet("[Config]\r\nA=1\r\n", "Config", "B", "v"), "[Config]\r\nA=1\r\nB=v\r\n");
}

TEST(Ini, CreatesTheSectionWhenMissing) {
  EXPECT_EQ(iniSet("", "Config", "B", "v"), "[Config]\nB=v\n");
  EXPECT_EQ(iniSet("[Other]\nB=1", "Config", "B", "v"), "[Other]\nB=1\n[Config]\nB=v\n");
}

}  // namespace
}  // namespace kit
