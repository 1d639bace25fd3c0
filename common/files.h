#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kit {

// Opens an input file for reading in binary mode. A folder is refused like a
// file that cannot be opened (errno EISDIR), so that callers report it through
// perror with the system's reason instead of reading garbage from it.
FILE* openInputFile(const std::string& path);

// Reads a whole file; false (errno set) when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

// True when the file at path holds exactly size bytes equal to bytes; false
// when it holds others, is missing, is a folder or cannot be read. One open
// and one read: an extraction run again looks at thousands of files.
bool fileHolds(const std::string& path, const void* bytes, size_t size);

// Output files: see common/output_file.h.

}  // namespace kit
