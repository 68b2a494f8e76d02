#!/usr/bin/env bash
# Files and folders compressed by the real Quillet.exe in all six formats, beside the
# source and into an output folder, opened with independent tools; archives made by
# independent tools extracted by Quillet.exe. The stand-in archiver libraries sit beside
# the program, as they do for ./quillet.
# Usage: tests/checks/quillet_archives.sh [build folder]      (default: build/win64)
set -uo pipefail
. "$(dirname "$0")/../../scripts/common.sh"
. "$QUILLET_ROOT/scripts/wine.sh"
. "$QUILLET_ROOT/tests/checks/lib/trees.sh"
. "$QUILLET_ROOT/tests/checks/lib/checking.sh"
build=${1:-$QUILLET_BUILD/win64}
need_tools 7z lhasa lha cabextract gcab iconv
wine_setup

work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-archives.XXXXXX")
# Wine stops at the end, with the Xvfb that a run of its own started.
if [ "${KEEP:-0}" = 1 ]; then
  log "work folder: $work"
  trap wine_teardown EXIT
else
  trap 'rm -rf "$work"; wine_teardown' EXIT
fi

prog=$work/prog
mkdir -p "$prog"
cp "$build/Quillet.exe" "$build"/standin_archivers/*.dll "$prog/"
wine_temp="$WINEPREFIX/drive_c/users/$(id -un)/Temp"

quillet() {  # ini items...
  local ini=$1 args=() item
  shift
  printf '%s' "$ini" >"$prog/Quillet.ini"
  for item in "$@"; do args+=("$(wine_path "$item")"); done
  (cd "$prog" && WINE_TIMEOUT=60 wine_run Quillet.exe "${args[@]}" >/dev/null 2>&1)
}

open_archive() {  # archive destination
  mkdir -p "$2"
  case "$1" in
  *.lzh) lhasa t "$1" >/dev/null && lhasa xqw="$2" "$1" && names_to_utf8 "$2" ;;
  *.cab) cabextract -q -t "$1" >/dev/null && cabextract -q -e CP932 -d "$2" "$1" ;;
  *) 7z t "$1" >/dev/null && 7z x -o"$2" "$1" >/dev/null ;;
  esac
}

# What the archive of item must hold: a folder whole under its name (without empty
# folders in a cabinet), a file alone.
expected_of() {  # item format-ext destination
  mkdir -p "$3"
  if [ -d "$1" ]; then
    if [ "$2" = cab ]; then files_only "$1" "$3/${1##*/}"; else cp -a "$1" "$3/"; fi
  else
    cp -a "$1" "$3/"
  fi
}

data=$work/data
out=$work/out
mkdir -p "$data" "$out"
make_tree "$data/photos"
printf 'report\r\n' >"$data/report.txt"
printf '表' | iconv -f UTF-8 -t CP932 >"$data/表.txt"
exts=(lzh lzh zip 7z cab cab)

n=0
for type in 0 1 2 3 4 5; do
  ext=${exts[$type]}
  for item in photos report.txt 表.txt; do
    for place in beside out addext; do
      [ "$place" = addext ] && [ -d "$data/$item" ] && continue
      n=$((n + 1))
      src=$work/case$n
      mkdir -p "$src"
      cp -a "$data/$item" "$src/"
      ini=$'[Archive]\r\nType='"$type"$'\r\n'
      dest=$src
      base=${item%.*}
      case $place in
      out)
        dest=$out/case$n
        mkdir -p "$dest"
        ini+=$'[Output]\r\nType=1\r\nDirName='"$(wine_path "$dest")"$'\r\n'
        ;;
      addext)
        ini+=$'[Output]\r\nAddExt=1\r\n'
        base=${item%.*}_${item##*.}
        ;;
      esac
      what="type $type, $item, $place"
      quillet "$ini" "$src/$item"
      expect=$work/expect$n
      expected_of "$src/$item" "$ext" "$expect"
      if [ "$type" = 1 ] || [ "$type" = 5 ]; then
        check "$what: no plain archive left" test ! -e "$dest/$base.$ext"
        check "$what: none in the temp folder" test ! -e "$wine_temp/$base.$ext"
        run=$work/run$n
        mkdir -p "$run"
        check "$what: self-extracting program made" cp "$dest/$base.exe" "$run/"
        check "$what: it unpacks the item under Wine" \
          eval "wine_run \"$run/$base.exe\" && rm \"$run/$base.exe\" && same_tree \"$expect\" \"$run\""
      else
        check "$what: archive opens with the same content" \
          eval "open_archive \"$dest/$base.$ext\" \"$work/opened$n\" && same_tree \"$expect\" \"$work/opened$n\""
      fi
    done
  done
done

# Archives made by independent tools come out through the program byte for byte.
foreign=$work/foreign
mkdir -p "$foreign"
(cd "$data" && 7z a -tzip "$foreign/zip7.zip" photos >/dev/null)
(cd "$data" && 7z a -t7z "$foreign/sz7.7z" photos >/dev/null)
(cd "$data" && timeout 120 lha aqy "$foreign/jlha.lzh" photos >/dev/null)
(cd "$data" && find photos -type f -print0 | xargs -0 gcab -c -z "$foreign/gcab.cab")
files_only "$data/photos" "$work/photos-files"
for archive in zip7.zip sz7.7z jlha.lzh gcab.cab; do
  quillet $'[Output]\r\nMakeDir=1\r\n' "$foreign/$archive"
  expect=$data/photos
  [ "$archive" = gcab.cab ] && expect=$work/photos-files
  check "$archive extracts through the program" same_tree "$expect" "$foreign/${archive%.*}/photos"
done

finish
