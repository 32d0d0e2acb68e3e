#!/usr/bin/env bash
# Runs the benchmarks with interleaved repetitions and turns their medians into a throughput
# table (printed as Markdown) and a plot. The plot goes to throughput.png in the build folder, or,
# with --docs, to docs/throughput.png, the one docs/PERFORMANCE.md shows.
#
#   cmake --workflow --preset bench && bench/plot_throughput.sh [--docs] [repetitions]
#   cmake --workflow --preset bench-native && bench/plot_throughput.sh --build build/bench-native
#
# Needs awk and gnuplot (Debian package gnuplot-nox).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/bench
docs=false
while [[ ${1:-} == --* ]]; do
  case $1 in
    --docs) docs=true; shift ;;
    --build) build=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
bench=$build/bench/cipher_bench
plot=$build/throughput.png
$docs && plot=docs/throughput.png
repetitions=${1:-9}
if [[ ! -x $bench ]]; then
  echo "no benchmark at $bench: build it with cmake --workflow --preset bench" >&2
  exit 1
fi
command -v gnuplot >/dev/null || { echo "missing gnuplot (Debian package gnuplot-nox)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Random interleaving spreads each benchmark's repetitions over the whole run, so that a noisy
# moment on a shared machine does not land on one function only.
"$bench" --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true --benchmark_min_time=0.1 --benchmark_format=csv \
  >"$work/results.csv" 2>/dev/null

# One row per size: median GB/s of each function, in a fixed column order.
awk -F, '$1 ~ /_median"?$/ {
  gsub(/"/, "", $1); split($1, part, "/"); sub(/_median/, "", part[2])
  rate[part[1], part[2]] = $6 / 1e9; sizes[part[2]] = 1
} END {
  n = split("CopyString EncryptString DecryptString NaiveLoop TableLoop", names, " ")
  for (size in sizes) {
    line = size
    for (i = 1; i <= n; i++) line = line " " rate[names[i], size]
    print line
  }
}' "$work/results.csv" | sort -n >"$work/rates"

cpu=$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)
# The vector width follows the build's target, which only its flags change.
flags=$(sed -n 's/^CMAKE_CXX_FLAGS:STRING=//p' "$build/CMakeCache.txt")
target=${flags:-baseline target}
echo "Medians of $repetitions interleaved repetitions, GB/s; $(nproc) cores of $cpu ($target); $(date +%F)."
echo
echo "| Size | copy | EncryptString | DecryptString | naive loop | table loop | Encrypt / copy | Decrypt / copy | Encrypt / naive | Encrypt / table |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
awk '{
  size = $1 >= 1048576 ? $1 / 1048576 " MiB" : $1 >= 1024 ? $1 / 1024 " KiB" : $1 " B"
  printf "| %s | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.1f | %.1f |\n",
         size, $2, $3, $4, $5, $6, $3 / $2, $4 / $2, $3 / $5, $3 / $6
}' "$work/rates"

gnuplot <<PLOT
set terminal pngcairo size 900,560 font "sans,11"
set output "$plot"
set title "Throughput against string size (medians, $(nproc) cores of $cpu, $target)"
set xlabel "string size (bytes)"
set ylabel "GB/s"
set logscale xy 2
set xrange [8:134217728]
set xtics ("16 B" 16, "64 B" 64, "4 KiB" 4096, "64 KiB" 65536, "1 MiB" 1048576, "64 MiB" 67108864)
set grid
set key top left
plot "$work/rates" using 1:2 with linespoints title "std::string copy", \
     "" using 1:3 with linespoints title "EncryptString", \
     "" using 1:4 with linespoints title "DecryptString", \
     "" using 1:6 with linespoints title "256-entry table loop", \
     "" using 1:5 with linespoints title "naive branchy loop"
PLOT
echo
echo "Plot written to $plot"
