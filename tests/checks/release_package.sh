#!/usr/bin/env bash
# The release package as a user receives it: scripts/package makes the zip; unzip finds
# just Quillet.exe and readme.txt at the top; the exe is the i686 build with its version
# resource (read back by windres); the readme is code page 932 text with CRLF line ends
# that tells what a Japanese user needs and carries the libraries' notices.
set -uo pipefail
. "$(dirname "$0")/../../scripts/common.sh"
. "$QUILLET_ROOT/tests/checks/lib/checking.sh"
# binutils' output is read in English, whatever locale ./test runs in.
export LC_ALL=C

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$QUILLET_ROOT/scripts/package" >"$work/package.log" 2>&1 || { cat "$work/package.log"; exit 1; }
version=$(sed -n 's/^#define QUILLET_VERSION_TEXT "\(.*\)"$/\1/p' "$QUILLET_ROOT/res/version.h")
zip=$QUILLET_BUILD/dist/Quillet-$version.zip

check "the package is named Quillet-1.03.zip" test "$(basename "$zip")" = Quillet-1.03.zip
check "the package holds Quillet.exe and readme.txt alone, at the top" \
  test "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = "Quillet.exe readme.txt "
unzip -q "$zip" -d "$work/unpacked"
exe=$work/unpacked/Quillet.exe
readme=$work/unpacked/readme.txt

is_i686() { i686-w64-mingw32-objdump -f "$1" | grep -q 'file format pei-i386'; }
check "Quillet.exe is the i686 build" is_i686 "$exe"
i686-w64-mingw32-windres -i "$exe" -O rc -o "$work/res.rc" 2>"$work/windres.log"
version_block=$(sed -n '/VERSIONINFO/,/^END/p' "$work/res.rc" 2>/dev/null)
has() { grep -qF -- "$1" <<<"$version_block"; }
# windres writes the description's UTF-16 as \xNNNN escapes: kana or kanji must be there.
japanese_description() {
  grep 'VALUE "FileDescription"' <<<"$version_block" | grep -qE '\\x(30[4-9a-f]|[4-9][0-9a-f])[0-9a-f]{2}'
}
check "version resource: FileVersion 1.0.3.0" has "FILEVERSION 1, 0, 3, 0"
check "version resource: ProductVersion 1.0.3.0" has "PRODUCTVERSION 1, 0, 3, 0"
check 'version resource: FileVersion "1.03"' has 'VALUE "FileVersion", "1.03"'
check 'version resource: ProductVersion "1.03"' has 'VALUE "ProductVersion", "1.03"'
check 'version resource: ProductName "Quillet"' has 'VALUE "ProductName", "Quillet"'
check "version resource: Japanese strings, code page 932" has 'BLOCK "041103a4"'
check "version resource: translation 0411/932" has 'VALUE "Translation", 0x411, 932'
check "version resource: a Japanese FileDescription" japanese_description

not_utf8() { ! iconv -f UTF-8 -t UTF-8 "$1" >/dev/null 2>&1; }
# Every line, the last one too, ends with CR LF.
crlf_lines() {
  local lines crlf
  lines=$(wc -l <"$1")
  crlf=$(grep -c $'\r$' "$1")
  [ "$lines" -gt 0 ] && [ "$lines" = "$crlf" ] && [ "$(tail -c 1 "$1" | od -An -tx1)" = " 0a" ]
}
check "readme.txt is code page 932 text" iconv -f CP932 -t UTF-8 "$readme" -o "$work/readme.utf8"
check "readme.txt is not left in UTF-8" not_utf8 "$readme"
check "readme.txt ends every line with CRLF" crlf_lines "$readme"
says() { grep -qF -- "$1" "$work/readme.utf8"; }
for text in "UNLHA32.DLL" "7-Zip32.dll" "CAB32.DLL" "Quillet.ini" "インストール" "アンインストール" \
  "this software is based in part on the work of the Independent JPEG Group" \
  "libjpeg-turbo" "PNG Reference Library License" "Jean-loup Gailly and Mark Adler" \
  "libdeflate" "Copyright 2016 Eric Biggers"; do
  check "readme.txt says \"$text\"" says "$text"
done
finish
