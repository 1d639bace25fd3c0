#pragma once

#include <string>

#include "kiln/driver/run_state.h"

namespace kiln {

// A data-line compiler as the driver calls it: the run, the input path, the
// line's two-character code and the database its records go to.
using Compiler = void (*)(RunState& run, const std::string& path, const char* code, Database& db);

// Every data-type code a configuration line may start with: the string
// records, then the compilers' codes.
inline constexpr const char* kDataTypeCodes[] = {"RW", "RT", "RE", "PA", "B2", "B4", "B8", "T2", "T4", "T8", "FN",
                                                 "WA", "MP", "TX", "TG", "OB", "HE", "SP", "CL", "MO", "MT", "AC"};

struct DispatchEntry {
  const char* code;
  Compiler compile;
};

// The compiler of a data-type code, or null for an unknown code.
Compiler findCompiler(const std::string& code);

// Compiles one data line by its code, which must be known.
void compileLine(RunState& run, const std::string& path, const char* code, Database& db);

// The brush and tile lines of one run must all have one bit depth.
void applyDepthRule(RunState& run, int depth);

}  // namespace kiln
