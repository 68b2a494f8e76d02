#!/usr/bin/env bash
# The end-to-end cases whose conditions only root can make, through the real Quillet.exe
# under Wine: converting a JPEG onto itself on a small file system that fills up during the
# write, and a picture whose header claims 65500 x 65500 pixels inside a memory group of
# 2 GiB, smaller than the machine. Without root their three checks count as skipped.
set -uo pipefail
. "$(dirname "$0")/../../scripts/common.sh"
. "$QUILLET_ROOT/scripts/wine.sh"
. "$QUILLET_ROOT/tests/checks/lib/checking.sh"

e2e=$QUILLET_BUILD/win64/tests/e2e/e2e_tests.exe
[ -f "$e2e" ] || die "no $e2e: scripts/build win64"
if [ "$(id -u)" -ne 0 ]; then
  why="not root: no small file system and no memory group can be made"
  skip "a JPEG rewritten onto itself on a full disk stays as it was" "$why"
  skip "a huge-header JPEG in a 2 GiB memory group cannot be opened" "$why"
  skip "no process of the memory group was killed" "$why"
  finish
  exit
fi

work=$(mktemp -d)
disk=$work/disk
group=""
cleanup() {
  mountpoint -q "$disk" && umount "$disk"
  [ -n "$group" ] && [ -d "$group" ] && rmdir "$group"
  rm -rf "$work"
  wine_teardown
}
trap cleanup EXIT
wine_setup
export QUILLET_TEST_BIN; QUILLET_TEST_BIN=$(wine_path "$QUILLET_BUILD/win64")

run_e2e() {  # filter
  WINE_TIMEOUT=300 wine_run "$e2e" --gtest_filter="$1"
}
# Passes only when the case really ran (a skipped case does not count).
ran() {  # filter
  local out
  out=$(run_e2e "$1" 2>&1)
  local status=$?
  printf '%s\n' "$out" | grep -E 'Failure|Expected|Which is|FAILED|SKIPPED|error' | head -n 20
  [ $status -eq 0 ] && printf '%s\n' "$out" | grep -q '^\[  PASSED  \] 1 test' &&
    ! printf '%s\n' "$out" | grep -q 'SKIPPED'
}

stop_wineserver() { timeout 20 "$WINESERVER" -k >/dev/null 2>&1; timeout 20 "$WINESERVER" -w >/dev/null 2>&1; }

# A file system of its own, which the case fills to leave too little room for the rewrite.
# Wine's server opens the files: one started before the mount (the private Wine's keeps the
# mounts it started with) would not see it.
mkdir -p "$disk"
if mount -t tmpfs -o size=1m tmpfs "$disk" && stop_wineserver; then
  full_disk() {
    (export QUILLET_SMALL_DISK; QUILLET_SMALL_DISK=$(wine_path "$disk") &&
      ran 'ImageJob.AFullDiskKeepsThePictureThatWasThere')
  }
  check "a JPEG rewritten onto itself on a full disk stays as it was" full_disk
else
  check "mounting a small tmpfs" false
fi

# A memory group of 2 GiB (cgroup v2, or the v1 memory controller) around the whole run.
if [ -f /sys/fs/cgroup/cgroup.controllers ]; then
  group=/sys/fs/cgroup/quillet-check-$$
  mkdir "$group" && echo $((2 << 30)) >"$group/memory.max"
else
  group=/sys/fs/cgroup/memory/quillet-check-$$
  mkdir "$group" && echo $((2 << 30)) >"$group/memory.limit_in_bytes"
fi
# Wine's server starts again inside the group, so every Wine process of the case is in it.
huge_in_group() {
  (echo "$BASHPID" >"$group/cgroup.procs" && ran 'ImageJob.APictureTooBigForMemoryCannotBeOpened')
}
stop_wineserver
check "a huge-header JPEG in a 2 GiB memory group cannot be opened" huge_in_group
stop_wineserver
killed=$(sed -n 's/^oom_kill \([0-9]*\)$/\1/p' "$group/memory.events" "$group/memory.oom_control" 2>/dev/null)
check "no process of the memory group was killed" [ "${killed:-0}" = 0 ]

finish
