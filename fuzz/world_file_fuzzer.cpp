// One wall file (KIT_FUZZ_WALL) or one binary map file, compiled on its own.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "kiln/world/maps.h"
#include "kiln/world/walls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = kiln::fuzz::writeInput("fuzz.bin", data, size);
  kiln::fuzz::runOnce([&](kiln::RunState& run) {
#ifdef KIT_FUZZ_WALL
    std::vector<uint8_t> attributes;
    kiln::compileWall(path, *run.openDatabase, attributes, "WA");
#else
    kiln::compileMap(path, *run.openDatabase, "MP");
#endif
  });
  return 0;
}
