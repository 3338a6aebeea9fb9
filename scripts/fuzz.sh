#!/usr/bin/env bash
# Builds every libFuzzer target with clang (AddressSanitizer + UndefinedBehaviorSanitizer) and
# runs each fuzz_<name> for the given number of seconds (default 10) on a copy of its seed
# corpus fuzz/corpus/<name>, so the repository is never written. Prints executions and coverage
# per target; exits non-zero when a target finds a crash, a leak or a hang (the input is kept
# under build-fuzz/findings/<name>/).
set -euo pipefail
seconds="${1:-10}"
cd "$(dirname "$0")/.."

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVESTIBO_BUILD_FUZZ=ON -DVESTIBO_SANITIZE=ON -DVESTIBO_BUILD_TESTS=OFF -DVESTIBO_BUILD_GUI=OFF >/dev/null
cmake --build build-fuzz -j2

# Targets write their inputs and outputs to files; a memory-backed temporary directory keeps
# them fast.
if [[ -z "${TMPDIR:-}" && -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi

status=0
found=0
for target in build-fuzz/fuzz/fuzz_*; do
  [[ -x "$target" && -f "$target" ]] || continue
  found=1
  name="$(basename "$target")"
  name="${name#fuzz_}"
  work="$(mktemp -d)"  # under TMPDIR
  corpus="$work/corpus"
  mkdir -p "$corpus"
  if [[ -d "fuzz/corpus/$name" ]]; then
    cp -R "fuzz/corpus/$name/." "$corpus/"
  fi
  findings="build-fuzz/findings/$name"
  mkdir -p "$findings"
  log="$work/log"
  if "$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1; then
    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    coverage="$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | awk '{print $2}')"
    features="$(grep -oE 'ft: [0-9]+' "$log" | tail -1 | awk '{print $2}')"
    echo "$name: ${executions:-0} executions, coverage ${coverage:-0} edges, ${features:-0} features"
  else
    echo "$name: FINDING (input kept in $findings)" >&2
    tail -n 60 "$log" >&2
    status=1
  fi
  rm -rf "$work"
done
if [[ "$found" == 0 ]]; then
  echo "no fuzz targets built" >&2
  exit 1
fi
exit "$status"
