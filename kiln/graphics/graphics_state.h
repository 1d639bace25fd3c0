#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kiln {

// One palette entry as the database stores it: reserved, red, green, blue.
struct PaletteEntry {
  uint8_t reserved = 0, red = 0, green = 0, blue = 0;
};
using Palette = std::array<PaletteEntry, 256>;

// A shade table maps each palette slot to the slot drawn in its place at that
// shade; P0 is the identity, P1 to P4 ever darker.
using ShadeTable = std::array<uint8_t, 256>;

// Run-wide graphics state: it ties the palette, brush, tile and histogram
// lines of one build together, across databases.
struct GraphicsState {
  Palette activePalette{};             // refilled by each PA line
  std::array<ShadeTable, 5> shadeTables{};  // P0 to P4 of the active palette
  bool havePalette = false;            // currentPalette: a PA line has been compiled
  int graphicsDepth = 0;               // 0 until the first brush or tile line, then 2, 4 or 8
  std::array<uint32_t, 256> colourCounts{};  // per active-palette slot, for the histogram
  std::string lastWarnedPath;          // the bitmap the colour-match warning last named
};

}  // namespace kiln
