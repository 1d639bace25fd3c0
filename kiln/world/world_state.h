#pragma once

namespace kiln {

// What the WA and MP lines of one build share.
struct WorldState {
  // The numbers of walls and maps run on across lines: a second WA (MP) line
  // continues where the first stopped.
  int wallSequence = 0;
  int mapSequence = 0;
};

}  // namespace kiln
