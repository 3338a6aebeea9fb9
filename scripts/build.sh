#!/usr/bin/env bash
# Builds the program as build/vestibo (release build with debug information).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTIBO_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
