#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kiln/build_paths.h"
#include "kiln/graphics/graphics_state.h"
#include "kiln/pdb/pdb.h"

namespace kiln {

// A bitmap list being read: its lines, where the reader is, and the entry
// numbering so far.
struct BitmapList {
  std::string path;
  std::vector<uint8_t> text;
  size_t next = 0;     // offset of the next line
  int lineNumber = 0;  // of the line last read
  int entries = 0;     // brush sequence counter: entries read so far
  long lastNumber = 0;  // number of the last entry read
};

// Converts every BMP named by the list at listPath into one bitmap record
// under code, at depth 2, 4 or 8; palette is required at depth 8. Prints the
// list's totals line. Returns 0; every fault ends the run.
int compileBitmapList(const BuildPaths& paths, GraphicsState& graphics, const std::string& listPath, const char* code, Database& db, int depth,
                      const Palette* palette);

// The path of the list's next entry (build directory, separator, file name)
// and its compressFlag (1 unless the line's third field says otherwise), or
// nothing at the end of the list.
std::optional<std::string> readBitmapListEntry(const BuildPaths& paths, BitmapList& list, int& compressFlag);

}  // namespace kiln
