#!/usr/bin/env bash
# A longer fuzzing campaign: every libFuzzer target runs until it has executed RUNS inputs
# (default 10 million) or spent SECONDS (default 3 hours), on a corpus kept between campaigns in
# build-fuzz/campaign/<name> (seeded from fuzz/corpus/<name>). Prints one line per target:
# executions of this run and of every campaign so far, coverage, corpus size, findings. Each run
# is added to the ledger build-fuzz/campaign/ledger.tsv, so that a campaign may be spread over
# several sittings. Two runs of one target may share its corpus at the same time (one per core);
# each run keeps its own log in build-fuzz/campaign/logs/. Findings are kept in
# build-fuzz/findings/<name>/.
# The targets are built with AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz;
# FUZZ_SANITIZERS=undefined builds them with UndefinedBehaviorSanitizer alone in build-fuzz-ubsan,
# which runs two to three times as many inputs a second but no longer sees memory errors that do
# not crash. The ledger records which build each run used.
#   scripts/fuzz-campaign.sh [RUNS] [SECONDS] [target ...]
#   scripts/fuzz-campaign.sh --totals          the ledger's sums per target, nothing run
set -euo pipefail
cd "$(dirname "$0")/.."
ledger=build-fuzz/campaign/ledger.tsv

# Executions of every campaign run of one target recorded in the ledger.
total_of() {
  [[ -f "$ledger" ]] || { echo 0; return; }
  awk -F'\t' -v t="$1" '$2 == t { s += $3 } END { printf "%d\n", s }' "$ledger"
}

if [[ "${1:-}" == "--totals" ]]; then
  [[ -f "$ledger" ]] || { echo "no campaign recorded yet ($ledger)"; exit 0; }
  printf '%-12s %6s %14s %14s %14s %s\n' target runs executions asan+ubsan ubsan findings
  # Rows without a seventh column come from the address,undefined build.
  awk -F'\t' '{ runs[$2]++; sum[$2] += $3; if ($7 == "undefined") ub[$2] += $3; else as[$2] += $3
                 if ($6 != "ok") bad[$2]++ }
    END { for (t in sum) printf "%-12s %6d %14d %14d %14d %d\n", t, runs[t], sum[t], as[t], ub[t], bad[t] }' \
    "$ledger" | sort
  exit 0
fi

runs="${1:-10000000}"
seconds="${2:-10800}"
shift $(( $# > 2 ? 2 : $# ))

sanitizers="${FUZZ_SANITIZERS:-address,undefined}"
case "$sanitizers" in
  address,undefined) build=build-fuzz ;;
  undefined) build=build-fuzz-ubsan ;;
  *) echo "FUZZ_SANITIZERS is address,undefined or undefined" >&2; exit 2 ;;
esac
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTIBO_BUILD_FUZZ=ON \
  -DVESTIBO_SANITIZE=ON -DVESTIBO_SANITIZERS="$sanitizers" -DVESTIBO_BUILD_TESTS=OFF -DVESTIBO_BUILD_GUI=OFF >/dev/null
if [[ -z "${TMPDIR:-}" && -d /dev/shm && -w /dev/shm ]]; then export TMPDIR=/dev/shm; fi

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  cmake --build "$build" -j2 >/dev/null
  for t in "$build"/fuzz/fuzz_*; do [[ -x "$t" && -f "$t" ]] && targets+=("$(basename "${t#"$build"/fuzz/fuzz_}")"); done
else
  cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}" >/dev/null
fi

status=0
mkdir -p build-fuzz/campaign/logs
printf '%-12s %12s %12s %9s %9s %s\n' target executions all-runs edges corpus findings
for name in "${targets[@]}"; do
  corpus="build-fuzz/campaign/$name"
  findings="build-fuzz/findings/$name"
  mkdir -p "$corpus" "$findings"
  [[ -d "fuzz/corpus/$name" ]] && cp -Rn "fuzz/corpus/$name/." "$corpus/"
  log="build-fuzz/campaign/logs/$name-$(date -u +%Y%m%dT%H%M%S)-$$.log"
  result=ok
  "$build"/fuzz/fuzz_"$name" -runs="$runs" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || { result=FINDING; status=1; }
  executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  edges="$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | awk '{print $2}')"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$name" "${executions:-0}" "${edges:-0}" \
    "$(ls "$corpus" | wc -l)" "$result" "$sanitizers" >>"$ledger"
  printf '%-12s %12s %12s %9s %9s %s\n' "$name" "${executions:-0}" "$(total_of "$name")" "${edges:-0}" \
    "$(ls "$corpus" | wc -l)" "$result$( [[ $result == FINDING ]] && echo " ($findings, log $log)")"
done
exit "$status"
