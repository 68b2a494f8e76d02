#!/usr/bin/env bash
# The release package as a user receives it: scripts/package makes the zip; unzip finds
# just Quillet.exe and readme.txt at the top; the exe is the i686 build, stripped, with its
# version resource (read back by windres) and its manifest (read from the resource section
# and queried with xmllint); the readme is code page 932 text with CRLF line ends that tells
# what a Japanese user needs and carries the libraries' notices. The version is the one
# res/version.h gives.
set -uo pipefail
. "$(dirname "$0")/../../scripts/common.sh"
. "$QUILLET_ROOT/tests/checks/lib/checking.sh"
# binutils' output is read in English, whatever locale ./test runs in.
export LC_ALL=C

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$QUILLET_ROOT/scripts/package" >"$work/package.log" 2>&1 || { cat "$work/package.log"; exit 1; }
version=$(sed -n 's/^#define QUILLET_VERSION_TEXT "\(.*\)"$/\1/p' "$QUILLET_ROOT/res/version.h")
numbers=$(sed -n 's/^#define QUILLET_VERSION_NUMBERS \(.*\)$/\1/p' "$QUILLET_ROOT/res/version.h")
dotted=$(tr -d ' ' <<<"$numbers" | tr ',' '.')
check "res/version.h gives the version as text and as four numbers" \
  grep -qE '^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$' <<<"$dotted"
zip=$QUILLET_BUILD/dist/Quillet-$version.zip

check "the package is named Quillet-$version.zip" test -f "$zip"
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
check "version resource: FileVersion $dotted" has "FILEVERSION $numbers"
check "version resource: ProductVersion $dotted" has "PRODUCTVERSION $numbers"
check "version resource: FileVersion \"$version\"" has "VALUE \"FileVersion\", \"$version\""
check "version resource: ProductVersion \"$version\"" has "VALUE \"ProductVersion\", \"$version\""
check 'version resource: ProductName "Quillet"' has 'VALUE "ProductName", "Quillet"'
check "version resource: Japanese strings, code page 932" has 'BLOCK "041103a4"'
check "version resource: translation 0411/932" has 'VALUE "Translation", 0x411, 932'
check "version resource: a Japanese FileDescription" japanese_description

# Stripped: no debug sections and no symbol table, which together more than doubled the file.
no_debug_sections() {
  local sections
  sections=$(i686-w64-mingw32-objdump -h "$1") || return 1
  grep -q ' \.text ' <<<"$sections" || { echo "no section table read"; return 1; }
  ! grep -E '^ *[0-9]+ +\.debug' <<<"$sections"
}
no_symbol_table() {
  local header
  header=$(i686-w64-mingw32-objdump -f "$1") || return 1
  grep -q 'file format pei-i386' <<<"$header" && ! grep -q 'HAS_SYMS' <<<"$header"
}
check "Quillet.exe has no debug sections" no_debug_sections "$exe"
check "Quillet.exe has no symbol table" no_symbol_table "$exe"

# The manifest, as the resource section holds it.
i686-w64-mingw32-objcopy -O binary --only-section=.rsrc "$exe" "$work/rsrc.bin"
perl -0777 -ne 'print $1 if /(<\?xml.*?<\/assembly>)/s' "$work/rsrc.bin" >"$work/manifest.xml"
check "the resource section holds a well-formed manifest" xmllint --noout "$work/manifest.xml"
query() { xmllint --xpath "$1" "$work/manifest.xml" 2>/dev/null; }
is() {  # description expected xpath
  local got
  got=$(query "$3")
  check "manifest: $1" test "$got" = "$2"
}
asm1='namespace-uri()="urn:schemas-microsoft-com:asm.v1"'
asm3='namespace-uri()="urn:schemas-microsoft-com:asm.v3"'
level="/*[local-name()=\"assembly\" and $asm1]/*[local-name()=\"trustInfo\" and $asm3]"
level+="/*[local-name()=\"security\" and $asm3]/*[local-name()=\"requestedPrivileges\" and $asm3]"
level+="/*[local-name()=\"requestedExecutionLevel\" and $asm3]"
is "version $dotted" "$dotted" \
  "string(/*[local-name()=\"assembly\"]/*[local-name()=\"assemblyIdentity\"]/@version)"
is "one requested execution level" 1 "count($level)"
is "execution level asInvoker" asInvoker "string($level/@level)"
is "no UI access" false "string($level/@uiAccess)"
compat='namespace-uri()="urn:schemas-microsoft-com:compatibility.v1"'
os_ids="//*[local-name()=\"compatibility\" and $compat]/*[local-name()=\"application\" and $compat]"
os_ids+="/*[local-name()=\"supportedOS\" and $compat]/@Id"
supported_os() {  # each Id on a line of its own, sorted
  xmllint --xpath "$os_ids" "$work/manifest.xml" 2>/dev/null | sed 's/^ *Id="\(.*\)"$/\1/' | sort
}
# Windows Vista, 7, 8, 8.1, 10 and 11 (10 and 11 share theirs).
expected_os=$(sort <<'EOF_IDS'
{e2011457-1546-43c5-a5fe-008deee3d3f0}
{35138b9a-5d96-4fbd-8e2d-a2440225f93a}
{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}
{1f676c76-80e1-4239-95bb-83d0f6d0da78}
{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}
EOF_IDS
)
check "manifest: supported Windows Vista, 7, 8, 8.1 and 10/11, no other" \
  test "$(supported_os)" = "$expected_os"
is "common controls 6 still asked for" 6.0.0.0 \
  "string(//*[local-name()=\"dependentAssembly\"]/*[local-name()=\"assemblyIdentity\" and @name=\"Microsoft.Windows.Common-Controls\"]/@version)"

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
check "readme.txt opens with the version, ver.$version" \
  test "$(head -n 1 "$work/readme.utf8" | tr -d '\r')" = "Quillet ver.$version"
for text in "UNLHA32.DLL" "7-Zip32.dll" "CAB32.DLL" "Quillet.ini" "インストール" "アンインストール" \
  "this software is based in part on the work of the Independent JPEG Group" \
  "libjpeg-turbo" "PNG Reference Library License" "Jean-loup Gailly and Mark Adler" \
  "libdeflate" "Copyright 2016 Eric Biggers"; do
  check "readme.txt says \"$text\"" says "$text"
done
finish
