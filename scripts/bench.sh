#!/usr/bin/env bash
# Builds the benchmarks (release build in build-bench) and runs every one of them; prints one
# table of their figures (each measurement, its reference measured in the same run, the ratio
# the target applies to, the target, and "<<" marking a figure that falls short), then the
# machine the figures were measured on. Plots the throughput against input size as docs/bench.png
# (needs gnuplot, Debian package gnuplot-nox).
#
#   scripts/bench.sh                 every benchmark, throughput at 1 3 10 30 100 MB
#   BENCH_SIZES="1 10" scripts/bench.sh
#
# Each benchmark's own output is kept in build-bench/bench-results/<name>.txt. The exit status is
# 1 when a figure falls short or a benchmark fails.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-bench
jobs=${JOBS:-2}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVESTIBO_BUILD_BENCH=ON -DVESTIBO_BUILD_TESTS=OFF \
  -DVESTIBO_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j"$jobs" >/dev/null

# The throwaway PostgreSQL server of the tests, for the ODBC benchmarks (they skip without it).
for service in scripts/test-services/*.sh; do
  [[ -e "$service" ]] || continue
  # shellcheck disable=SC1090
  source "$service"
done

results="$build/bench-results"
rm -rf "$results"
mkdir -p "$results"
status=0

for program in "$build"/bench/bench_*; do
  [[ -x "$program" ]] || continue
  name=$(basename "$program")
  args=()
  [[ "$name" == bench_throughput ]] && read -r -a args <<<"${BENCH_SIZES:-1 3 10 30 100}"
  echo "running $name ${args[*]:-}" >&2
  if ! "$program" "${args[@]}" >"$results/$name.txt" 2>&1; then
    echo "  $name ended with a failure (see $results/$name.txt)" >&2
    status=1
  fi
  if ! grep -q '^BENCH|' "$results/$name.txt"; then
    echo "BENCH|$name: no figures (see $results/$name.txt)|-|-|-|-|FAIL" >>"$results/$name.txt"
  fi
done

# One table of every BENCH row, columns aligned.
rows="$results/rows.txt"
grep -h '^BENCH|' "$results"/*.txt | cut -d'|' -f2- >"$rows" || true
echo
awk -F'|' '
  BEGIN { n = 0 }
  {
    n++
    for (i = 1; i <= 6; i++) { cell[n, i] = $i; if (length($i) > w[i]) w[i] = length($i) }
  }
  END {
    split("measurement|value|reference|ratio|target|result", head, "|")
    for (i = 1; i <= 6; i++) if (length(head[i]) > w[i]) w[i] = length(head[i])
    line = ""
    for (i = 1; i <= 6; i++) line = line sprintf("%-" w[i] "s  ", head[i])
    print line
    rule = ""
    for (i = 1; i <= 6; i++) { s = ""; for (k = 0; k < w[i]; k++) s = s "-"; rule = rule s "  " }
    print rule
    for (r = 1; r <= n; r++) {
      line = ""
      for (i = 1; i <= 6; i++) line = line sprintf("%-" w[i] "s  ", cell[r, i])
      if (cell[r, 6] == "FAIL") line = line "<<"
      print line
    }
  }' "$rows"
grep -q '|FAIL$' "$rows" && status=1

# Throughput against input size.
scale="$results/throughput.dat"
grep -h '^SCALE|' "$results"/bench_throughput.txt 2>/dev/null | cut -d'|' -f2- >"$scale" || true
if [[ -s "$scale" ]]; then
  echo
  echo "Throughput (MB/s) against input size:"
  awk -F'|' '{ printf "  %-11s %8.1f MB  %8.3f s  %8.1f MB/s\n", $1, $2 / 1e6, $3, $4 }' "$scale"
  if command -v gnuplot >/dev/null; then
    mkdir -p docs
    for op in "pack" "unpack" "TXT -> PDB" "PDB -> TXT"; do
      awk -F'|' -v op="$op" '$1 == op { print $2 / 1e6, $4 }' "$scale" >"$results/$(echo "$op" | tr -c 'A-Za-z' _).dat"
    done
    gnuplot <<EOF
set terminal pngcairo size 900,560 noenhanced font "sans,11"
set output "docs/bench.png"
set title "Throughput against input size (release build; $(nproc) cores)"
set xlabel "input size, MB (log scale)"
set xrange [0.4:150]
set yrange [0:*]
set ylabel "MB/s"
set logscale x
set grid
set key outside right
plot "$results/pack_.dat" using 1:2 with linespoints title "pack (databases)", \
     "$results/unpack_.dat" using 1:2 with linespoints title "unpack (container)", \
     "$results/TXT____PDB_.dat" using 1:2 with linespoints title "TXT -> PDB (text files)", \
     "$results/PDB____TXT_.dat" using 1:2 with linespoints title "PDB -> TXT (container)"
EOF
    echo "plot: docs/bench.png"
  else
    echo "gnuplot is not installed (Debian package gnuplot-nox): no plot made" >&2
  fi
fi

echo
echo "Machine: $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores," \
  "$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) memory, $(uname -sr)"
exit "$status"
