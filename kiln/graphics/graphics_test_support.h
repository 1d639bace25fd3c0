#pragma once
// Test helpers for the graphics code: a small BMP writer, the device's side
// of the run-length stream, and where the test images and the sample live.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "kiln/graphics/graphics_state.h"

namespace kiln::testing {

// A BMP colour entry as a little-endian number: reserved, red, green, blue
// from the high byte down.
constexpr uint32_t rgb(int r, int g, int b, int reserved = 0) {
  return uint32_t(reserved) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

struct TestBmp {
  int width = 4;
  int bitsPerPixel = 8;
  std::vector<uint32_t> colours;           // the colour table
  std::vector<std::vector<int>> rows;      // colour indices, top row first
  uint32_t infoSize = 40;
  bool topDown = false;
  long colorsUsed = -1;                    // the field as written; -1: the table's size
  uint32_t compression = 0;
};

inline void putLE(std::vector<uint8_t>& b, size_t at, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

inline std::vector<uint8_t> makeBmp(const TestBmp& t) {
  int height = int(t.rows.size());
  size_t rowBytes = t.bitsPerPixel == 8 ? (size_t(t.width) + 3) / 4 * 4 : 4 * ((size_t(t.width) + 7) / 8);
  size_t table = 14 + t.infoSize;
  size_t offset = table + 4 * t.colours.size();
  std::vector<uint8_t> b(offset + rowBytes * height, 0);
  b[0] = 'B';
  b[1] = 'M';
  putLE(b, 2, uint32_t(b.size()), 4);
  putLE(b, 10, uint32_t(offset), 4);
  putLE(b, 14, t.infoSize, 4);
  putLE(b, 18, uint32_t(t.width), 4);
  putLE(b, 22, uint32_t(t.topDown ? -height : height), 4);
  putLE(b, 26, 1, 2);
  putLE(b, 28, uint32_t(t.bitsPerPixel), 2);
  putLE(b, 30, t.compression, 4);
  putLE(b, 46, uint32_t(t.colorsUsed < 0 ? long(t.colours.size()) : t.colorsUsed), 4);
  for (size_t i = 0; i < t.colours.size(); ++i) putLE(b, table + 4 * i, t.colours[i], 4);
  for (int y = 0; y < height; ++y) {
    size_t stored = t.topDown ? y : height - 1 - y;
    uint8_t* row = b.data() + offset + stored * rowBytes;
    for (int x = 0; x < t.width; ++x) {
      int v = t.rows[y][x];
      if (t.bitsPerPixel == 8)
        row[x] = uint8_t(v);
      else
        row[x / 2] |= uint8_t((x & 1) ? v : v << 4);
    }
  }
  return b;
}

// What the device does with a compressed record: literal packets (n < 0x80)
// copy n bytes, run packets repeat one byte n - 0x80 times, up to the end of
// the stored record (its zero padding unpacks to nothing). False when a packet
// runs past the end.
inline bool unpackRLE(const std::vector<uint8_t>& in, size_t start, std::vector<uint8_t>& out) {
  size_t i = start;
  while (i < in.size()) {
    uint8_t n = in[i++];
    if (n < 0x80) {
      if (n > in.size() - i) return false;
      out.insert(out.end(), in.begin() + i, in.begin() + i + n);
      i += n;
    } else {
      if (i >= in.size()) return false;
      out.insert(out.end(), size_t(n - 0x80), in[i++]);
    }
  }
  return true;
}

// A palette whose slot i holds the gray (i, i, i): every pixel byte is then
// the colour index itself.
inline Palette grayPalette() {
  Palette p{};
  for (int i = 0; i < 256; ++i) p[i] = {0, uint8_t(i), uint8_t(i), uint8_t(i)};
  return p;
}

// The web-safe cube in the palette compiler's slot order (blue outermost, each
// component from 0xFF down, black in the last slot), then the ten grays and
// the five extra colours, 25 odd colours and black.
inline Palette cubePalette() {
  Palette p{};
  int slot = 0;
  for (int b = 255; b >= 0; b -= 51)
    for (int r = 255; r >= 0; r -= 51)
      for (int g = 255; g >= 0; g -= 51)
        if (r || g || b) p[slot++] = {0, uint8_t(r), uint8_t(g), uint8_t(b)};
  for (int v : {0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE}) p[slot++] = {0, uint8_t(v), uint8_t(v), uint8_t(v)};
  for (uint32_t c : {0xC0C0C0u, 0x000080u, 0x800080u, 0x008000u, 0x808000u})
    p[slot++] = {0, uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
  for (; slot < 255; ++slot) p[slot] = {0, 1, 2, uint8_t(slot)};  // stand-ins for a file's leftover colours
  p[255] = {0, 0, 0, 0};
  return p;
}

// The slot of a web-safe colour in cubePalette().
constexpr int cubeSlot(int r, int g, int b) {
  return (r | g | b) == 0 ? 255 : (5 - b / 51) * 36 + (5 - r / 51) * 6 + (5 - g / 51);
}

// A file of testdata/ (images written by ImageMagick, see its scripts).
inline std::string fixture(const std::string& name) {
  return (std::filesystem::path(__FILE__).parent_path() / "testdata" / name).string();
}

// The sample adventure, examples/Quest, and a file of it.
inline std::string sampleFolder() {
  return (std::filesystem::path(__FILE__).parent_path() / "../../examples/Quest").string();
}
inline std::string samplePath(const std::string& name) { return sampleFolder() + "/" + name; }

// The block printed for a bitmap header fault.
inline std::string framed(const std::string& path, const std::string& message) {
  return "\n=============================================\nFile: " + path + "\n" + message +
         "=============================================\n";
}

}  // namespace kiln::testing
