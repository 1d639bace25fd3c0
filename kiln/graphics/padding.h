#pragma once
// The writer pads every record with zero bytes to a multiple of 4 (the code
// included). A decoder that knows its record's real length checks the rest.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kiln {

// True when the bytes of data from `used` to `length` are the writer's
// padding: fewer than 4, all zero. Else false with the reason.
inline bool checkPadding(const uint8_t* data, size_t used, size_t length, std::string& error) {
  char text[120];
  if (used > length) {
    std::snprintf(text, sizeof text, "the record has %zu bytes; its format needs %zu", length, used);
    error = text;
    return false;
  }
  for (size_t i = used; i < length; ++i)
    if (data[i] != 0) {
      std::snprintf(text, sizeof text, "byte %zu after the record's %zu bytes is 0x%02X, not zero padding", i, used,
                    data[i]);
      error = text;
      return false;
    }
  if (length - used > 3) {
    std::snprintf(text, sizeof text, "%zu zero bytes follow the record's %zu; padding is at most 3", length - used,
                  used);
    error = text;
    return false;
  }
  return true;
}

}  // namespace kiln
