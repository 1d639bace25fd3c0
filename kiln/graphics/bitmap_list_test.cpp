#include "kiln/graphics/bitmap_list.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "kiln/driver/dispatch.h"
#include "kiln/graphics/graphics_test_support.h"
#include "kiln/test_support.h"

namespace kiln {
namespace {

using namespace testing;

// 4 x 1 gray images; "dots" is unmasked and compresses to nothing useful,
// "flat" is 64 x 8 of one gray and compresses well.
Bytes dots() {
  TestBmp t;
  t.colours = {rgb(255, 255, 255), rgb(0, 0, 0)};
  t.rows = {{0, 1, 1, 0}};
  return makeBmp(t);
}
Bytes flat() {
  TestBmp t;
  t.width = 64;
  t.colours = {rgb(0, 0, 0)};
  t.rows.assign(8, std::vector<int>(64, 0));
  return makeBmp(t);
}

Outcome compileList(TestBuild& b, const std::string& list, int depth, const Palette* palette = nullptr,
                    const char* code = "B2") {
  std::string path = b.dir.write("list.txt", list);
  return capture([&] { compileBitmapList(b.run.paths(), b.run.graphics, path, code, b.db(), depth, palette); });
}

TEST(CompileBitmapList, CommentsBlankLinesAndTheCompressFlag) {
  TestBuild b;
  b.dir.write("flat.bmp", flat());
  Outcome o = compileList(b, "# brushes\r\n\r\n\n0 flat.bmp\r\nx\n   \t\r\n1 flat.bmp 0 anything after\r\n", 2);
  EXPECT_FALSE(o.exited) << o.err;
  EXPECT_EQ(o.err, "");
  // 64 x 8 black at 2 bits is 128 bytes of 0xFF, which pack into a run of 127
  // and a literal of one; the second entry may not be compressed.
  EXPECT_EQ(o.out, "    Total size: 140    Uncompressed size 264.\n");
  testing::PdbFile pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 2);
  EXPECT_EQ(pdb.code(0), "B2");
  EXPECT_EQ(pdb.data(0), (Bytes{64, 8, 2, 2, 0xFF, 0xFF, 0x01, 0xFF, 0, 0}));  // padded to 12 stored bytes
  EXPECT_EQ(pdb.data(1).size(), 134u);
  EXPECT_EQ(pdb.data(1)[3], 0);
}

TEST(CompileBitmapList, EntryPathsFollowTheSlashRule) {
  TestBuild b;
  b.dir.write("sub/a.bmp", dots());
  Outcome o = compileList(b, "0 sub\\a.bmp", 2);  // no line end after the last entry
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(b.db().recordOffsets.size(), 1u);

  // Without -fs the separator and the list's own "\" stay backslashes.
  TestBuild w;
  w.run.options.forwardSlashes = false;
  w.run.buildDirectory = w.dir.path("Quest");
  w.dir.write("Quest\\sub\\a.bmp", dots());
  o = compileList(w, "0 sub\\a.bmp\n", 2);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(w.db().recordOffsets.size(), 1u);
}

TEST(CompileBitmapList, EntryPathAlwaysTakesTheSeparator) {
  // Without -fs the separator is "\", a name character here: a build
  // directory that already ends in one still gets another.
  TestBuild b;
  b.run.options.forwardSlashes = false;
  b.run.buildDirectory = b.dir.path("Quest\\");
  Outcome o = compileList(b, "0 a.bmp\n", 2);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Can not open " + b.dir.path("Quest\\\\a.bmp") + ": No such file or directory\n" + at(b.dir.path("list.txt"), 1));
}

TEST(CompileBitmapList, EmptyListsAndTotalsPerList) {
  TestBuild b;
  b.dir.write("a.bmp", dots());
  EXPECT_EQ(compileList(b, "", 4).out, "    Total size: 0    Uncompressed size 0.\n");
  EXPECT_EQ(compileList(b, "# nothing\n", 4).out, "    Total size: 0    Uncompressed size 0.\n");
  EXPECT_EQ(compileList(b, "0 a.bmp\n1 a.bmp\n", 4).out, "    Total size: 12    Uncompressed size 12.\n");
  EXPECT_EQ(compileList(b, "7 a.bmp\n", 4).out, "    Total size: 6    Uncompressed size 6.\n");
}

TEST(CompileBitmapList, EntryNumbersRunOnByOne) {
  TestBuild b;
  b.dir.write("a.bmp", dots());
  b.dir.write("b.bmp", dots());
  EXPECT_FALSE(compileList(b, "5 a.bmp\n6 b.bmp\n7 a.bmp\n", 2).exited);
  EXPECT_FALSE(compileList(b, "-1 a.bmp\n0 b.bmp\n", 2).exited);
  Outcome o = compileList(b, "0 a.bmp\n2 b.bmp\n", 2);
  EXPECT_EQ(o.err, "ERROR: brush out of sequence 2 b.bmp\n" + at(b.dir.path("list.txt"), 2));
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(compileList(b, "3 a.bmp\n3 b.bmp\n", 2).err, "ERROR: brush out of sequence 3 b.bmp\n" + at(b.dir.path("list.txt"), 2));
  // A number beyond the range of long (found by fuzzing): nothing can follow it.
  EXPECT_EQ(compileList(b, "99999999999999999999 a.bmp\n0 b.bmp\n", 2).err,
            "ERROR: brush out of sequence 0 b.bmp\n" + at(b.dir.path("list.txt"), 2));
  EXPECT_EQ(compileList(b, "99999999999999999999 a.bmp\n99999999999999999999 b.bmp\n", 2).status, 1);
}

TEST(CompileBitmapList, LinesWithoutANumberOrAFileName) {
  TestBuild b;
  b.dir.write("a.bmp", dots());
  std::string list = b.dir.path("list.txt");
  Outcome o = compileList(b, "0 a.bmp\n1 \n", 2);
  EXPECT_EQ(o.err, "ERROR: " + list + " line 2: a bitmap list entry needs a number and a file name\n");
  EXPECT_EQ(o.status, 1);
  o = compileList(b, "\n#\na.bmp 0\n", 2);
  EXPECT_EQ(o.err, "ERROR: " + list + " line 3: a bitmap list entry needs a number and a file name\n");
  EXPECT_EQ(o.status, 1);
}

TEST(CompileBitmapList, PaletteAndOpenFailures) {
  TestBuild b;
  b.dir.write("a.bmp", dots());
  Outcome o = compileList(b, "0 a.bmp\n", 8, nullptr, "T8");
  EXPECT_EQ(o.err, "ERROR: you must define a palette before brushes\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_FALSE(compileList(b, "0 a.bmp\n", 2, nullptr, "T2").exited);
  EXPECT_FALSE(compileList(b, "0 a.bmp\n", 4, nullptr, "T4").exited);

  o = capture([&] { compileBitmapList(b.run.paths(), b.run.graphics, b.dir.path("none.txt"), "B4", b.db(), 4, nullptr); });
  EXPECT_EQ(o.err, "ERROR: Could not open brush file: No such file or directory\n" + at(b.dir.path("none.txt")));
  EXPECT_EQ(o.status, 1);
  o = capture([&] { compileBitmapList(b.run.paths(), b.run.graphics, b.dir.path("."), "B4", b.db(), 4, nullptr); });
  EXPECT_EQ(o.err, "ERROR: Could not open brush file: Is a directory\n" + at(b.dir.path(".")));
}

// The images of a list are read ahead of their conversion; a file that cannot
// be read is still reported when its entry is reached: after the warnings of
// the entries before it, with nothing of the entries after it.
TEST(CompileBitmapList, AnUnreadableImageInALongListStopsTheListThere) {
  TestBuild b;
  Palette palette = testing::cubePalette();
  TestBmp t;
  t.colours = {rgb(10, 20, 30)};  // not in the palette: a warning for each file
  t.rows = {{0, 0, 0, 0}};
  b.dir.write("warm.bmp", makeBmp(t));
  b.dir.write("cool.bmp", makeBmp(t));
  std::filesystem::create_directory(b.dir.path("folder"));
  std::vector<std::pair<std::string, std::string>> cases = {{"missing.bmp", "No such file or directory"},
                                                            {"folder", "Is a directory"}};
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(b.dir.path("fifo").c_str(), 0600), 0);
  cases.push_back({"fifo", "Illegal seek"});
#endif
  for (const auto& [bad, reason] : cases) {
    std::string list, warnings;
    for (int i = 0; i < 70; ++i) {
      std::string name = i == 40 ? bad : i % 2 ? "cool.bmp" : "warm.bmp";
      list += std::to_string(i) + " " + name + "\n";
      if (i < 40) warnings += "\nWARNING: could not find exact color match\n         brush: " + b.dir.path(name) + "\n";
    }
    const size_t before = b.db().recordOffsets.size();
    Outcome o = compileList(b, list, 8, &palette, "B8");
    EXPECT_EQ(o.err, warnings + "ERROR: Can not open " + b.dir.path(bad) + ": " + reason + "\n" +
                         at(b.dir.path("list.txt"), 41));
    EXPECT_EQ(o.out, "");
    EXPECT_TRUE(o.exited);
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.pause);
    EXPECT_EQ(b.db().recordOffsets.size() - before, 40u);
  }
}

