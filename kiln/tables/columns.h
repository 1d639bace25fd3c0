#pragma once
// Small helpers shared by the table compilers for reading their columns.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace kiln {

// The number in a column, read the way the tables have always been read
// (blanks, an optional sign, decimal digits; anything else ends the number,
// no digits give 0). Digits beyond the range of an int wrap around instead
// of being undefined, so the low bits a field keeps are always well defined.
inline int32_t columnInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + uint32_t(text[i] - '0');
  if (negative) value = 0u - value;
  return int32_t(value);
}

inline uint8_t columnByte(const std::string& text) { return uint8_t(columnInt(text)); }

// Copies at most width characters of text into a field of width bytes; the
// rest of the field is left as it is (zero in a fresh entry).
inline void copyName(uint8_t* field, size_t width, const std::string& text) {
  for (size_t i = 0; i < width && i < text.size(); ++i) field[i] = uint8_t(text[i]);
}

// An input file closed however the compiler leaves.
using TableFile = std::unique_ptr<FILE, int (*)(FILE*)>;

}  // namespace kiln
