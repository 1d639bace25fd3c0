#pragma once

#include <cstdint>
#include <vector>

namespace kiln {

// An 8-bit BMP as kiln reads it back: 40-byte information header, bottom-up
// rows padded to 4 bytes. colours are the table's entries as little-endian
// numbers (blue in the low byte, reserved in the high one), indices the
// pixels, top row first.
std::vector<uint8_t> makeBmp8(int width, int height, const std::vector<uint32_t>& colours,
                              const std::vector<uint8_t>& indices);

}  // namespace kiln
