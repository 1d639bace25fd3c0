#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kiln {

// Reads a whole image file (BMP, PNG or anything else) into memory for the
// graphics compilers: one open, one fstat for its size and type, one read,
// one close, since an adventure has thousands of small brushes. Every failure
// is reported here ("ERROR: Can not open ..." with the system's reason, a
// folder as "Is a directory"; the malloc and fread messages) and ends the run
// with status 1.
std::vector<uint8_t> readImageFile(const std::string& path);

}  // namespace kiln
