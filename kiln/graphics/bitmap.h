#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kiln/graphics/graphics_state.h"
#include "kiln/pdb/pdb.h"

namespace kiln {

// Running sizes of one bitmap list, for its totals line: the payloads as
// stored and as they would be uncompressed (the 4-byte header included).
struct BitmapTotals {
  long totalStoredSize = 0;
  long totalUncompressedSize = 0;
};

// Two 8-bit components count as equal for grayness when they differ by 0 to 7.
bool isNear(int a, int b);

// The active-palette slot of a BMP colour entry (blue in the low byte, then
// green, red, reserved), or 256 for the transparent pure red. A colour that is
// not in the palette gets the nearest slot and, once per file, a warning.
int matchBrushColor(GraphicsState& graphics, const Palette& palette, uint32_t colourEntry, const std::string& path);

// Converts the BMP at path into one bitmap record under code: gray levels at
// depth 2 or 4, palette slots at depth 8 (palette must then be given).
// compressFlag 0 forbids run-length compression. Every fault ends the run.
void convertBitmap(GraphicsState& graphics, const std::string& path, Database& db, int compressFlag, const char* code,
                   int depth, const Palette* palette, BitmapTotals& totals);

// The same with the file's bytes already read (file).
void convertBitmap(GraphicsState& graphics, const std::string& path, std::vector<uint8_t> file, Database& db,
                   int compressFlag, const char* code, int depth, const Palette* palette, BitmapTotals& totals);

}  // namespace kiln
