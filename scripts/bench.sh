#!/usr/bin/env bash
# Builds and runs the benchmarks in an optimised build (build-bench/). Extra arguments go to
# every benchmark program, e.g. --benchmark_repetitions=5.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DRES_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)"
# The programs only: the build also leaves folders (bench_*_autogen) beside them.
for program in build-bench/bench/bench_*; do
  if [ -f "$program" ] && [ -x "$program" ]; then
    "$program" "$@"
  fi
done
