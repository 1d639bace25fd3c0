// 8-bit bitmap conversion, as a brush or tile list drives it: the BMP read
// from disk, its colours matched to the active palette, the planes encoded and
// compressed when that pays, the record added. Reported as pixels per second.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "kiln/driver/run_state.h"
#include "kiln/graphics/bitmap.h"

namespace kiln::bench {
namespace {

// The device colours (blue outermost, as the palette compiler orders them, so
// slot 185 is pure red) and 40 of an adventure's own.
Palette benchPalette() {
  Palette p{};
  int n = 0;
  const int steps[6] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};
  for (int b : steps)
    for (int r : steps)
      for (int g : steps) p[n++] = {0, uint8_t(r), uint8_t(g), uint8_t(b)};
  Random rnd(7);
  while (n < 256) p[n++] = {0, uint8_t(rnd.below(256)), uint8_t(rnd.below(256)), uint8_t(rnd.below(256))};
  return p;
}

// An uncompressed bottom-up 8-bit BMP whose colour table is the palette (in
// reverse order, so every colour is looked up), or off it when asked.
std::vector<uint8_t> bmp(int size, int kind, bool offPalette) {
  Palette p = benchPalette();
  std::vector<uint8_t> b(54 + 1024 + size_t(size) * size, 0);
  auto le32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  le32(2, uint32_t(b.size()));
  le32(10, 54 + 1024);
  le32(14, 40);
  le32(18, uint32_t(size));
  le32(22, uint32_t(size));
  b[26] = 1;
  b[28] = 8;
  le32(46, 256);
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& e = p[255 - i];
    b[54 + 4 * i] = uint8_t(offPalette && i % 16 == 3 ? e.blue ^ 5 : e.blue);
    b[54 + 4 * i + 1] = e.green;
    b[54 + 4 * i + 2] = e.red;
  }
  const uint8_t red = 255 - 185;  // the table index of pure red
  Random r(8);
  uint8_t* px = b.data() + 54 + 1024;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      uint8_t v;
      if (kind == 0) v = uint8_t(y / (size / 4) * 17 + 3);  // flat bands: compresses
      else v = uint8_t(r.below(8) * 9 + 1);                 // texture
      if (kind == 2 && (x - size / 2) * (x - size / 2) + (y - size / 2) * (y - size / 2) > size * size / 5) v = red;
      px[y * size + x] = v == red && kind != 2 ? 0 : v;
    }
  return b;
}

void BM_convertBitmap8(benchmark::State& state, int size, int kind, bool offPalette) {
  std::string dir = (std::filesystem::temp_directory_path() / "kiln-bench-XXXXXX").string();
  if (!mkdtemp(dir.data())) {
    state.SkipWithError("no temporary folder");
    return;
  }
  std::string path = dir + "/b.bmp";
  std::vector<uint8_t> file = bmp(size, kind, offPalette);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));

  RunState run;
  run.graphics.activePalette = benchPalette();
  run.graphics.havePalette = true;
  run.graphics.lastWarnedPath = path;  // the one off-palette warning is not what is measured
  Database db;
  BitmapTotals totals;
  for (auto _ : state) {
    convertBitmap(run.graphics, path, db, 1, "B8", 8, &run.graphics.activePalette, totals);
    db.recordData.clear();
    db.recordOffsets.clear();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * size * size);
  std::filesystem::remove_all(dir);
}

BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_texture, 64, 1, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_masked, 64, 2, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_off_palette, 64, 1, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, tile128_flat, 128, 0, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, tile128_texture, 128, 1, false)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kiln::bench
