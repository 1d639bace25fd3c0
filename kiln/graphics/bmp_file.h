#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kiln {

// Reads a whole BMP (or any) file into memory for the graphics compilers.
// Every failure is reported here ("ERROR: Can not open ...", the malloc and
// fread messages) and ends the run with status 1.
std::vector<uint8_t> readBmpFile(const std::string& path);

}  // namespace kiln
