#!/usr/bin/env bash
# Installs the Debian 12 packages Vestibo needs to build, test, benchmark and fuzz.
# Idempotent: packages already present are skipped, and nothing is printed when all are there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  dpkg-dev fakeroot lintian
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libdeflate-dev nettle-dev libicu-dev
  unixodbc-dev libodbc2 unixodbc odbcinst libsqliteodbc odbc-postgresql
  postgresql postgresql-client
  qt6-base-dev qt6-translations-l10n libqt6svg6 xvfb xauth gnuplot-nox
  clang libclang-rt-14-dev
  txt2pdbdoc
  libshp-dev python3-dbfread python3-pyodbc
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
