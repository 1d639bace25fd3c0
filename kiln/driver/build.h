#pragma once

#include <cstdio>

#include "kiln/driver/run_state.h"

namespace kiln {

// Reads the adventure configuration and builds its databases. Returns after
// "Done."; faults throw kit::Exit.
void buildAdventure(RunState& run, FILE* config);

}  // namespace kiln