TEST(CompileBitmapList, DispatchRowsApplyTheDepthRule) {
  TestBuild b;
  b.dir.write("a.bmp", dots());
  std::string list = b.dir.write("list.txt", "0 a.bmp\n");
  for (const char* code : {"B2", "B4", "B8", "T2", "T4", "T8"}) EXPECT_NE(findCompiler(code), nullptr) << code;
  Outcome o = capture([&] { findCompiler("T2")(b.run, list, "T2", b.db()); });
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(b.run.graphics.graphicsDepth, 2);
  o = capture([&] { findCompiler("B4")(b.run, list, "B4", b.db()); });
  EXPECT_EQ(o.err, "Mismatched bit depth graphics. <2 != 4>\n");
  EXPECT_EQ(o.status, 1);
  // At 8 bits the run's palette goes along once a PA line has set it.
  TestBuild c;
  c.dir.write("a.bmp", dots());
  list = c.dir.write("list.txt", "0 a.bmp\n");
  EXPECT_EQ(capture([&] { findCompiler("B8")(c.run, list, "B8", c.db()); }).err,
            "ERROR: you must define a palette before brushes\n");
  c.run.graphics.activePalette = testing::cubePalette();
  c.run.graphics.havePalette = true;
  o = capture([&] { findCompiler("B8")(c.run, list, "B8", c.db()); });
  EXPECT_EQ(o.err, "");
  testing::PdbFile pdb = c.finish();
  ASSERT_EQ(pdb.recordCount(), 1);
  EXPECT_EQ(pdb.code(0), "B8");
  EXPECT_EQ(pdb.data(0), (Bytes{4, 1, 8, 0, 0, 255, 255, 0, 0, 0}));
}

