# Sourced by every script: where things live.
QUILLET_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QUILLET_CACHE=${QUILLET_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillet}
QUILLET_BUILD=${QUILLET_BUILD:-$QUILLET_ROOT/build}
QUILLET_TRIPLES="x86_64-w64-mingw32 i686-w64-mingw32"
export QUILLET_ROOT QUILLET_CACHE QUILLET_BUILD

log() { printf '[quillet] %s\n' "$*" >&2; }
die() { printf '[quillet] error: %s\n' "$*" >&2; exit 1; }

# Prefix of the cross-built static libraries for one triple.
deps_prefix() { printf '%s/deps/%s' "$QUILLET_CACHE" "$1"; }

# Whether the kernel runs 32-bit x86 programs: a 93-byte static i386 program that only exits.
# No compiler needed; a kernel without IA-32 emulation answers "Exec format error".
kernel_runs_i386() {
  local probe status
  mkdir -p "$QUILLET_CACHE" && probe=$(mktemp "$QUILLET_CACHE/i386-probe.XXXXXX") || return 1
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00'`
    `'\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00'`
    `'\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'`
    `'\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'`
    `'\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80' >"$probe"  # xor ebx,ebx; mov eax,1; int 0x80
  chmod +x "$probe"
  "$probe" 2>/dev/null
  status=$?
  rm -f "$probe"
  [ "$status" -eq 0 ]
}

# apt-get update, tried three times. A source that still fails leaves the lists it had and
# set-up goes on: only a package that then cannot be installed stops it. Commands run
# through APT_PREFIX when it is set (a chroot, say).
apt_update() {
  local n out
  for n in 1 2 3; do
    out=$(${APT_PREFIX[@]+"${APT_PREFIX[@]}"} apt-get update -qq 2>&1) && return 0
    [ "$n" = 3 ] || sleep "$n"
  done
  log "warning: some package sources could not be read; going on with the lists at hand:"
  printf '%s\n' "$out" | grep -E '^(E|W):' | head -n 4 | sed 's/^/[quillet]   /' >&2
  return 0
}

# Installs the packages; when that fails, tries them one by one and names each that cannot
# be installed, with apt's reason.
apt_install() {  # package...
  local p out bad=()
  export DEBIAN_FRONTEND=noninteractive
  ${APT_PREFIX[@]+"${APT_PREFIX[@]}"} apt-get install -y -qq --no-install-recommends "$@" \
    >/dev/null 2>&1 && return 0
  for p in "$@"; do
    out=$(${APT_PREFIX[@]+"${APT_PREFIX[@]}"} apt-get install -y -qq --no-install-recommends \
      "$p" 2>&1) && continue
    bad+=("$p")
    log "cannot install $p: $(printf '%s\n' "$out" | grep -E '^E:|Depends:' | head -n 3 | tr '\n' ' ')"
  done
  [ ${#bad[@]} -eq 0 ] || { log "packages that cannot be installed: ${bad[*]}"; return 1; }
}
