#pragma once

#include <string>

#include "kiln/driver/run_state.h"

namespace kiln {

// A data-line compiler as the driver calls it: the run, the input path and
// the line's two-character code. The open database is run.openDatabase.
using Compiler = void (*)(RunState& run, const std::string& path, const char* code);

struct DispatchEntry {
  const char* code;
  Compiler compile;
};

// The compiler of a data-type code, or null for an unknown code.
Compiler findCompiler(const std::string& code);

// The brush and tile lines of one run must all have one bit depth.
void applyDepthRule(RunState& run, int depth);

}  // namespace kiln
