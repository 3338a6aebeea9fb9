#!/usr/bin/env bash
# Builds the Debian package of a build tree with CPack and installs it into a scratch root the way
# `dpkg --root <root> --force-script-chrootless` does: the files unpacked, then the maintainer
# scripts run with DPKG_ROOT=<root>. Checks the files, the ODBC driver registrations (on a clean
# machine and on one that already has a driver under the default name), the installed program on
# the installed examples, and that removal takes back exactly what installation registered.
# Usage: install-test.sh <build dir> <version> <with driver ON|OFF> <with window ON|OFF>
set -euo pipefail
build=$1 version=$2 with_driver=$3 with_window=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

default_name="Microsoft dBase Driver (*.dbf)"
own_names=("Vestibo dBase Driver" "Vestibo VFP Driver")
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
library=/usr/lib/$multiarch/odbc/libvestibo-dbf.so

# The package: name, version, architecture, dependencies computed and declared.
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  fail "cpack"
}
deb=$work/out/vestibo_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || fail "no $(basename "$deb") among: $(ls "$work/out")"
[[ $(dpkg-deb -f "$deb" Package) == vestibo && $(dpkg-deb -f "$deb" Version) == "$version" ]] ||
  fail "control: $(dpkg-deb -f "$deb" Package Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libc6 libodbc2 unixodbc odbcinst; do
  [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$work/control"

docs=$root/usr/share/doc/vestibo
files=(usr/bin/vestibo usr/share/man/man1/vestibo.1.gz usr/share/man/ru/man1/vestibo.1.gz
  usr/share/doc/vestibo/README.md usr/share/doc/vestibo/copyright usr/share/doc/vestibo/changelog.gz
  usr/share/doc/vestibo/examples/office/product.txt usr/share/doc/vestibo/examples/handheld/Kestor_Out.pdb)
[[ $with_window == ON ]] && files+=(usr/share/applications/vestibo.desktop
  usr/share/icons/hicolor/scalable/apps/vestibo.svg)
[[ $with_driver == ON ]] && files+=("${library#/}")
for f in "${files[@]}"; do
  [[ -s $root/$f ]] || fail "not installed: /$f"
done
zcat "$root/usr/share/man/man1/vestibo.1.gz" | grep -q "Vestibo $version" || fail "manual page without the version"

run() { env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/vestibo" "$@"; }

mkdir "$work/to-palm"
run TXTTOPDB "$docs/examples/office" "$work/to-palm" >"$work/run.log" 2>&1 || {
  cat "$work/run.log"
  fail "TXTTOPDB on the installed examples"
}
[[ -s $work/to-palm/Kestor_In.pdb ]] || fail "TXTTOPDB wrote no Kestor_In.pdb"

if [[ $with_driver != ON ]]; then
  [[ ! -e $work/control/postinst ]] || fail "maintainer scripts without a driver to register"
  exit 0
fi

# Runs a maintainer script as dpkg does for a root of its own.
maintainer() { DPKG_ROOT=$root "$work/control/$1" "${@:2}"; }
export ODBCSYSINI=$root/etc
driver_of() { odbcinst -q -d -n "$1" 2>/dev/null | sed -n 's/^Driver *= *//p'; }
recorded() { cat "$root/var/lib/vestibo/odbc-drivers"; }

# Records in dBase file $1 (the count in its header, little-endian at offset 4).
dbf_records() { od -An -tu4 -j4 -N4 "$1" | tr -d ' '; }

# A clean machine: all three names point at the package's library, once each even when configure
# runs again.
mkdir -p "$root/etc"
maintainer postinst configure
maintainer postinst configure
for name in "${own_names[@]}" "$default_name"; do
  [[ $(driver_of "$name") == "$library" ]] || fail "[$name] not registered as $library"
done
[[ $(odbcinst -q -d -n "${own_names[0]}" | grep -c '^UsageCount=1$') == 1 ]] || fail "registered twice by a second configure"
[[ $(recorded | wc -l) == 3 ]] || fail "registrations recorded: $(recorded)"

# The installed program with the default driver name. The registry is read through a copy whose
# library path leads into the scratch root, where the library lies instead of /usr. In a sanitizer
# build the leak check stays off for this run: the driver manager keeps its caches in globals, and
# once the program unloads it at exit they show as leaked from an unknown module.
mkdir "$work/odbc" "$work/from-palm"
sed "s|^Driver=/|Driver=$root/|" "$root/etc/odbcinst.ini" >"$work/odbc/odbcinst.ini"
ODBCSYSINI=$work/odbc ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 run PDBTODBF "$docs/examples/handheld" "$work/from-palm" >"$work/run.log" 2>&1 || {
  cat "$work/run.log"
  fail "PDBTODBF on the installed examples"
}
for table in order:3 orderitem:7 orders:10; do
  file=$work/from-palm/${table%:*}.dbf
  [[ -f $file && $(dbf_records "$file") == "${table#*:}" ]] || fail "${file##*/}: not ${table#*:} records"
done

maintainer prerm remove
maintainer postrm remove
for name in "${own_names[@]}" "$default_name"; do
  [[ -z $(driver_of "$name") ]] || fail "[$name] left registered after removal"
done
[[ ! -e $root/var/lib/vestibo ]] || fail "/var/lib/vestibo left after removal"

# A machine that has a dBase driver under the default name already: it stays as it was.
printf '[%s]\nDescription=another dBase driver\nDriver=/opt/other/libdbase.so\n' "$default_name" >"$root/etc/odbcinst.ini"
before=$(odbcinst -q -d -n "$default_name")
maintainer postinst configure
[[ $(odbcinst -q -d -n "$default_name") == "$before" ]] || fail "the existing [$default_name] was changed"
for name in "${own_names[@]}"; do
  [[ $(driver_of "$name") == "$library" ]] || fail "[$name] not registered beside an existing default"
done
maintainer prerm remove
maintainer postrm purge
[[ $(odbcinst -q -d -n "$default_name") == "$before" ]] || fail "removal touched the existing [$default_name]"
for name in "${own_names[@]}"; do
  [[ -z $(driver_of "$name") ]] || fail "[$name] left registered after removal"
done
echo "package $(basename "$deb") installs, runs and removes cleanly"
