#!/usr/bin/env bash
# Installs what is missing, builds build/vestibo and runs the conversions on the bundled
# examples without a display: "TXT -> PDB" on examples/office, "PDB -> TXT" and "PDB -> DBF"
# on examples/handheld/Kestor_Out.pdb ("PDB -> DBF" through the default driver name, which
# build/odbcinst.ini gives to the bundled dBase driver). Shows where the results are, the first
# lines of the text files and the first rows of orders.dbf (Windows-1251, shown in UTF-8).
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
echo "== PDB -> DBF: examples/handheld/Kestor_Out.pdb -> $out/dbase"
mkdir -p "$out/dbase"
ODBCSYSINI="$PWD/build" run PDBTODBF examples/handheld "$out/dbase"
ls -l "$out/dbase"
echo
echo "-- orders.dbf (first rows)"
/usr/bin/python3 - "$out/dbase/orders.dbf" <<'PY'
import sys
from dbfread import DBF
table = DBF(sys.argv[1], encoding="cp1251")
names = [f.name for f in table.fields][:8]
print(" | ".join(names))
for number, record in enumerate(table):
    if number == 6:
        break
    print(" | ".join(str(record[n] or "") for n in names))
PY
echo
echo "Results are in $out"
