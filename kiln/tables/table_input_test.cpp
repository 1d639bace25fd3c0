#include "kiln/tables/table_input.h"

#include <gtest/gtest.h>

namespace kiln {
namespace {

TEST(ColumnNumber, FollowsAtoi) {
  EXPECT_EQ(columnNumber(""), 0);
  EXPECT_EQ(columnNumber("42"), 42);
  EXPECT_EQ(columnNumber("-7"), -7);
  EXPECT_EQ(columnNumber("+7"), 7);
  EXPECT_EQ(columnNumber(" \t12"), 12);
  EXPECT_EQ(columnNumber("12abc"), 12);
  EXPECT_EQ(columnNumber("abc"), 0);
  EXPECT_EQ(columnNumber("-"), 0);
  EXPECT_EQ(columnNumber("+-3"), 0);
  EXPECT_EQ(columnNumber("0x1F"), 0);
  EXPECT_EQ(columnNumber("007"), 7);
}

TEST(ColumnNumber, WrapsBeyondTheIntRange) {
  EXPECT_EQ(columnNumber("2147483647"), 2147483647);
  EXPECT_EQ(columnNumber("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(columnNumber("4294967297"), 1);                 // 2^32 + 1
  EXPECT_EQ(columnNumber("-4294967297"), -1);
  EXPECT_EQ(columnNumber("99999999999999999999999") & 0xFF, 0xFF);  // well defined, whatever its size
}

}  // namespace
}  // namespace kiln
