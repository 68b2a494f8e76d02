# Counting for the check scripts: check runs one command, shows what failed, skip counts a
# check that cannot run here, quillet_in runs the program on items, and the script ends with
# finish, which prints the closing count.
passed=0
failed=0
skipped=0

check() {  # description command...
  local what=$1 log
  shift
  log=$(mktemp)
  if "$@" >"$log" 2>&1; then
    passed=$((passed + 1))
    [ "${CHECK_VERBOSE:-0}" = 1 ] && printf 'ok    %s\n' "$what"
  else
    failed=$((failed + 1))
    printf 'FAIL  %s\n' "$what"
    head -n 20 "$log" | sed 's/^/      /'
  fi
  rm -f "$log"
}

skip() {  # description reason
  skipped=$((skipped + 1))
  printf 'SKIP  %s: %s\n' "$1" "$2"
}

# Ends a script whose checks cannot run at all here (a tool missing): they count as one
# skipped check, not as nothing and not as a failure.
skip_all() {  # reason
  printf 'SKIP  every check of %s: %s\n' "$(basename "$0" .sh)" "$1"
  skipped=$((skipped + 1))
  finish
  exit 0
}

# Skips the whole script unless every named program is on the PATH.
need_tools() {  # program...
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip_all "$tool is missing (scripts/install-packages)"
  done
}

finish() {
  printf '%d passed, %d failed, %d skipped\n' "$passed" "$failed" "$skipped"
  [ "$failed" -eq 0 ]
}

# Runs $build's Quillet.exe in a folder of its own with an INI and the given items.
quillet_in() {  # dir ini items...
  local dir=$1 ini=$2; shift 2
  cp "$build/Quillet.exe" "$dir/"
  printf '%s' "$ini" > "$dir/Quillet.ini"
  local args=() item
  for item in "$@"; do args+=("$(wine_path "$item")"); done
  (cd "$dir" && WINE_TIMEOUT=30 wine_run Quillet.exe "${args[@]}" >/dev/null 2>&1)
}
