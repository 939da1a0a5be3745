#!/usr/bin/env bash
# Builds the libFuzzer targets of the database layer with clang and fuzzes the ones named, or all
# of them (see fuzz/CMakeLists.txt):
#   datapacket        the data-packet codec and its JSON form
#   stationfile       a packet file read as the menu reads its station files
#   filter            a dataset filter expression, compiled and evaluated
#   connectionstring  a "key=value;" connection string
#
# FUZZ_SECONDS (default 120) is the time of the whole run, shared evenly by the targets named:
# one target alone gets all of it, all four get 30 s each. One input running longer than
# FUZZ_TIMEOUT seconds (default 10) counts as a hang. Each target starts from a copy of its seed
# corpus (fuzz/corpus/TARGET) in a temporary directory, so a run never adds inputs to the
# repository, and uses the dictionary fuzz/TARGET.dict. Every target is run even after another
# has a finding; the script then repeats the first finding's report, exits non-zero and keeps the
# temporary directory, whose path it prints, with each target's log and the inputs found in
# TARGET/artifacts.
#
#   scripts/fuzz.sh [TARGET...] [-libFuzzer-option...]
#   FUZZ_SECONDS=300 scripts/fuzz.sh filter
#   scripts/fuzz.sh datapacket -max_len=65536
#   FUZZ_BUILD_DIR=/tmp/build-fuzz scripts/fuzz.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-120}
timeout=${FUZZ_TIMEOUT:-10}
all_targets=(datapacket stationfile filter connectionstring)

targets=()
options=()
for arg in "$@"; do
  case "$arg" in
    -*) options+=("$arg") ;;
    *)
      if [[ " ${all_targets[*]} " != *" $arg "* ]]; then
        echo "fuzz.sh: unknown target '$arg' (targets: ${all_targets[*]})" >&2
        exit 2
      fi
      targets+=("$arg")
      ;;
  esac
done
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")
share=$(( seconds / ${#targets[@]} ))
[ "$share" -lt 1 ] && share=1

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DRES_FUZZ_ONLY=ON -DRES_BUILD_TESTS=OFF -DRES_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/%/_fuzzer}"

work=$(mktemp -d "${TMPDIR:-/tmp}/res-fuzz.XXXXXX")
failed=()
for target in "${targets[@]}"; do
  dir="$work/$target"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp "$root/fuzz/corpus/$target/"* "$dir/corpus/"
  echo "fuzz.sh: $target for $share s"
  status=0
  (cd "$dir" && "$build/fuzz/${target}_fuzzer" -max_total_time="$share" -timeout="$timeout" \
    -dict="$root/fuzz/$target.dict" -artifact_prefix="$dir/artifacts/" -print_final_stats=1 \
    ${options[@]+"${options[@]}"} "$dir/corpus" 2>&1) | tee "$dir/fuzz.log" || status=$?
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$dir/artifacts")" ]; then
    echo "fuzz.sh: $target: finding (exit status $status); inputs kept in $dir/artifacts" >&2
    failed+=("$target")
  else
    echo "fuzz.sh: $target: no findings in $share s"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  # The report of the first finding again, last, where a caller showing the tail will see it.
  tail -n 50 "$work/${failed[0]}/fuzz.log" >&2
  echo "fuzz.sh: findings in ${failed[*]}; kept $work" >&2
  exit 1
fi
rm -rf "$work"
echo "fuzz.sh: no findings in ${targets[*]} (${share} s each)"
