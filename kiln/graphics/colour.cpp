#include "kiln/graphics/colour.h"

namespace kiln {

int matchPaletteColor(const Palette& palette, int red, int green, int blue) {
  for (int i = 0; i < 256; ++i)
    if (palette[i].red == red && palette[i].green == green && palette[i].blue == blue) return i;
  int best = 0;
  long bound = 1000000;
  for (int i = 0; i < 256; ++i) {
    long dr = palette[i].red - red, dg = palette[i].green - green, db = palette[i].blue - blue;
    long d = dr * dr + dg * dg + db * db;
    if (d < bound) {
      bound = d;
      best = i;
    }
  }
  return best;
}

}  // namespace kiln
