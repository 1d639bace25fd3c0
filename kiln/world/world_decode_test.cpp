// Wall and map records back to their files: what compiles comes back to the
// same bytes; records no file gives are refused with the reason.
#include <gtest/gtest.h>

#include "kiln/test_support.h"
#include "kiln/world/maps.h"
#include "kiln/world/maps_decode.h"
#include "kiln/world/walls.h"
#include "kiln/world/walls_decode.h"

namespace kiln {
namespace {

using testing::Bytes;
using testing::capture;
using testing::TestBuild;

Bytes compileWallText(const std::string& text) {
  TestBuild b;
  std::vector<uint8_t> attributes;
  auto o = capture([&] { compileWall(b.dir.write("w.txt", text), b.db(), attributes, "WA"); });
  EXPECT_FALSE(o.exited) << o.err << text;
  return o.exited ? Bytes() : b.finish().data(0);
}

TEST(WallSource, CompilesBackToTheSameRecord) {
  // Every flag, attribute 6 with its high bit, wrapped words, brushes in
  // views 1, 3 and 10, values 8 and 9 set and not.
  std::string text = "\"Stone\"\n1 1 1 1 1 15 1 1 x 70000 -1 2 3\n2\n300 1 2 3 4 5 6 1 0\n1 2 3 4 5 6 7 0 1\n0\n"
                     "1\n65535 255 0 0 0 0 9 1 1\n0\n0\n0\n0\n0\n0\n1\n7 7 7 7 7 7 7 2 2\n";
  Bytes record = compileWallText(text);
  ASSERT_FALSE(record.empty());
  std::string source, why;
  ASSERT_TRUE(wallSource(record.data(), record.size(), "wall 0", source, why)) << why;
  // Attribute 6 carries the high bit that attribute 1 set.
  EXPECT_EQ(source.rfind("\"wall 0\"\n0 1 1 0 1 15 1 0 0 4464 65535 2 3\n2\n", 0), 0u) << source;
  EXPECT_EQ(compileWallText(source), record) << source;

  RecordInfo info;
  ASSERT_TRUE(describeWall("WA", record.data(), record.size(), info, why)) << why;
  EXPECT_EQ(info.summary, "WA wall: 10 views, 4 brushes");
}

TEST(WallSource, RefusesWhatNoWallFileGives) {
  Bytes record = compileWallText("\"w\"\n0 0 0 0 0 0 0 0 x 0 0 0 0\n1\n1 2 3 4 5 6 7 1 1\n0\n0\n0\n0\n0\n0\n0\n0\n0\n");
  ASSERT_EQ(record.size(), 30u);
  struct {
    const char* what;
    int at;
    uint8_t value;
    const char* why;
  } cases[] = {
      {"a flag bit no brush line gives", 20 + 8, 0x04, "flag bits that no brush line gives"},
      {"the reserved byte of a brush", 20 + 9, 1, "flag bits that no brush line gives"},
      {"a first view that does not start at 0", 1, 1, "first view does not start at brush 0"},
      {"view starts going back", 5, 0, "starts after the view that follows it"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bad = record;
    bad[size_t(c.at)] = c.value;
    if (c.at == 5) bad[4] = 1;  // view 4 starts at 1, view 5 at 0
    std::string text, why;
    EXPECT_FALSE(wallSource(bad.data(), bad.size(), "w", text, why));
    EXPECT_NE(why.find(c.why), std::string::npos) << why;
  }
  Bytes longer = record;
  longer.resize(34, 0);
  std::string text, why;
  EXPECT_FALSE(wallSource(longer.data(), longer.size(), "w", text, why));
  EXPECT_EQ(why, "record holds 34 bytes after its code where kiln stores 30");
}

Bytes mapFile(int width, int height, int specials, int codeLength) {
  Bytes f = {2, 0, 0, 0, uint8_t(width), uint8_t(height), 7, 8, 1, 2, uint8_t(specials), 9,
             uint8_t(codeLength), uint8_t(codeLength >> 8)};
  std::string name = "Crypt of names";
  f.insert(f.end(), name.begin(), name.end());
  f.resize(44, 0);
  for (int i = 0; i < specials; ++i) f.insert(f.end(), {3, 4, 0x10, 0, 0xFF, uint8_t(i)});
  if (specials)
    for (int i = 0; i < codeLength; ++i) f.push_back(uint8_t(i * 7));
  for (int i = 0; i < 2 * width * height; ++i) f.push_back(uint8_t(i));
  return f;
}

TEST(MapSource, GivesBackTheMapFileItCameFrom) {
  for (Bytes file : {mapFile(3, 2, 2, 5), mapFile(4, 4, 0, 300), mapFile(0, 0, 0, 0)}) {
    TestBuild b;
    auto o = capture([&] { compileMap(b.dir.write("m.map", file), b.db(), "MP"); });
    ASSERT_FALSE(o.exited) << o.err;
    Bytes record = b.finish().data(0);
    std::vector<uint8_t> source;
    std::string why;
    ASSERT_TRUE(mapSource(record.data(), record.size(), source, why)) << why;
    // Without specials the code length is kept but no code follows.
    EXPECT_EQ(source, file);
    EXPECT_EQ(mapName(record.data(), record.size()), "Crypt of names");
  }
}

}  // namespace
}  // namespace kiln
