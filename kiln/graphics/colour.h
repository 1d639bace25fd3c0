#pragma once

#include <cstdint>

#include "kiln/graphics/graphics_state.h"

namespace kiln {

// Little-endian field readers for BMP files; the same on hosts of either byte order.
inline uint32_t readLE32(const uint8_t* b) {
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
inline int32_t readLE32Signed(const uint8_t* b) { return int32_t(readLE32(b)); }
inline uint16_t readLE16(const uint8_t* b) { return uint16_t(b[0] | b[1] << 8); }

// The lowest slot holding exactly this colour, else the nearest one by squared
// distance (lowest slot wins a tie).
int matchPaletteColor(const Palette& palette, int red, int green, int blue);

}  // namespace kiln
