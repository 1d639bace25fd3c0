#pragma once
// The wall record: its flags byte and brush entry, one definition for the
// compiler and the decoder.

#include <cstdint>

#include "kiln/pdb/bytes.h"

namespace kiln::walls_format {

// Record offsets (after the code).
enum : size_t { kFlags = 0, kViewStarts = 1, kBrushCount = 11, kAttribute10 = 12 };  // attributes 10-13: 12..19
constexpr int kFirstWordAttribute = 10, kLastWordAttribute = 13;
constexpr int kBrushValues = 9;

// Which attribute (numbered from 1) sets which bit of the wall flags when it
// is not 0; attribute 6 gives bits 4 to 7 besides.
struct FlagBit {
  int attribute;
  uint8_t bit;
};
inline constexpr FlagBit kFlagBits[] = {{2, 0x01}, {5, 0x02}, {3, 0x04}, {7, 0x08}, {1, 0x80}};
constexpr int kShadeAttribute = 6;
constexpr int kShadeShift = 4;

// attr is indexed by the attribute number (1 to 13).
inline uint8_t wallFlags(const int* attr) {
  uint8_t flags = uint8_t((attr[kShadeAttribute] & 0x0F) << kShadeShift);
  for (const FlagBit& f : kFlagBits)
    if (attr[f.attribute]) flags |= f.bit;
  return flags;
}

// Brush entry: value 1 as a word, values 2 to 7 as bytes, then the flags of
// values 8 and 9 and a zero byte.
enum : size_t { kBrushValue1 = 0, kBrushValue2 = 2, kBrushFlags = 8, kBrushReserved = 9 };
constexpr uint8_t kBrushValue8Bit = 0x02, kBrushValue9Bit = 0x01;

inline void fillBrushEntry(uint8_t* entry, const long long* v) {
  auto low = [](long long x) { return uint32_t(uint64_t(x)); };
  setBE16(entry + kBrushValue1, low(v[0]));
  for (int i = 1; i < 7; ++i) entry[kBrushValue2 + i - 1] = uint8_t(low(v[i]));
  entry[kBrushFlags] = uint8_t((low(v[7]) == 1 ? kBrushValue8Bit : 0) | (low(v[8]) == 1 ? kBrushValue9Bit : 0));
  entry[kBrushReserved] = 0;
}

}  // namespace kiln::walls_format
