#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kiln {

// What reading one image file gave: its bytes, or what stopped the reading
// with the system's reason, kept so that it can be reported later.
struct ImageFileRead {
  enum class Fault { none, open, memory, read, tooLarge };
  Fault fault = Fault::none;
  int error = 0;  // errno of an open or read fault
  long size = 0;  // the file's size (memory and read faults)
  long got = 0;   // bytes read before a read fault
  std::vector<uint8_t> bytes;
};

// Reads a whole image file (BMP, PNG or anything else) into memory for the
// graphics compilers: one open, one fstat for its size and type, one read,
// one close, since an adventure has thousands of small brushes. Prints
// nothing and ends nothing, so it may run on any thread. A file larger than
// limit bytes is left unread (Fault::tooLarge).
ImageFileRead loadImageFile(const std::string& path, long limit = -1);

// The bytes of a read, or its fault reported as readImageFile reports it.
std::vector<uint8_t> takeImageFile(ImageFileRead&& read, const std::string& path);

// loadImageFile then takeImageFile: every failure is reported here ("ERROR:
// Can not open ..." with the system's reason, a folder as "Is a directory";
// the malloc and fread messages) and ends the run with status 1.
std::vector<uint8_t> readImageFile(const std::string& path);

}  // namespace kiln
