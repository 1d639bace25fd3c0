#pragma once

#include <cstdint>
#include <vector>

#include "common/files.h"

namespace kiln {

// What the WA and MP lines of one build share.
struct WorldState {
  // The numbers of walls and maps run on across lines: a second WA (MP) line
  // continues where the first stopped.
  int wallSequence = 0;
  int mapSequence = 0;
  // The wallattr.bin entries of every wall compiled so far in this build, in
  // wall-number order, so that entry n is wall n however many WA lines there
  // are.
  std::vector<uint8_t> wallAttributes;
  // wallattr.bin, created by a WA line and written out with all the entries
  // when the database that took the walls is finished: the side file and the
  // walls database change together or not at all.
  kit::AtomicFile wallAttrFile;
};

}  // namespace kiln
