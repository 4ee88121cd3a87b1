#!/usr/bin/env bash
# plot_report.sh REPORT PNG: draws the per-level maxima and minima that
# kelvoran printed (its standard output, saved in REPORT) as one vertical
# profile per field, and writes the picture to PNG. Needs gnuplot.
# Installed as kelvoran-plot-report. Exit status: 0 drawn; 1 REPORT is not
# a complete report, or gnuplot is missing or failed; 64 a wrong command line.
set -euo pipefail

usage="usage: kelvoran-plot-report REPORT PNG
Draws the largest and smallest value of each level of every field in a
kelvoran report (its standard output, saved in REPORT) as a PNG picture.
Exit status: 0 drawn; 1 not a complete report, or gnuplot failed; 64 a
wrong command line."
case ${1-} in
  --help) echo "$usage"; exit 0 ;;
  --version) echo "kelvoran-plot-report 0.1"; exit 0 ;;
esac
if [ $# -ne 2 ]; then
  echo "$usage" >&2
  exit 64
fi
report=$1 png=$2
command -v gnuplot > /dev/null || { echo "plot_report.sh: gnuplot is not installed" >&2; exit 1; }

data=$(mktemp)
levels=$(mktemp)
trap 'rm -f "$data" "$levels"' EXIT

# A level's report is two lines: " te has max=  X  min=  Y  at k=" and then
# the level number. Each field becomes one data block (level, max, min);
# the fields' level counts go to a second file.
awk -v levels="$levels" '
  $2 == "has" && $3 == "max=" { field = $1; max = $4; min = $6; next }
  field != "" && NF == 1 {
    if (field != last) { if (last != "") printf "\n\n"; last = field; names[++n] = field }
    print $1, max, min; count[n]++; field = ""
  }
  END {
    for (i = 1; i <= n; i++) printf "%s %d ", names[i], count[i] > levels
    exit n != 6
  }
' "$report" > "$data" || { echo "plot_report.sh: $report is not a complete kelvoran report" >&2; exit 1; }

# A failed drawing leaves no half-written picture behind.
gnuplot <<EOF || { rm -f "$png"; exit 1; }
set terminal pngcairo size 1200,760 font "sans,10"
set output "$png"
set multiplot layout 2,3 title "kelvoran report: {/:Bold maximum} (red) and {/:Bold minimum} (blue) of each field by level"
set ylabel "level"
unset key
set grid
set offsets graph 0.05, graph 0.05, 0, 0
fields = "$(cat "$levels")"
do for [i = 0:5] {
  set title word(fields, 2 * i + 1)
  n = word(fields, 2 * i + 2) + 0
  # A field of positive values spanning decades (humidity) reads best on a
  # log axis. Thousands read as 20k, 75k so that the tick labels of a narrow
  # panel do not run into each other.
  unset logscale x
  set yrange [*:*]
  stats "$data" index i using 3 nooutput
  low = STATS_min
  stats "$data" index i using 2 nooutput
  high = STATS_max
  set yrange [0:n + 1]
  if (n < 5) { set ytics 1 } else { set ytics autofreq }
  if (low > 0 && high > 100 * low) { set logscale x; set format x "%.0e" } else {
    set format x ((abs(high) > 999 || abs(low) > 999) ? "%.0s%c" : "%g") }
  plot "$data" index i using 2:1 with linespoints pt 7 ps 0.5 lc rgb "#c0392b" title "max", \
       "" index i using 3:1 with linespoints pt 7 ps 0.5 lc rgb "#2471a3" title "min"
}
unset multiplot
EOF
