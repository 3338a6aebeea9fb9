#!/usr/bin/env bash
# Installs what is missing, builds build/vestibo and runs it on the bundled example data.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [[ -x build/vestibo ]]; then
  out=$(mktemp -d /tmp/vestibo-example-XXXXXX)
  echo "Example output goes to $out"
  env -u DISPLAY -u WAYLAND_DISPLAY build/vestibo TXTTOPDB examples/office "$out/to-handheld"
  env -u DISPLAY -u WAYLAND_DISPLAY build/vestibo PDBTOTXT examples/handheld "$out/from-handheld"
  ls -l "$out"/*
else
  echo "The program is not built yet; the libraries built and their smoke check follows."
  cmake -S . -B build-smoke -G Ninja -DVESTIBO_BUILD_TESTS=ON >/dev/null
  cmake --build build-smoke -j"$(nproc)" --target core_tests
  build-smoke/tests/core/core_tests --gtest_brief=1
fi
