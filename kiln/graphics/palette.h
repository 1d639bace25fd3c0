#pragma once

#include <array>
#include <cstdio>
#include <string>

#include "kiln/graphics/graphics_state.h"
#include "kiln/pdb/pdb.h"

namespace kiln {

// The PA record: 256 entries of reserved, red, green, blue. It is followed by
// the shade tables P0 to P4, 256 slots each.
constexpr size_t kPaletteRecordSize = 256 * 4;
constexpr size_t kShadeTableSize = 256;
inline constexpr const char* kShadeCodes[5] = {"P0", "P1", "P2", "P3", "P4"};

// Compiles the colour table of an 8-bit BMP into the records PA (the
// rearranged palette) and P0 to P4 (the shade tables). The result becomes the
// run's active palette, which is returned; the shade tables are kept beside it.
// With -palette the first palette of the run is listed in palette.txt: the
// listing is closed (and listing set to null) after it.
const Palette& compilePalette(GraphicsState& graphics, FILE*& listing, const std::string& path, const char* code,
                              Database& db);

// Rearranges the 256 entries into the device's slot order: the 6x6x6 cube
// (blue outermost, from FF down), ten grays, five extra colours, the entries
// left over in their own order, and black last.
void orderPalette(Palette& palette);

// Moves the unused source entry that matches (or is nearest to) the colour
// into slot count of target; false when every entry has been used.
bool takeNearestUnused(int& count, std::array<bool, 256>& used, const Palette& source, Palette& target,
                       int red, int green, int blue);

// P0 to P4 of a palette: each slot darkened by 0, 48, 96, 136 and 176 in
// every component (never below 0), matched back to the palette.
std::array<ShadeTable, 5> buildShadeTables(const Palette& palette);

}  // namespace kiln
