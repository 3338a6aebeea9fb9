#!/usr/bin/env bash
# Draws the window without a display (Qt's offscreen platform) into docs/window.png, as it opens,
# and docs/window-done.png, after "TXT -> PDB" on the examples with its gauge full. Run it again
# whenever the window changes. VESTIBO_BUILD_DIR names the build to use (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${VESTIBO_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTIBO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target vestibo_screenshot >/dev/null

# Fixed directories, since their names show in the boxes of the second picture.
work=${TMPDIR:-/tmp}/vestibo-screenshot
rm -rf "$work"
mkdir -p "$work/PALM-1" "$work/runtime"
chmod 700 "$work/runtime"
cp -r examples/office "$work/office"
trap 'rm -rf "$work"' EXIT

QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" "$build/tools/vestibo_screenshot" "$work/office" "$work/PALM-1" \
  docs/window.png docs/window-done.png
ls -l docs/window.png docs/window-done.png
