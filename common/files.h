#pragma once

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

// An output file that is written whole or not at all: the bytes go to
// path + ".tmp", which commit() renames over path. If the owner goes away
// without committing (a fault on the way), the temporary file is removed and
// the previous file at path is left untouched.
struct AtomicFile {
  std::string path;
  std::string tmpPath;
  FILE* file = nullptr;
  bool committed = false;

  AtomicFile() = default;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  // Creates the temporary file; false (errno set) when it cannot be created.
  bool open(const std::string& finalPath, const char* mode = "wb");
  // Closes and renames the temporary file over the final path; false (errno
  // set, temporary file removed) when that fails.
  bool commit();
  // Closes and removes the temporary file.
  void discard();
};

}  // namespace kit
