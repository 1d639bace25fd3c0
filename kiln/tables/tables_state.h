#pragma once

#include <vector>
#include <cstdint>

namespace kiln {

// Table state that runs on across lines of one build.
struct TablesState {
  std::vector<std::vector<uint8_t>> acRows;  // AC rows accumulate across AC lines
};

}  // namespace kiln
