#!/usr/bin/env bash
# Installs what is missing, builds build/vestibo and runs both text conversions on the bundled
# examples without a display: "TXT -> PDB" on examples/office, "PDB -> TXT" on
# examples/handheld/Kestor_Out.pdb. Shows where the results are and the first lines of the
# text files (Windows-1251, shown in UTF-8).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh

out=$(mktemp -d /tmp/vestibo-example-XXXXXX)
mkdir -p "$out/to-handheld" "$out/from-handheld"
run() { env -u DISPLAY -u WAYLAND_DISPLAY build/vestibo "$@"; }

echo "== TXT -> PDB: examples/office -> $out/to-handheld"
run TXTTOPDB examples/office "$out/to-handheld"
ls -l "$out/to-handheld"

echo
echo "== PDB -> TXT: examples/handheld/Kestor_Out.pdb -> $out/from-handheld"
run PDBTOTXT examples/handheld "$out/from-handheld"
ls -l "$out/from-handheld"
for f in Order.txt OrderItem.txt Cash.txt; do
  [[ -f "$out/from-handheld/$f" ]] || continue
  echo
  echo "-- $f (first lines)"
  head -n 4 "$out/from-handheld/$f" | iconv -f CP1251 -t UTF-8 | tr -d '\r'
done
echo
echo "Results are in $out"
