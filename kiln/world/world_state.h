#pragma once

namespace kiln {

// Counters that run on across the WA and MP lines of one build.
struct WorldState {
  int wallSequence = 0;
  int mapSequence = 0;
};

}  // namespace kiln
