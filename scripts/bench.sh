#!/usr/bin/env bash
# Builds and runs the benchmarks in an optimised build (build-bench/). Extra arguments go to
# every benchmark program, e.g. --benchmark_repetitions=5 (the ratios and the plot then use the
# medians).
#
# The PostgreSQL side runs against a throwaway server started for the run and stopped after it
# (scripts/pg-test-server.sh, in build-bench/pgserver), unless RES_BENCH_PG_CONNECTION already
# names a server; its databases are generated at every start, the SQLite ones once, in
# RES_BENCH_DIR (default build-bench/data).
#
# The report goes to build-bench/report/: per program its console output (<program>.txt, with
# the table of function/raw ratios) and Google Benchmark's JSON (<program>.json); for the data
# functions the times per item count (data-functions.tsv) and their plot (data-functions.svg);
# for the live floor (bench_live_floor, a program of its own: commit to repaint on an open map,
# and an idle map's processor time) live-floor.txt. RES_BENCH_LIVE_ARGS passes it its options
# (e.g. "--changes 50 --idle-seconds 10").
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh gnuplot-nox jq
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DRES_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target bench_db bench_data_functions bench_live_floor

export RES_BENCH_DIR=${RES_BENCH_DIR:-$PWD/build-bench/data}
if [ -z "${RES_BENCH_PG_CONNECTION:-}" ]; then
  server=build-bench/pgserver
  trap 'scripts/pg-test-server.sh stop "$server" >/dev/null' EXIT
  scripts/pg-test-server.sh start "$server"
  RES_BENCH_PG_CONNECTION=$(cat "$server/connection.txt")
  export RES_BENCH_PG_CONNECTION
fi

report=build-bench/report
mkdir -p "$report"
for name in bench_db bench_data_functions; do
  program=build-bench/bench/$name
  "$program" --benchmark_color=false --benchmark_out="$report/$name.json" --benchmark_out_format=json "$@" \
    | tee "$report/$name.txt"
done

# Per function and item count, the real time of each side: the median of the repetitions, or
# the mean of the runs where there is no median.
jq -r '
  def cell($rows; $engine; $side):
    [$rows[] | select(.engine == $engine and .side == $side) | .t] | if length > 0 then .[0] * 10 | round / 10 | tostring else "-" end;
  [.benchmarks[] | select(.error_occurred | not)]
  | group_by(.run_name)
  | map({name: .[0].run_name,
         t: (([.[] | select(.aggregate_name == "median") | .real_time] | first)
             // ([.[] | select(.run_type == "iteration") | .real_time] | add / length))})
  | map((.name | split("/")) as $p | {engine: $p[0], side: $p[1], fn: ($p[2:-1] | join("/")), items: ($p[-1] | tonumber), t})
  | group_by(.fn)[]
  | "# \(.[0].fn)\titems\tSQLite function\tSQLite raw\tPostgreSQL function\tPostgreSQL raw",
    (group_by(.items)[]
     | "\(.[0].items)\t\(cell(.; "SQLite"; "Function"))\t\(cell(.; "SQLite"; "Raw"))\t\(cell(.; "PostgreSQL"; "Function"))\t\(cell(.; "PostgreSQL"; "Raw"))"),
    "", ""
' "$report/bench_data_functions.json" > "$report/data-functions.tsv"
names=$(jq -r '[.benchmarks[].run_name | split("/") | .[2:-1] | join("/")] | unique | join(" ")' "$report/bench_data_functions.json")
gnuplot -e "datafile='$report/data-functions.tsv'; names='$names'; output='$report/data-functions.svg'" scripts/bench-plot.gp
# shellcheck disable=SC2086
build-bench/bench/bench_live_floor ${RES_BENCH_LIVE_ARGS:-} | tee "$report/live-floor.txt"
echo "report: $report/ (plot: $report/data-functions.svg)"
