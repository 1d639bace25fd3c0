#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "kiln/graphics/graphics_test_support.h"
#include "kiln/graphics/image.h"
#include "kiln/test_support.h"

namespace kiln {
namespace {

using namespace testing;

// What a reader made of a file: its fault, or its size and the colour of
// every pixel (alpha, red, green, blue).
struct Reading {
  std::string fault;
  int width = 0, height = 0;
  std::vector<uint32_t> colours;
  bool operator==(const Reading&) const = default;
};

void PrintTo(const Reading& r, std::ostream* os) {
  *os << "fault \"" << r.fault << "\" " << r.width << "x" << r.height;
  for (size_t i = 0; i < r.colours.size() && i < 40; ++i) *os << " " << std::hex << r.colours[i] << std::dec;
}

Reading reading(const std::string& fault, const Picture& p) {
  Reading r;
  r.fault = fault;
  if (!fault.empty()) return r;
  r.width = p.width;
  r.height = p.height;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) r.colours.push_back(p.colours.at(p.at(x, y)));
  return r;
}

Reading byStb(const Bytes& file) {
  Picture p;
  std::string fault = decodePngStb(file, p);
  return reading(fault, p);
}

Reading byKiln(const Bytes& file) {
  Picture p;
  std::string fault = decodePng(file, p);
  return reading(fault, p);
}

const std::string kBadIndex = "ERROR: unreadable .png file: a pixel's colour index lies past the palette\n";

std::vector<std::string> pngFixtures() {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(fixture("")).parent_path()))
    if (e.path().extension() == ".png") names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Every PNG of testdata/ (make_png_fixtures.sh writes each colour type, depth
// and row filter) reads to the colours stb_image gives; kiln's own reader
// takes all but the interlaced and 16-bit ones.
TEST(PngReader, EveryFixtureReadsAsStbReadsIt) {
  const std::vector<std::string> names = pngFixtures();
  ASSERT_GT(names.size(), 100u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const Bytes file = readFile(fixture(name));
    Picture p;
    const FastPng fast = decodePngFast(file, p);
    if (name == "png_bad_index.png") {
      EXPECT_EQ(fast, FastPng::badIndex);
      continue;
    }
    const bool stbOnly = name.find("interlaced") != std::string::npos || name.find("16") != std::string::npos;
    EXPECT_EQ(fast, stbOnly ? FastPng::declined : FastPng::decoded);
    const Reading stb = byStb(file);
    EXPECT_EQ(stb.fault, "");
    EXPECT_EQ(byKiln(file), stb);
  }
}

// Cut short at every length, or with any one byte changed: where kiln's
// reader reads a picture, stb reads the same one.
TEST(PngReader, DamagedFilesReadAsStbReadsThem) {
  int compared = 0, declined = 0;
  for (const std::string& name : pngFixtures()) {
    if (name.find("_fm.png") == std::string::npos && name.rfind("png_pl_", 0) != 0) continue;
    SCOPED_TRACE(name);
    const Bytes file = readFile(fixture(name));
    if (file.size() > 2000) continue;
    std::vector<std::pair<Bytes, std::string>> damaged;
    for (size_t n = 8; n < file.size(); ++n)
      damaged.emplace_back(Bytes(file.begin(), file.begin() + long(n)), "cut to " + std::to_string(n) + " bytes");
    for (size_t i = 8; i < file.size(); ++i)
      for (uint8_t change : {0x01, 0x80, 0xFF}) {
        damaged.emplace_back(file, "byte " + std::to_string(i) + " xor " + std::to_string(change));
        damaged.back().first[i] ^= change;
      }
    for (const auto& [d, how] : damaged) {
      // What kiln's reader declines goes to stb as it is; a slot past the
      // palette is refused (stb would give whatever its memory held).
      Picture p;
      const FastPng fast = decodePngFast(d, p);
      declined += fast == FastPng::declined;
      if (fast != FastPng::decoded) continue;
      ASSERT_EQ(reading("", p), byStb(d)) << how;
      ++compared;
    }
  }
  EXPECT_GT(compared, 2000);
  EXPECT_GT(declined, 5000);
}

// stb refuses a stream it must finish from fewer than 16 bits of input, so
// kiln's reader leaves to it a stream followed by fewer than two bytes (its
// checksum cut short).
TEST(PngReader, AStreamCutIntoItsChecksumIsStbs) {
  const Bytes file = readFile(fixture("png_rgb8_f0.png"));
  const size_t idat = size_t(std::search(file.begin(), file.end(), std::begin("IDAT"), std::end("IDAT") - 1) -
                             file.begin());
  const size_t length = size_t(file[idat - 2]) << 8 | file[idat - 1];
  for (size_t cut = 0; cut <= 4; ++cut) {
    SCOPED_TRACE(cut);
    Bytes d = file;
    d.erase(d.begin() + long(idat + 4 + length - cut), d.begin() + long(idat + 4 + length));
    d[idat - 1] = uint8_t(length - cut);
    Picture p;
    EXPECT_EQ(decodePngFast(d, p), cut <= 2 ? FastPng::decoded : FastPng::declined);
    EXPECT_EQ(byKiln(d), byStb(d));
  }
}

TEST(PngReader, RefusesASlotPastThePalette) {
  Picture p;
  ImageHeader header;
  const Bytes file = readFile(fixture("png_bad_index.png"));
  ASSERT_EQ(readImageHeader(file, header), "");
  EXPECT_EQ(decodeImage(file, header, p), kBadIndex);
}

// A picture of more than 256 colours is numbered in 32 bits, in the order
// the colours first appear.
TEST(PngReader, ManyColours) {
  Picture p;
  ASSERT_EQ(decodePngFast(readFile(fixture("png_pl_rgb_many.png")), p), FastPng::decoded);
  EXPECT_TRUE(p.indices.empty());
  ASSERT_EQ(p.pixels.size(), 512u);
  ASSERT_EQ(p.colours.size(), 512u);
  for (uint32_t i = 0; i < 512; ++i) {
    EXPECT_EQ(p.pixels[i], i);
    EXPECT_EQ(p.colours[i], 0xFF000000u | (i % 8 * 32) << 16 | (i / 8 % 8 * 32) << 8 | i / 64 * 32);
  }
}

}  // namespace
}  // namespace kiln
