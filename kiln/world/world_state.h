#pragma once

#include <cstdint>
#include <vector>

namespace kiln {

// What the WA and MP lines of one build share.
struct WorldState {
  // The numbers of walls and maps run on across lines: a second WA (MP) line
  // continues where the first stopped.
  int wallSequence = 0;
  int mapSequence = 0;
  // The wallattr.bin entries of every wall compiled so far in this build, in
  // wall-number order. Each WA line rewrites the file with all of them, so the
  // file lines up with the wall numbers however many WA lines there are.
  std::vector<uint8_t> wallAttributes;
};

}  // namespace kiln