// Files written by ImageMagick (testdata/make_bitmap_fixtures.sh says how).
TEST(CompileBitmapList, ImagesWrittenByImageMagick) {
  TestBuild b;
  for (const char* name : {"im_gray4.bmp", "im_masked4.bmp", "im_masked8.bmp", "im_plain8.bmp"})
    std::filesystem::copy_file(fixture(name), b.dir.path(name));
  Outcome o = compileList(b, "0 im_gray4.bmp\n1 im_masked4.bmp\n", 2, nullptr, "B2");
  EXPECT_EQ(o.err, "");
  o = compileList(b, "0 im_gray4.bmp\n1 im_masked4.bmp\n", 4, nullptr, "B4");
  EXPECT_EQ(o.err, "");
  Palette palette = testing::cubePalette();
  o = compileList(b, "0 im_masked8.bmp\n1 im_plain8.bmp\n", 8, &palette, "B8");
  EXPECT_EQ(o.err, "");
  testing::PdbFile pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 6);
  auto payload = [&](int i, size_t n) {
    Bytes d = pdb.data(i);
    return Bytes(d.begin(), d.begin() + std::min(n, d.size()));
  };

  EXPECT_EQ(payload(0, 10), (Bytes{12, 2, 2, 0, 0x1B, 0x00, 0x00, 0x00, 0x00, 0xFF}));
  EXPECT_EQ(payload(1, 10), (Bytes{8, 2, 2, 1, 0x00, 0x01, 0xEA, 0xAA, 0xAA, 0xA8}));
  EXPECT_EQ(payload(2, 16),
            (Bytes{12, 2, 4, 0, 0x03, 0x9F, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF}));
  EXPECT_EQ(payload(3, 14), (Bytes{8, 2, 4, 1, 0x00, 0x01, 0xF7, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x70}));

  const uint8_t blue = testing::cubeSlot(0x33, 0x66, 0xCC), yellow = testing::cubeSlot(0xFF, 0xCC, 0x00);
  Bytes masked{16, 4, 8, 1, 0x00, 0x3C, 0x3F, 0xFC, 0x3F, 0xFC, 0x00, 0x3C};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 16; ++x)
      masked.push_back(x >= 10 && x <= 13 ? yellow : (y == 1 || y == 2) && x >= 2 && x <= 9 ? blue : 0);
  EXPECT_EQ(payload(4, masked.size()), masked);

  Bytes plain = pdb.data(5), unpacked, expected(256, blue);
  expected.insert(expected.end(), 256, yellow);
  EXPECT_EQ(Bytes(plain.begin(), plain.begin() + 4), (Bytes{32, 16, 8, 2}));
  ASSERT_TRUE(testing::unpackRLE(plain, 4, unpacked));
  EXPECT_EQ(unpacked, expected);
  EXPECT_EQ(b.run.graphics.colourCounts[blue], 16u + 256u);
  EXPECT_EQ(b.run.graphics.colourCounts[yellow], 16u + 256u);

  // ImageMagick writes two colours with one bit per pixel: black at 0,0 on white.
  TestBuild m;
  std::filesystem::copy_file(fixture("im_mono1.bmp"), m.dir.path("im_mono1.bmp"));
  o = compileList(m, "0 im_mono1.bmp\n", 2);
  EXPECT_EQ(o.err, "");
  testing::PdbFile mono = m.finish();
  ASSERT_EQ(mono.recordCount(), 1);
  Bytes record = mono.data(0);
  EXPECT_EQ(Bytes(record.begin(), record.begin() + 8), (Bytes{8, 2, 2, 0, 0xC0, 0, 0, 0}));
}

