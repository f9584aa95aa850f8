# shellcheck shell=bash
# Figures of the benchmark scripts (sourced by bench.sh and bench-wine.sh).
# The median of the numbers on standard input, one per line.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# a / b to three places.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
