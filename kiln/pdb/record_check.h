#pragma once
// Helpers that every record decoder shares: the length a format needs against
// the bytes a record holds, and reading big-endian numbers back.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kiln {

inline uint32_t readBE32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline uint16_t readBE16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

// The payload bytes (after the code) that the writer stores for real bytes
// of data: the code and the data rounded up to a multiple of 4.
inline size_t paddedLength(size_t real) { return ((real + 2 + 3) & ~size_t(3)) - 2; }

// The record holds at least need bytes after its code (padding not checked).
inline bool hasBytes(size_t length, size_t need, std::string& error) {
  if (length >= need) return true;
  char text[160];
  std::snprintf(text, sizeof text, "record holds %zu bytes after its code, its format needs %zu", length, need);
  error = text;
  return false;
}

// A record of length payload bytes (padding included) must hold at least real
// bytes, and every byte after them must be zero. False with the reason.
inline bool checkRecordLength(const uint8_t* data, size_t length, size_t real, std::string& error) {
  char text[160];
  if (length < real) {
    std::snprintf(text, sizeof text, "record holds %zu bytes after its code, its format needs %zu", length, real);
    error = text;
    return false;
  }
  for (size_t i = real; i < length; ++i)
    if (data[i] != 0) {
      std::snprintf(text, sizeof text, "byte %zu after the end of the data (%zu bytes) is not zero", i, real);
      error = text;
      return false;
    }
  return true;
}

// For a source: the record is exactly what the writer would store.
inline bool exactLength(size_t length, size_t real, std::string& why) {
  if (length == paddedLength(real)) return true;
  char text[160];
  std::snprintf(text, sizeof text, "record holds %zu bytes after its code where kiln stores %zu", length,
                paddedLength(real));
  why = text;
  return false;
}

// A fixed-width, zero-padded name field: the text up to the first zero byte;
// clean is false when a byte after that zero is not zero.
inline std::string fieldText(const uint8_t* field, size_t width, bool* clean = nullptr) {
  size_t n = 0;
  while (n < width && field[n] != 0) ++n;
  if (clean) {
    *clean = true;
    for (size_t i = n; i < width; ++i)
      if (field[i] != 0) *clean = false;
  }
  return std::string(reinterpret_cast<const char*>(field), n);
}

}  // namespace kiln
