#!/usr/bin/env bash
# Builds the Debian package build-package/vestibo_<version>_<arch>.deb: a release build with
# Debian's hardening flags, installed and packed by CPack (dependencies from dpkg-shlibdeps plus
# what is loaded at run time; maintainer scripts that register the dBase ODBC driver), then checked
# by lintian, whose errors fail the script.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build-package
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DVESTIBO_BUILD_TESTS=OFF "${launcher[@]}" \
  -DCMAKE_C_FLAGS="$CPPFLAGS $CFLAGS" -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" \
  -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$build" -j"$(nproc)"

rm -f "$build"/vestibo_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/vestibo_*.deb)
echo "$deb"
dpkg-deb -f "$deb" Package Version Architecture Depends

lintian --fail-on error --info "$deb"
