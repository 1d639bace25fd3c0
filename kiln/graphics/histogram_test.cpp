#include "kiln/graphics/histogram.h"

#include <filesystem>

#include "kiln/test_support.h"

namespace kiln {
namespace {

using testing::capture;
using testing::TempDir;

// The report goes to the current folder; each test works in its own.
struct InFolder {
  TempDir dir;
  std::filesystem::path previous = std::filesystem::current_path();
  InFolder() { std::filesystem::current_path(dir.root); }
  ~InFolder() { std::filesystem::current_path(previous); }
  std::string read(const std::string& name) const {
    return testing::readTextFile(dir.path(name));
  }
};

PaletteEntry rgb(int r, int g, int b) { return PaletteEntry{0, uint8_t(r), uint8_t(g), uint8_t(b)}; }

TEST(Histogram, LinesPadCountsAndColours) {
  EXPECT_EQ(histogramLine(0, 1234, rgb(255, 255, 255)), " 0)  1234    0xffffff  (255, 255, 255)\n");
  EXPECT_EQ(histogramLine(255, 0, rgb(0, 0, 0)), "255)  0       0x000000  (0, 0, 0)\n");
  EXPECT_EQ(histogramLine(12, 7, rgb(0, 0, 128)), "12)  7       0x000080  (0, 0, 128)\n");
  EXPECT_EQ(histogramLine(9, 999999, rgb(1, 2, 3)), " 9)  999999  0x10203  (1, 2, 3)\n");
  EXPECT_EQ(histogramLine(10, 1000000, rgb(0x12, 0x34, 0x56)), "10)  1000000 0x123456  (18, 52, 86)\n");
  EXPECT_EQ(histogramLine(100, 4000000000u, rgb(0, 0x80, 0)), "100)  4000000000 0x008000  (0, 128, 0)\n");
  // A first non-zero component below 16 gives five digits, as it always has.
  EXPECT_EQ(histogramLine(1, 10, rgb(0, 5, 0)), " 1)  10      0x00500  (0, 5, 0)\n");
  EXPECT_EQ(histogramLine(2, 1, rgb(0, 0, 5)), " 2)  1       0x00005  (0, 0, 5)\n");
}

TEST(Histogram, WritesTheWholeReportInTheCurrentFolder) {
  InFolder here;
  RunState run;
  Palette palette{};
  for (int i = 0; i < 256; ++i) palette[i] = rgb(i, 255 - i, 0x40);
  run.graphics.colourCounts[0] = 1234;
  run.graphics.colourCounts[200] = 5;
  auto o = capture([&] { writeHistogram(run.graphics, palette); });
  ASSERT_FALSE(o.exited) << o.err;
  EXPECT_EQ(o.out, "Saving histogram file: histogram.txt\n");
  EXPECT_EQ(o.err, "");
  std::string expected =
      "##    Count    0xRGB       R  G  B\n"
      "==========================================\n";
  for (int i = 0; i < 256; ++i) expected += histogramLine(i, run.graphics.colourCounts[i], palette[i]);
  std::string text = here.read("histogram.txt");
  EXPECT_EQ(text, expected);
  EXPECT_NE(text.find("\n 0)  1234    0x00ff40  (0, 255, 64)\n"), std::string::npos);
  EXPECT_NE(text.find("\n200)  5       0xc83740  (200, 55, 64)\n"), std::string::npos);
  EXPECT_FALSE(testing::fileExists(here.dir.path("histogram.txt.tmp")));
}

TEST(Histogram, ReplacesAnOlderReport) {
  InFolder here;
  here.dir.write("histogram.txt", "old report\n");
  RunState run;
  auto o = capture([&] { writeHistogram(run.graphics, Palette{}); });
  ASSERT_FALSE(o.exited) << o.err;
  EXPECT_EQ(here.read("histogram.txt").rfind("##    Count", 0), 0u);
}

TEST(Histogram, ReportThatCannotBeCreatedEndsTheRun) {
  InFolder here;
  std::filesystem::create_directory(here.dir.path("histogram.txt"));
  RunState run;
  auto o = capture([&] { writeHistogram(run.graphics, Palette{}); });
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.out, "Saving histogram file: histogram.txt\n");
  EXPECT_EQ(o.err, "ERROR: Could not open histogram file: Is a directory\n");
  EXPECT_TRUE(std::filesystem::is_directory(here.dir.path("histogram.txt")));
}

TEST(Histogram, ReportThatCannotTakeItsPlaceLeavesNothingBehind) {
  InFolder here;
  std::filesystem::create_directories(here.dir.path("histogram.txt/inside"));
  RunState run;
  auto o = capture([&] { writeHistogram(run.graphics, Palette{}); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err.rfind("ERROR: Could not open histogram file: ", 0), 0u) << o.err;
  EXPECT_FALSE(testing::fileExists(here.dir.path("histogram.txt.tmp")));
}

}  // namespace
}  // namespace kiln
