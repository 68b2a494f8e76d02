#!/usr/bin/env bash
# The stand-in archiver libraries of both builds export exactly their two entries under
# the bare names that users' libraries have (Unlha, not Unlha@16 or _Unlha@16): the
# program asks for those names, in the 32-bit build too.
set -uo pipefail
. "$(dirname "$0")/../../scripts/common.sh"
. "$QUILLET_ROOT/tests/checks/lib/checking.sh"
# binutils' output is read in English, whatever locale ./test runs in.
export LC_ALL=C

# The export table's names, sorted, on one line.
exported_names() {  # objdump dll
  "$1" -p "$2" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' |
    sort | tr '\n' ' '
}

exports_are() {  # objdump dll names...
  local objdump=$1 dll=$2 got want
  shift 2
  got=$(exported_names "$objdump" "$dll")
  want="$* "
  [ "$got" = "$want" ] || { echo "exports: $got"; echo "wanted:  $want"; return 1; }
}

for build in win64:x86_64-w64-mingw32 win32:i686-w64-mingw32; do
  dir=$QUILLET_BUILD/${build%%:*}/standin_archivers
  objdump=${build#*:}-objdump
  check "${build%%:*}: unlha32.dll exports" exports_are "$objdump" "$dir/unlha32.dll" Unlha UnlhaGetVersion
  check "${build%%:*}: 7-Zip32.dll exports" exports_are "$objdump" "$dir/7-Zip32.dll" SevenZip SevenZipGetVersion
  check "${build%%:*}: cab32.dll exports" exports_are "$objdump" "$dir/cab32.dll" Cab CabGetVersion
done
finish
