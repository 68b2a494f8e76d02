# Counting for the check scripts: check runs one command, shows what failed, and the
# script ends with finish, which prints the closing count.
passed=0
failed=0

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

finish() {
  printf '%d passed, %d failed\n' "$passed" "$failed"
  [ "$failed" -eq 0 ]
}
