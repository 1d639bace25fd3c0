#!/usr/bin/env bash
# kiln's benchmark: builds kiln (and, when Google Benchmark is installed, the
# micro-benchmarks) in build-bench/, then times kiln on the generated benchmark
# adventure at scales 0.1, 1 and 3, and unkiln extract of what it built, and
# reports the figures against the targets.
# Arguments are passed on to run_bench.py (e.g. --runs 9, --scales 1).
# JOBS sets the build's parallel jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIT_TESTS=OFF -DKIT_BENCH=ON >/dev/null
targets=(--target kiln --target unkiln)
micro=()
if grep -q '^KIT_HAVE_BENCHMARK:INTERNAL=1' build-bench/CMakeCache.txt; then
  targets+=(--target kiln_bench)
  micro=(--micro build-bench/bin/kiln_bench)
else
  echo "Google Benchmark not found (Debian: libbenchmark-dev): whole-run figures only." >&2
fi
cmake --build build-bench -j"${JOBS:-2}" "${targets[@]}" >/dev/null

exec python3 bench/run_bench.py --kiln build-bench/bin/kiln --unkiln build-bench/bin/unkiln "${micro[@]}" "$@"
