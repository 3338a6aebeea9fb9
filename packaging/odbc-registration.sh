# The ODBC driver names this package registers with unixODBC, and which of them it registered.
# Shared by postinst and prerm (pasted into both when the package is built).
#
# The default name belongs to whichever dBase driver the machine already has: it is registered only
# where no driver of that name exists, and the names actually registered are remembered in
# $state_file, so that removal takes away exactly those and nothing an administrator set up.
# With DPKG_ROOT set (dpkg --root ... --force-script-chrootless) everything happens under that root.

driver_library="@VESTIBO_DRIVER_LIBRARY@"
default_name="Microsoft dBase Driver (*.dbf)"
state_dir="${DPKG_ROOT:-}/var/lib/vestibo"
state_file="$state_dir/odbc-drivers"
if [ -n "${DPKG_ROOT:-}" ]; then
  ODBCSYSINI="$DPKG_ROOT/etc"
  export ODBCSYSINI
fi

driver_registered() {
  odbcinst -q -d -n "$1" >/dev/null 2>&1
}

# True when the name is registered and still points at this package's library.
driver_is_ours() {
  odbcinst -q -d -n "$1" 2>/dev/null | tr -d ' \t' | grep -qxF "Driver=$driver_library"
}

register_driver() {
  printf '[%s]\nDescription=%s\nDriver=%s\nFileUsage=1\n' "$1" "$2" "$driver_library" |
    odbcinst -i -d -r >/dev/null
  printf '%s\n' "$1" >>"$state_file"
}

# Takes away every name recorded as registered by this package, as long as it is still ours.
unregister_recorded_drivers() {
  [ -f "$state_file" ] || return 0
  set -f
  old_ifs=$IFS
  IFS='
'
  for name in $(cat "$state_file"); do
    if driver_is_ours "$name"; then
      odbcinst -u -d -n "$name" >/dev/null
    fi
  done
  IFS=$old_ifs
  set +f
  rm -f "$state_file"
}
