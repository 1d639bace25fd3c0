#include "common/files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(ReadWholeFile, EveryByteWhateverTheSize) {
  testing::TempDir dir;
  for (size_t size : {size_t(0), size_t(1), size_t(65535), size_t(65536), size_t(65537), size_t(300000)}) {
    testing::Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 7 + i / 251);
    const std::string path = dir.write("f" + std::to_string(size), bytes);
    std::vector<uint8_t> read = {1, 2, 3};  // what it held before goes
    ASSERT_TRUE(readWholeFile(path, read)) << size;
    EXPECT_EQ(read, bytes) << size;
  }
  std::vector<uint8_t> read;
  EXPECT_FALSE(readWholeFile(dir.path("missing"), read));
}

}  // namespace
}  // namespace kit
