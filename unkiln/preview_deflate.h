#pragma once
// The zlib stream inside the preview's PNG files. stb_image_write's own
// compressor searches hard for matches, which costs seconds over the thousands
// of pictures of an adventure; pictures of flat colours need only repeats of
// the pixel before. This one codes those (distance 4, one RGBA pixel) and
// literals with deflate's fixed code, in one pass: the bytes depend on the
// input alone, on every platform.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace unkiln {

// A whole zlib stream (header, one fixed-code block, Adler-32) of data.
std::vector<uint8_t> deflateRuns(const uint8_t* data, size_t length);

// The CRC-32 of PNG chunks (and zip), eight bytes a step.
uint32_t crc32(const uint8_t* data, size_t length);

}  // namespace unkiln
