# Trees of files for the archive checks, and ways to compare them.

# The same tree the Windows tests archive: empty file and folder, one file larger than a
# cabinet data block, nested folders, Japanese names ("ソ" ends in the byte of '\').
make_tree() {
  mkdir -p "$1/sub/deeper" "$1/フォルダ" "$1/emptydir"
  printf 'hello\r\nworld\r\n' >"$1/readme.txt"
  : >"$1/empty.dat"
  head -c 100000 /dev/urandom >"$1/big.bin"
  printf 'deep' >"$1/sub/deeper/note.txt"
  printf '表とソ' | iconv -f UTF-8 -t CP932 >"$1/表ソ.txt"
  head -c 777 /dev/urandom >"$1/フォルダ/画像.bin"
}

# A copy of a tree without the folders that hold no file: cabinets cannot keep those.
files_only() {
  rm -rf "$2" && cp -a "$1" "$2" && find "$2" -mindepth 1 -type d -empty -delete
}

# Renames everything below a folder from code page 932 names to UTF-8, deepest first.
names_to_utf8() {
  local path base new
  while IFS= read -r -d '' path; do
    base=${path##*/}
    new=$(printf '%s' "$base" | iconv -f CP932 -t UTF-8) || return 1
    [ "$new" = "$base" ] || mv "$path" "${path%/*}/$new" || return 1
  done < <(LC_ALL=C find "$1" -mindepth 1 -depth -print0)
}

same_tree() { diff -r "$1" "$2"; }
