#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, build-fuzz/) and runs each for the
# given number of seconds, one after the other, from its seed corpus.
#   scripts/fuzz.sh SECONDS [harness...]     (default: every harness)
# Environment: FUZZ_JOBS (harnesses run at once, default 1), FUZZ_BUILD_JOBS
# (default 1), FUZZ_BUILD (build folder, default build-fuzz).
# Each run's log is build-fuzz/logs/<harness>.log; inputs it finds new are
# kept in build-fuzz/corpus/<harness>/ (the checked-in seeds stay as they are),
# findings in build-fuzz/findings/. Ends non-zero when a harness found a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: scripts/fuzz.sh SECONDS [harness...]}
shift
build=${FUZZ_BUILD:-build-fuzz}
jobs=${FUZZ_JOBS:-1}

cxx=$(command -v clang++ || command -v clang++-14 || true)
[ -n "$cxx" ] || { echo "fuzz.sh: clang++ is needed" >&2; exit 2; }
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
  -DKIT_FUZZ=ON -DKIT_TESTS=OFF >/dev/null

harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for d in fuzz/corpus/*/; do harnesses+=("$(basename "$d")"); done
fi
cmake --build "$build" -j"${FUZZ_BUILD_JOBS:-1}" --target "${harnesses[@]/#/fuzz_}" >/dev/null

mkdir -p "$build/logs" "$build/findings"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kiln-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

run_one() {
  local name=$1
  mkdir -p "$build/corpus/$name"
  local dict=-dict=fuzz/kiln.dict
  case $name in rle | bitmap | map_file | pdb_reader | decoder | png) dict= ;; esac  # binary inputs
  # -rss_limit_mb/-malloc_limit_mb: no input may make kiln allocate without bound.
  TMPDIR=$scratch "$build/bin/fuzz_$name" "$build/corpus/$name" "fuzz/corpus/$name" \
    $dict -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb=512 -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$name-" >"$build/logs/$name.log" 2>&1
}

failed=()
running=0
for name in "${harnesses[@]}"; do
  ( if run_one "$name"; then
      echo "$name: $(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$build/logs/$name.log" | tail -1)"
    else
      echo "$name: FAILED, see $build/logs/$name.log"; exit 1
    fi ) &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed+=(x)
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || failed+=(x)
  running=$((running - 1))
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: ${#failed[@]} harness(es) found a fault" >&2
  exit 1
fi
echo "fuzz.sh: ${#harnesses[@]} harnesses ran ${seconds}s each with no finding"
