#!/usr/bin/env bash
# A longer fuzzing campaign: every libFuzzer target runs until it has executed RUNS inputs
# (default 10 million) or spent SECONDS (default 3 hours), on a corpus kept between campaigns in
# build-fuzz/campaign/<name> (seeded from fuzz/corpus/<name>). Prints one line per target:
# executions, coverage, corpus size, findings. Findings are kept in build-fuzz/findings/<name>/.
#   scripts/fuzz-campaign.sh [RUNS] [SECONDS] [target ...]
set -euo pipefail
runs="${1:-10000000}"
seconds="${2:-10800}"
shift $(( $# > 2 ? 2 : $# ))
cd "$(dirname "$0")/.."

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVESTIBO_BUILD_FUZZ=ON -DVESTIBO_SANITIZE=ON -DVESTIBO_BUILD_TESTS=OFF -DVESTIBO_BUILD_GUI=OFF >/dev/null
cmake --build build-fuzz -j2 >/dev/null
if [[ -z "${TMPDIR:-}" && -d /dev/shm && -w /dev/shm ]]; then export TMPDIR=/dev/shm; fi

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for t in build-fuzz/fuzz/fuzz_*; do [[ -x "$t" && -f "$t" ]] && targets+=("$(basename "${t#build-fuzz/fuzz/fuzz_}")"); done
fi

status=0
printf '%-12s %12s %9s %9s %s\n' target executions edges corpus findings
for name in "${targets[@]}"; do
  corpus="build-fuzz/campaign/$name"
  findings="build-fuzz/findings/$name"
  mkdir -p "$corpus" "$findings"
  [[ -d "fuzz/corpus/$name" ]] && cp -Rn "fuzz/corpus/$name/." "$corpus/"
  log="build-fuzz/campaign/$name.log"
  result=ok
  build-fuzz/fuzz/fuzz_"$name" -runs="$runs" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || { result=FINDING; status=1; }
  executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  edges="$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | awk '{print $2}')"
  printf '%-12s %12s %9s %9s %s\n' "$name" "${executions:-0}" "${edges:-0}" "$(ls "$corpus" | wc -l)" \
    "$result$( [[ $result == FINDING ]] && echo " ($findings, log $log)")"
done
exit "$status"
