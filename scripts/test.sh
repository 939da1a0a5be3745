#!/usr/bin/env bash
# The one test command: installs what is missing, builds, and runs every test (a local
# PostgreSQL server included, which CTest starts and stops itself); under CI or with
# FUZZ_SECONDS set, runs every fuzz target for FUZZ_SECONDS in all (default 120, shared evenly,
# see scripts/fuzz.sh) and fails on a finding; builds the terminal's Debian package and checks
# its contents and dependencies; then runs the same suite built with AddressSanitizer and
# UndefinedBehaviorSanitizer (SKIP_SANITIZE=1 leaves that out).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300
}

echo "== build and test"
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRES_WERROR=ON

echo "== the terminal's package: build it and check its contents and dependencies"
scripts/package.sh

if [ -n "${CI:-}" ] || [ -n "${FUZZ_SECONDS:-}" ]; then
  echo "== fuzz every target for ${FUZZ_SECONDS:-120} s in all (log: build-fuzz/fuzz.log)"
  mkdir -p build-fuzz
  if ! FUZZ_SECONDS=${FUZZ_SECONDS:-120} scripts/fuzz.sh > build-fuzz/fuzz.log 2>&1; then
    tail -n 60 build-fuzz/fuzz.log
    echo "the fuzzer found a failure" >&2
    exit 1
  fi
  grep -E "^Done|^fuzz.sh: .*: no findings" build-fuzz/fuzz.log || true
fi

if [ "${SKIP_SANITIZE:-}" != 1 ]; then
  echo "== build and test with AddressSanitizer + UndefinedBehaviorSanitizer"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DRES_SANITIZE=ON -DRES_BUILD_BENCH=OFF -DRES_WERROR=ON
fi
