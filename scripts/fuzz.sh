#!/usr/bin/env bash
# Builds the libFuzzer target for the data-packet codec with clang and fuzzes it for
# FUZZ_SECONDS (default 60). The seed corpus is copied to a temporary directory, so the run
# never adds inputs to the repository. Exits non-zero on a finding and keeps the temporary
# directory, whose path it prints, with the crashing input.
#
#   FUZZ_SECONDS=300 scripts/fuzz.sh [extra libFuzzer options...]
#   FUZZ_BUILD_DIR=/tmp/build-fuzz scripts/fuzz.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DRES_FUZZ_ONLY=ON -DRES_BUILD_TESTS=OFF -DRES_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target datapacket_fuzzer

work=$(mktemp -d "${TMPDIR:-/tmp}/datapacket-fuzz.XXXXXX")
mkdir "$work/corpus" "$work/artifacts"
cp "$root/fuzz/corpus/datapacket/"* "$work/corpus/"

status=0
(cd "$work" && "$build/fuzz/datapacket_fuzzer" -max_total_time="$seconds" \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" "$work/corpus") || status=$?

if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
  echo "fuzz.sh: finding (exit status $status); inputs kept in $work/artifacts" >&2
  exit "$(( status == 0 ? 1 : status ))"
fi
rm -rf "$work"
echo "fuzz.sh: no findings in ${seconds} s"