TEST(CompileBitmapList, AThousandBrushesCompileQuickly) {
  TestBuild b;
  Palette palette = testing::cubePalette();
  TestBmp t;
  t.width = 64;
  for (int i = 0; i < 256; ++i) t.colours.push_back(rgb((i % 6) * 51, (i / 6 % 6) * 51, (i / 36 % 6) * 51));
  for (int y = 0; y < 64; ++y) {
    t.rows.push_back({});
    for (int x = 0; x < 64; ++x) t.rows[y].push_back((x / 3 + y * 7) % 216);
  }
  b.dir.write("brush.bmp", makeBmp(t));
  std::string list;
  for (int i = 0; i < 1000; ++i) list += std::to_string(i) + " brush.bmp\n";
  auto start = std::chrono::steady_clock::now();
  Outcome o = compileList(b, list, 8, &palette, "B8");
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(b.db().recordOffsets.size(), 1000u);
  std::printf("1000 brushes of 64 x 64: %.3f s\n", seconds);
  EXPECT_LT(seconds, 2.0);  // a generous bound; it takes a small fraction of that
}

}  // namespace
}  // namespace kiln

namespace kiln {
namespace {

// The sample adventure's lists use only colours of the web-safe cube, which
// the adventure palette holds, and pure red: no colour warning.
TEST(CompileBitmapList, SampleAdventureLists) {
  TestBuild b;
  b.run.buildDirectory = testing::sampleFolder();
  Palette palette = testing::cubePalette();
  std::vector<int> flags;
  for (const char* list : {"tiles/tiles.txt", "brushes/brushes.txt"}) {
    size_t first = b.db().recordOffsets.size();
    Outcome o = capture([&] { compileBitmapList(b.run.paths(), b.run.graphics, inputPath(b.run, list), "T8", b.db(), 8, &palette); });
    EXPECT_EQ(o.err, "");
    EXPECT_FALSE(o.exited);
    for (size_t i = first; i < b.db().recordOffsets.size(); ++i)
      flags.push_back(b.db().recordData[b.db().recordOffsets[i] + 5]);
  }
  // grass water sand floor | tree chest; wall floor sky (kept) | door torch banner
  EXPECT_EQ(flags, (std::vector<int>{2, 2, 2, 2, 1, 1, 2, 2, 0, 1, 1, 1}));
}

}  // namespace
}  // namespace kiln
