#include "kiln/graphics/bmp_write.h"

#include <algorithm>
#include <cstddef>

namespace kiln {

namespace {
void putLE32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = uint8_t(v >> (8 * i));
}
}  // namespace

std::vector<uint8_t> makeBmp8(int width, int height, const std::vector<uint32_t>& colours,
                              const std::vector<uint8_t>& indices) {
  const size_t rowBytes = (size_t(width) + 3) / 4 * 4;
  const size_t offset = 14 + 40 + 4 * colours.size();
  std::vector<uint8_t> b(offset + rowBytes * size_t(height), 0);
  uint8_t* p = b.data();
  p[0] = 'B';
  p[1] = 'M';
  putLE32(p + 2, uint32_t(b.size()));
  putLE32(p + 10, uint32_t(offset));
  putLE32(p + 14, 40);
  putLE32(p + 18, uint32_t(width));
  putLE32(p + 22, uint32_t(height));
  p[26] = 1;  // planes
  p[28] = 8;  // bits per pixel
  putLE32(p + 34, uint32_t(rowBytes * size_t(height)));
  putLE32(p + 38, 2835);  // 72 dots per inch
  putLE32(p + 42, 2835);
  putLE32(p + 46, uint32_t(colours.size()));
  for (size_t i = 0; i < colours.size(); ++i) putLE32(p + 54 + 4 * i, colours[i]);
  for (int y = 0; y < height; ++y)
    std::copy_n(indices.data() + size_t(y) * width, width, p + offset + size_t(height - 1 - y) * rowBytes);
  return b;
}

}  // namespace kiln
