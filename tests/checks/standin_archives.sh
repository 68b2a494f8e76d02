#!/usr/bin/env bash
# Checks the stand-in archivers against independent tools. Makes archives with Debian's
# 7z, jlha and gcab; runs standin_tests.exe under Wine, which extracts those through the
# stand-ins and leaves the archives the stand-ins made in a scratch folder; then opens
# the stand-ins' archives with 7z, lhasa, jlha and cabextract, runs their
# self-extracting programs again, and compares every tree with its source.
# Usage: tests/checks/standin_archives.sh [build folder]      (default: build/win64)
# Prints "N passed, N failed, N skipped"; exits non-zero when anything failed. KEEP=1 keeps the
# work folder.
set -uo pipefail
. "$(dirname "$0")/../../scripts/common.sh"
. "$QUILLET_ROOT/scripts/wine.sh"
. "$QUILLET_ROOT/tests/checks/lib/trees.sh"
. "$QUILLET_ROOT/tests/checks/lib/checking.sh"

build=${1:-$QUILLET_BUILD/win64}
bin=$build/standin_archivers
[ -f "$bin/standin_tests.exe" ] ||
  die "no $bin/standin_tests.exe: cmake --build $build --target standin_tests"
need_tools 7z lhasa lha cabextract gcab iconv

work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-standins.XXXXXX")
cleanup() {
  wine_teardown
  if [ "${KEEP:-0}" = 1 ]; then log "work folder: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
wine_setup

# ---------------------------------------------------------------- archives of other tools
foreign=$work/foreign
mkdir -p "$foreign" "$work/fsrc"
make_tree "$work/fsrc/photos"
files_only "$work/fsrc" "$work/fsrc-files"
(cd "$work/fsrc" && 7z a -tzip "$foreign/seven.zip" photos >/dev/null) || die "7z -tzip failed"
(cd "$work/fsrc" && 7z a -t7z "$foreign/seven.7z" photos >/dev/null) || die "7z -t7z failed"
# jlha stores names as Shift_JIS (y) and compresses with -lh5-.
(cd "$work/fsrc" && timeout 120 lha aqy "$foreign/jlha.lzh" photos >/dev/null) ||
  die "jlha failed"
(cd "$work/fsrc" && find photos -type f -print0 | xargs -0 gcab -c -z "$foreign/gcab.cab") ||
  die "gcab failed"

# ---------------------------------------------------------------- the Windows side
scratch=$work/scratch
mkdir -p "$scratch"
run_tests() {
  QUILLET_STANDIN_SCRATCH=$(wine_path "$scratch") QUILLET_FOREIGN_ARCHIVES=$(wine_path "$foreign") \
    wine_run "$bin/standin_tests.exe"
}
check "standin_tests.exe under Wine" run_tests

check "7z's ZIP extracts through 7-Zip32.dll" same_tree "$work/fsrc" "$foreign/out/seven.zip"
check "7z's 7z (LZMA2) extracts through 7-Zip32.dll" same_tree "$work/fsrc" "$foreign/out/seven.7z"
check "jlha's LHA (-lh5-, Shift_JIS names) extracts through unlha32.dll" \
  same_tree "$work/fsrc" "$foreign/out/jlha.lzh"
check "gcab's MSZIP cabinet extracts through cab32.dll" \
  same_tree "$work/fsrc-files" "$foreign/out/gcab.cab"

# ---------------------------------------------------------------- the stand-ins' archives
open_lha() { # archive destination
  lhasa t "$1" >/dev/null && mkdir -p "$2" && lhasa xqw="$2" "$1" && names_to_utf8 "$2"
}
open_lha_jlha() {
  mkdir -p "$2" && (cd "$2" && timeout 120 lha xqy "$1")
}
open_7z() { 7z t "$1" >/dev/null && 7z x -o"$2" "$1" >/dev/null; }
open_cab() { cabextract -q -t "$1" >/dev/null && cabextract -q -e CP932 -d "$2" "$1"; }

opened=$work/opened
for format in lha zip sevenzip cab; do
  case $format in
  lha) ext=lzh tools="open_lha:lhasa open_lha_jlha:jlha" ;;
  zip) ext=zip tools="open_7z:7z" ;;
  sevenzip) ext=7z tools="open_7z:7z" ;;
  cab) ext=cab tools="open_cab:cabextract" ;;
  esac
  for run in FolderComesBackWholeUnderItsOwnName:photos JapaneseNamesSurvive:ソフト表 \
    FileIsStoredByItsOwnName:report JapaneseFileNameSurvives:予定表 \
    AddingKeepsWhatTheArchiveHeldAndReplacesTheSameName:update; do
    test=${run%%:*} base=${run#*:}
    dir=$scratch/Formats_RoundTripTest.${test}_$format
    expected=$dir/src
    if [ $format = cab ]; then
      files_only "$dir/src" "$dir/src-files"
      expected=$dir/src-files
    fi
    for tool in $tools; do
      opener=${tool%%:*} name=${tool#*:}
      out=$opened/$format-$test-$name
      check "$name opens the stand-in's $base.$ext" \
        eval "$opener \"$dir/$base.$ext\" \"$out\" && same_tree \"$expected\" \"$out\""
    done
  done
done

# ---------------------------------------------------------------- self-extracting programs
for format in lha cab; do
  dir=$scratch/Formats_SfxTest.FolderArchiveUnpacksItselfBesideItself_$format
  run=$work/sfx-$format
  expected=$dir/src
  [ $format = cab ] && files_only "$dir/src" "$dir/src-files" && expected=$dir/src-files
  mkdir -p "$run" && cp "$dir/program.exe" "$run/ソフト.exe" 2>/dev/null
  check "the $format self-extracting program unpacks under Wine" \
    eval "wine_run \"$run/ソフト.exe\" && rm \"$run/ソフト.exe\" && same_tree \"$expected\" \"$run\""
done
check "cabextract finds the cabinet inside the CAB self-extracting program" \
  cabextract -q -t "$scratch/Formats_SfxTest.FolderArchiveUnpacksItselfBesideItself_cab/program.exe"

finish
