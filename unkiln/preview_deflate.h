#pragma once
// The zlib stream inside the preview's PNG files. stb_image_write's own
// compressor searches hard for matches, which costs seconds over the thousands
// of pictures of an adventure. This one takes, at each position, the one
// earlier place where the same four bytes were last seen (a pixel of the same
// colour, a row like one above) and codes with deflate's fixed code, in one
// pass: the bytes depend on the input alone, on every platform.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace unkiln {

// A whole zlib stream (header, fixed-code blocks, Adler-32) of data. Data of
// more than a megabyte (a contact sheet's rows) is coded in parts of one,
// side by side on the processors there are; the bytes depend on the data
// alone.
std::vector<uint8_t> deflateFast(const uint8_t* data, size_t length);

// The CRC-32 of PNG chunks (and zip), eight bytes a step.
uint32_t crc32(const uint8_t* data, size_t length);

}  // namespace unkiln
