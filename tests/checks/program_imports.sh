#!/usr/bin/env bash
# Each built Quillet.exe imports only libraries that Windows itself ships: on a bare
# Windows there is no zlib1.dll nor any MinGW runtime, and Wine would lend its own and
# hide the lack. Reads the import tables with the MinGW objdump.
set -uo pipefail
. "$(dirname "$0")/../../scripts/common.sh"
. "$QUILLET_ROOT/tests/checks/lib/checking.sh"
# binutils' output is read in English, whatever locale ./test runs in.
export LC_ALL=C

allowed=" kernel32.dll user32.dll gdi32.dll shell32.dll comctl32.dll advapi32.dll ole32.dll
  oleaut32.dll msvcrt.dll comdlg32.dll shlwapi.dll version.dll "

# Prints each imported library outside the allowed set; fails on any, or on no table.
only_windows_libraries() {  # objdump exe
  local names name bad=0
  names=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]')
  [ -n "$names" ] || { echo "no import table in $2"; return 1; }
  for name in $names; do
    case "$allowed" in *[[:space:]]"$name"[[:space:]]*) ;; *) echo "imports $name"; bad=1 ;; esac
  done
  return "$bad"
}

for build in win64:x86_64-w64-mingw32 win32:i686-w64-mingw32; do
  exe=$QUILLET_BUILD/${build%%:*}/Quillet.exe
  check "${build%%:*}: Quillet.exe imports only Windows' own libraries" \
    only_windows_libraries "${build#*:}-objdump" "$exe"
done
finish
