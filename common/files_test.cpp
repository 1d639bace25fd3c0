#include "common/files.h"

#include <gtest/gtest.h>

#include <string>

#include "common/test_files.h"

namespace kit {
namespace {

TEST(FileHolds, OnlyTheSameBytesOfTheSameLength) {
  testing::TempDir dir;
  const std::string file = dir.write("a.bmp", "abcd");
  dir.write("folder/inside", "x");
  dir.write("empty", "");
  struct Case {
    std::string path, bytes;
    bool holds;
  } cases[] = {
      {file, "abcd", true},
      {file, "abc", false},    // the file is longer
      {file, "abcde", false},  // shorter
      {file, "abce", false},
      {dir.path("empty"), "", true},
      {dir.path("empty"), "a", false},
      {dir.path("missing"), "", false},
      {dir.path("folder"), "", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(fileHolds(c.path, c.bytes.data(), c.bytes.size()), c.holds) << c.path << " <" << c.bytes << ">";
}

}  // namespace
}  // namespace kit
