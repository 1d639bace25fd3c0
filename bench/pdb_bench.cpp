// The database writer: records added one by one, then the file laid out and
// written, as for the wall database of a large adventure (2,000 brush-sized
// records and 300 wall records).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "kiln/pdb/pdb.h"

namespace kiln::bench {
namespace {

void BM_writeDatabase(benchmark::State& state) {
  std::string dir = (std::filesystem::temp_directory_path() / "kiln-bench-XXXXXX").string();
  if (!mkdtemp(dir.data())) {
    state.SkipWithError("no temporary folder");
    return;
  }
  std::string path = dir + "/BenchWalls";
  std::vector<uint8_t> brush(4 + 512 + 4096), wall(20 + 10 * 25);
  Random r(5);
  for (auto& b : brush) b = uint8_t(r.next());
  int64_t bytes = 0;
  for (auto _ : state) {
    auto db = createPDB("Bench Walls", path, 0x57414C4C, 0x546C6D32, 0x100);
    for (int i = 0; i < 2000; ++i) addPDBEntry(*db, "B8", brush.data(), brush.size() - size_t(i % 7) * 100);
    for (int i = 0; i < 300; ++i) addPDBEntry(*db, "WA", wall);
    QuietStdout quiet;
    finishPDB(*db);
    bytes += int64_t(std::filesystem::file_size(path + ".pdb"));
  }
  state.SetBytesProcessed(bytes);
  std::filesystem::remove_all(dir);
}

BENCHMARK(BM_writeDatabase)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kiln::bench
