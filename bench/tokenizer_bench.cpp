// The line tokenizer, on tables shaped like the object and text tables of a
// large adventure. Reported as bytes of input per second.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_support.h"
#include "kiln/text/tokenizer.h"

namespace kiln::bench {
namespace {

std::string objectTable(int lines) {
  Random r(1);
  std::string text = "# Objects: number, name, columns, attribute, bonus, type and its columns\n";
  const char* types[] = {"HandWeapon 2 8 0 0 1", "Protection shield 2 0 0 0", "Potion hitpoints 20 1",
                         "Jewelry ring resist_fire 10 0"};
  for (int i = 0; i < lines; ++i) {
    text += std::to_string(i) + " \"Object " + std::to_string(r.below(100000)) + "\"";
    for (int c = 2; c <= 12; ++c) text += " " + std::to_string(r.below(c == 7 ? 5000 : 20));
    text += " strength " + std::to_string(r.below(5)) + " dexterity -1 " + types[r.below(4)] + "\n";
  }
  return text;
}

std::string textTable(int lines) {
  Random r(2);
  std::string text = "# Texts: number, name, text\n";
  for (int i = 0; i < lines; ++i) {
    text += std::to_string(i + 1) + " TXT_" + std::to_string(i) + " \"";
    int words = 1 + r.below(12);
    for (int w = 0; w < words; ++w) text += std::string(1 + r.below(8), char('a' + r.below(26))) + " ";
    text += r.below(10) == 0 ? "\\\"quoted\\\"\\n" : "end";
    text += "\"\r\n";
  }
  return text;
}

void readAll(benchmark::State& state, const std::string& text) {
  FILE* file = memoryFile(text);
  long lines = 0;
  for (auto _ : state) {
    std::rewind(file);
    TokenReader reader;  // a table opened afresh, as each compiler does
    reader.file = file;
    reader.path = "bench.txt";
    for (;;) {
      int count = readTokens(reader);
      if (count == 0 && reader.atEnd()) break;
      ++lines;
    }
  }
  benchmark::DoNotOptimize(lines);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
  std::fclose(file);
}

void BM_readTokens_objects(benchmark::State& state) { readAll(state, objectTable(20000)); }
void BM_readTokens_texts(benchmark::State& state) { readAll(state, textTable(10000)); }

BENCHMARK(BM_readTokens_objects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_readTokens_texts)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kiln::bench
