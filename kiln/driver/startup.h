#pragma once

#include "kiln/driver/run_state.h"

namespace kiln {

// kiln from start to end: banner, adventures folder, command line, the
// configuration file and its build. Returns normally after "Done." or the
// usage text is handled by throwing kit::Exit{0}; faults throw kit::Exit.
void runKiln(RunState& run, int argc, char** argv);

void printUsage(const char* programName);

}  // namespace kiln
