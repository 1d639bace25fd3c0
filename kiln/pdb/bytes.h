#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Every number in a database is big-endian, as on the device.
namespace kiln {

inline void setBE32(uint8_t* dst, uint32_t value) {
  dst[0] = uint8_t(value >> 24);
  dst[1] = uint8_t(value >> 16);
  dst[2] = uint8_t(value >> 8);
  dst[3] = uint8_t(value);
}

inline void setBE16(uint8_t* dst, uint32_t value) {
  dst[0] = uint8_t(value >> 8);
  dst[1] = uint8_t(value);
}

inline void appendBE32(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t b[4];
  setBE32(b, value);
  out.insert(out.end(), b, b + 4);
}

inline void appendBE16(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t b[2];
  setBE16(b, value);
  out.insert(out.end(), b, b + 2);
}

// Reverses the four bytes of a 32-bit number in place.
void swapLong(uint32_t* value);
// Swaps the two bytes of each of count 16-bit numbers in place.
void swapWords(uint16_t* values, size_t count);

}  // namespace kiln
