#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
# Starts the services the tests need (a throwaway PostgreSQL server for the ODBC tests) and
# stops them again. Runs every fuzz target for a few seconds first. Arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build-asan
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVESTIBO_SANITIZE=ON -DVESTIBO_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen

# Services for the tests (each script prints the variables the tests read).
for service in scripts/test-services/*.sh; do
  [[ -e "$service" ]] || continue
  # shellcheck disable=SC1090
  source "$service"
done

# Every libFuzzer target briefly on its seed corpus (skip with VESTIBO_FUZZ_SECONDS=0).
if [[ "${VESTIBO_FUZZ_SECONDS:-10}" != 0 && $# -eq 0 ]]; then
  scripts/fuzz.sh "${VESTIBO_FUZZ_SECONDS:-10}"
fi

ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
