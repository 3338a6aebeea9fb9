#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
# Starts the services the tests need (a throwaway PostgreSQL server for the ODBC tests) and
# stops them again. Exit status: that of ctest.
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

ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
