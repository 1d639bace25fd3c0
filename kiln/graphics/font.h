#pragma once

#include <string>

#include "kiln/driver/run_state.h"
#include "kiln/pdb/pdb.h"

namespace kiln {

// Compiles a font drawn as text, six lines a glyph plane (five pixel rows of
// six columns, then a separator: blank, or "@" when a second plane follows),
// into one record of 32-bit glyph words under code.
int compileFont(RunState& run, const std::string& path, const char* code, Database& db);

}  // namespace kiln
