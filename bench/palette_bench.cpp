// Palette ordering (the cube, grays and extras picked from a shuffled colour
// table) and the shade tables built from it, once per PA line.

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "kiln/graphics/palette.h"

namespace kiln::bench {
namespace {

// A palette of the device colours and 25 of an adventure's own, shuffled.
Palette shuffledPalette() {
  Palette p{};
  int n = 0;
  const int steps[6] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};
  for (int r : steps)
    for (int g : steps)
      for (int b : steps) p[n++] = {0, uint8_t(r), uint8_t(g), uint8_t(b)};
  Random rnd(3);
  while (n < 256) p[n++] = {0, uint8_t(rnd.below(256)), uint8_t(rnd.below(256)), uint8_t(rnd.below(256))};
  for (int i = 255; i > 0; --i) std::swap(p[i], p[rnd.below(i + 1)]);
  return p;
}

// Colours none of which are in the table: every pick is a nearest search.
Palette offPalette() {
  Palette p{};
  Random rnd(4);
  for (auto& e : p) e = {0, uint8_t(rnd.below(256) | 1), uint8_t(rnd.below(256) | 1), uint8_t(rnd.below(256) | 1)};
  return p;
}

void BM_orderPalette(benchmark::State& state, const Palette& source) {
  for (auto _ : state) {
    Palette p = source;
    orderPalette(p);
    benchmark::DoNotOptimize(p);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_buildShadeTables(benchmark::State& state) {
  Palette p = shuffledPalette();
  orderPalette(p);
  for (auto _ : state) benchmark::DoNotOptimize(buildShadeTables(p));
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(BM_orderPalette, device_colours, shuffledPalette())->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_orderPalette, off_colours, offPalette())->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_buildShadeTables)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kiln::bench
