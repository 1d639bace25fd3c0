#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kiln {

// One palette entry as the database stores it: reserved, red, green, blue.
struct PaletteEntry {
  uint8_t reserved = 0, red = 0, green = 0, blue = 0;
};
using Palette = std::array<PaletteEntry, 256>;

// A shade table maps each palette slot to the slot drawn in its place at that
// shade; P0 is the identity, P1 to P4 ever darker.
using ShadeTable = std::array<uint8_t, 256>;

// The colour map of the last 8-bit bitmap, kept with the colour table and
// palette it was made from: the bitmaps of an adventure are drawn with one
// palette, so most share their colour table and need no matching of their own.
struct ColourMapCache {
  bool valid = false;
  Palette palette{};
  std::vector<uint32_t> entries;  // the picture's colours as colour-table entries
  std::vector<int> map;           // palette slot of each entry, 256 for transparent
  bool inexact = false;        // some entry had no exact match: the warning is due
};

// Run-wide graphics state: it ties the palette, brush, tile and histogram
// lines of one build together, across databases.
struct GraphicsState {
  Palette activePalette{};             // refilled by each PA line
  std::array<ShadeTable, 5> shadeTables{};  // P0 to P4 of the active palette
  bool havePalette = false;            // currentPalette: a PA line has been compiled
  int graphicsDepth = 0;               // 0 until the first brush or tile line, then 2, 4 or 8
  std::array<uint32_t, 256> colourCounts{};  // per active-palette slot, for the histogram
  bool countColours = true;            // false: no histogram is made, colourCounts stays 0
  std::string lastWarnedPath;          // the bitmap the colour-match warning last named
  ColourMapCache colourMapCache;       // of the last 8-bit bitmap converted
};

}  // namespace kiln
