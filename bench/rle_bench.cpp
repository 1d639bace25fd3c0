// The run-length compressor on the pixel planes it meets: flat bands (long
// runs), a texture of a few colours (short runs among literals) and noise
// (no runs at all). Reported as bytes of input per second.

#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_support.h"
#include "kiln/graphics/rle.h"

namespace kiln::bench {
namespace {

std::vector<uint8_t> plane(int kind) {
  std::vector<uint8_t> bytes(128 * 128);
  Random r(6);
  uint8_t colours[6] = {12, 40, 41, 200, 201, 90};
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (kind == 0) bytes[i] = uint8_t(i / 4096 * 30);       // four bands
    else if (kind == 1) bytes[i] = colours[r.below(6) / 2 * 2 + (r.below(4) == 0)];  // few colours
    else bytes[i] = uint8_t(r.next());                       // noise
  }
  return bytes;
}

void BM_compressRLE(benchmark::State& state) {
  std::vector<uint8_t> input = plane(int(state.range(0)));
  for (auto _ : state) {
    ByteBuffer source, target;
    bufferInit(source, input.data(), input.size());
    bufferInit(target, nullptr, 0);
    compressRLE(source, target);
    benchmark::DoNotOptimize(target.length);
    bufferFree(target);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(input.size()));
}

BENCHMARK(BM_compressRLE)->ArgName("flat_texture_noise")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kiln::bench
