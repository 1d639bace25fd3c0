#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kiln/pdb/pdb.h"

namespace kiln {

// A glyph word: two plane marks in bits 31 and 30 (00 one plane, 10 the first
// of two, 11 the second), then five rows of six pixels, row 1 column 0 in bit 29.
constexpr int kGlyphRows = 5, kGlyphColumns = 6;
constexpr uint32_t kGlyphMarks = 0xC0000000u;
constexpr uint32_t kGlyphFirstOfTwo = 0x80000000u;
constexpr uint32_t kGlyphSecondPlane = 0xC0000000u;
constexpr size_t kMaxGlyphWords = 1024;  // what the device reserves for a font
// The bit of the pixel in row 1 to 5, column 0 to 5.
constexpr uint32_t glyphBit(int row, int column) {
  return 1u << ((kGlyphRows - row) * kGlyphColumns + (kGlyphColumns - 1 - column));
}
// A drawing's separator line: "@" when the glyph's second plane follows.
constexpr char kSecondPlaneFollows = '@';

// Compiles a font drawn as text, six lines a glyph plane (five pixel rows of
// six columns, then a separator: blank, or "@" when a second plane follows),
// into one record of 32-bit glyph words under code.
int compileFont(const std::string& path, const char* code, Database& db);

}  // namespace kiln
