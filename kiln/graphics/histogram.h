#pragma once

#include <cstdint>
#include <string>

#include "kiln/graphics/graphics_state.h"
#include "kiln/graphics/graphics_state.h"

namespace kiln {

// Writes histogram.txt in the current folder: for every slot of the palette,
// how many opaque pixels of the run's 8-bit bitmaps use it. The file is
// written whole or not at all; a failure ends the run with status 1.
void writeHistogram(const GraphicsState& graphics, const Palette& palette);

// One line of the report, line end included.
std::string histogramLine(int slot, uint32_t count, const PaletteEntry& colour);

}  // namespace kiln
