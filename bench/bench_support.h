#pragma once
// Helpers of the micro-benchmarks: repeatable pseudo-random input and a way
// to keep the writer's summary lines out of the benchmark's report.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <vector>

namespace kiln::bench {

// A small fixed-seed generator, so every run measures the same input.
struct Random {
  uint64_t state;
  explicit Random(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t(state >> 33);
  }
  int below(int n) { return int(next() % uint32_t(n)); }
};

// A temporary file holding text, open for reading; closed (and gone) on exit.
inline FILE* memoryFile(const std::string& text) {
  FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  return f;
}

// Sends standard output to /dev/null while it lives.
struct QuietStdout {
  int saved;
  QuietStdout() {
    std::fflush(stdout);
    saved = dup(1);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
  }
};

}  // namespace kiln::bench
