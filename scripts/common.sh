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
