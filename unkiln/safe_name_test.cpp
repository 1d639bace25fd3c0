#include "unkiln/safe_name.h"

#include <gtest/gtest.h>

namespace unkiln {
namespace {

TEST(SafeName, KeepsNamesInsideTheOutputFolderOnEverySystem) {
  const struct {
    std::string text, name;
  } cases[] = {
      {"Great hall", "Great_hall"},
      {"../../etc/passwd", "_.._etc_passwd"},
      {"..", "fallback"},
      {"...", "fallback"},
      {".hidden.", "hidden"},
      {"", "fallback"},
      {"C:\\Windows\\win.ini", "C__Windows_win.ini"},
      {"a/b\\c:d", "a_b_c_d"},
      {std::string("tab\there\nnew\x01\x7f", 14), "tab_here_new__"},
      {"CON", "_CON"},
      {"nul.txt", "_nul.txt"},
      {"Com1", "_Com1"},
      {"lpt9.map", "_lpt9.map"},
      {"COM10", "COM10"},
      {"console", "console"},
      {"caf\xE9", "caf_"},
      {std::string(100, 'x'), std::string(kMaxSafeName, 'x')},
  };
  for (const auto& c : cases) EXPECT_EQ(safeName(c.text, "fallback"), c.name) << c.text;
}

TEST(SafeName, UniqueNamesDifferInMoreThanCase) {
  std::set<std::string> taken;
  EXPECT_EQ(uniqueName(taken, "maps/Hall", ".map"), "maps/Hall.map");
  EXPECT_EQ(uniqueName(taken, "maps/hall", ".map"), "maps/hall-2.map");
  EXPECT_EQ(uniqueName(taken, "maps/HALL", ".map"), "maps/HALL-3.map");
  EXPECT_EQ(uniqueName(taken, "maps/other", ".map"), "maps/other.map");
}

}  // namespace
}  // namespace unkiln
