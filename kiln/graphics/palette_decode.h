#pragma once
// Reads the palette (PA) and the shade tables (P0 to P4) back, and makes the
// 8-bit BMP that compiles to them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kiln/graphics/graphics_state.h"
#include "kiln/pdb/record_info.h"

namespace kiln {

bool decodePalette(const uint8_t* data, size_t length, Palette& out, std::string& error);
bool decodeShadeTable(const uint8_t* data, size_t length, ShadeTable& out, std::string& error);

// "PA 256 colours"; fields: colours, each its reserved byte, red, green, blue.
bool describePalette(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                     std::string& error);
// "P1 shade table 1"; fields: shade (0 to 4) and slots, the 256 slots drawn instead.
bool describeShadeTable(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                        std::string& error);

// An 8-bit BMP that compiles to this palette and these shade tables (P0..P4 as
// stored). Its pixels show the 256 colours as a 16 x 16 swatch.
bool paletteSource(const Palette& palette, const std::array<ShadeTable, 5>& shades, std::vector<uint8_t>& bmp,
                   std::string& why);

}  // namespace kiln
