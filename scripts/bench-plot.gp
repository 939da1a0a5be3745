# The data functions' time against the number of order items, one panel per function: on each
# engine the function beside its raw driver. scripts/bench.sh runs it with
#   gnuplot -e "datafile='...'; names='...'; output='...'" scripts/bench-plot.gp
# datafile: one block per function, in the order of `names` (blocks apart by two empty lines),
# each row "items  SQLite-function  SQLite-raw  PostgreSQL-function  PostgreSQL-raw" in
# microseconds, "-" where nothing was measured.
set terminal svg size 1500,760 dynamic font "Liberation Sans,12" background "white"
set output output
set datafile separator "\t"
set datafile missing "-"
set logscale xy
set xrange [4000:2500000]
set xtics ("10 000" 10000, "1 000 000" 1000000)
set format y "%g"
set ylabel "µs per call (median)" offset 1,0
set xlabel "items"
set grid ytics mytics lc rgb "#dddddd"
n = words(names)
unset key
set multiplot layout 2,(n + 1) / 2 title "Data functions beside the raw drivers: µs per call (real time, median of the repetitions) against items\nblue: SQLite, red: PostgreSQL; solid: the function, dashed: the raw driver" margins 0.05, 0.98, 0.08, 0.86 spacing 0.05, 0.13
do for [i = 1:n] {
    set title word(names, i)
    plot datafile index (i - 1) using 1:2 with linespoints lw 2 lc rgb "#1f5fa8" pt 7, \
         '' index (i - 1) using 1:3 with linespoints lw 2 dt 2 lc rgb "#1f5fa8" pt 6, \
         '' index (i - 1) using 1:4 with linespoints lw 2 lc rgb "#c0392b" pt 5, \
         '' index (i - 1) using 1:5 with linespoints lw 2 dt 2 lc rgb "#c0392b" pt 4
}
unset multiplot
