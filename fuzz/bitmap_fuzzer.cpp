// The bitmap converter on one BMP file, as every brush and tile line would
// convert it: gray levels at depths 2 and 4 (with and without an active
// palette), palette slots at depth 8, compressed and not.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "kiln/graphics/bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kiln;
  std::string path = fuzz::writeInput("fuzz.bmp", data, size);
  struct Variant {
    int depth;
    bool palette;
    int compressFlag;
  };
  for (Variant v : {Variant{2, false, 1}, Variant{4, false, 1}, Variant{2, true, 1}, Variant{4, true, 0},
                    Variant{8, true, 1}, Variant{8, true, 0}}) {
    fuzz::runOnce([&](RunState& run) {
      fuzz::prepareGraphics(run);
      BitmapTotals totals;
      convertBitmap(run.graphics, path, *run.openDatabase, v.compressFlag, "B8", v.depth,
                    v.palette ? &run.graphics.activePalette : nullptr, totals);
    });
  }
  return 0;
}
