#pragma once
// The map header as the map file and the record hold it: one definition for
// the compiler and the decoder.

#include <cstddef>
#include <cstdint>

namespace kiln::maps_format {

// The one-byte header fields, in file and record order; their names are the
// ones the messages use.
inline constexpr const char* kByteFields[] = {"width", "height", "flags", "md", "startx", "starty", "specCnt", "pad"};
enum { kWidth, kHeight, kFlags, kMd, kStartX, kStartY, kSpecCnt, kPad };
constexpr size_t kCodeLengthAt = 8;  // in the record; the file has the 4-byte version before
constexpr size_t kNameAt = 10;
constexpr size_t kNameSize = 30;
constexpr size_t kSlotsAt = 40;     // four 32-bit slots, zero in the record
constexpr size_t kVersionSize = 4;  // before the header in the file

}  // namespace kiln::maps_format
