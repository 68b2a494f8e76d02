# Sourced by every script that runs Windows programs: one Wine set-up for all of them.
# wine_prepare makes sure a Wine that runs the i686 release is at hand; wine_setup picks
# that Wine, starts Xvfb when there is no display, prepares the project's own WoW64 prefix
# (code page 932, Japanese fonts, no crash dialogs) and exports the environment;
# wine_teardown stops wineserver and the Xvfb it started.
#
# Which Wine: the host's where its 32-bit loader runs; otherwise the private one that
# scripts/wine-root keeps in the cache. Wine, its server and the 32-bit loader always come
# from the same one, with a prefix of its own: two Wine versions' servers do not speak the
# same protocol.

QUILLET_XVFB_PID=""
QUILLET_PRIVATE_WINE="$QUILLET_ROOT/scripts/private-wine"

host_wine32_runs() { [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; }

wine_prepare() {
  host_wine32_runs && return 0
  "$QUILLET_ROOT/scripts/wine-root" prepare ||
    log "warning: no private 32-bit Wine could be made; the i686 build cannot run here"
}

# Sets WINE, WINESERVER, WINE32_LOADER and the default prefix; QUILLET_WINE tells which.
wine_choose() {
  if ! host_wine32_runs && "$QUILLET_ROOT/scripts/wine-root" ready; then
    QUILLET_WINE=private
    WINE=$QUILLET_PRIVATE_WINE/wine64
    WINESERVER=$QUILLET_PRIVATE_WINE/wineserver
    WINE32_LOADER=$QUILLET_PRIVATE_WINE/wine
    QUILLET_DEFAULT_PREFIX=$QUILLET_CACHE/wineprefix-private
  else
    QUILLET_WINE=host
    WINE=/usr/lib/wine/wine64
    WINESERVER=/usr/lib/wine/wineserver64
    [ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
    # wine32's loader: with it, a new prefix is a WoW64 prefix and wine64 hands 32-bit
    # programs over to it.
    WINE32_LOADER=/usr/lib/wine/wine
    QUILLET_DEFAULT_PREFIX=$QUILLET_CACHE/wineprefix
  fi
}
wine_choose

wine_setup() {
  # QUILLET_WINEPREFIX lets two checkouts test at once without stopping each other's Wine.
  wine_choose
  if [ "$QUILLET_WINE" = private ] && [ -z "${QUILLET_WINE_NS:-}" ]; then
    QUILLET_WINE_NS=$("$QUILLET_ROOT/scripts/wine-root" hold $$) || die "no namespace for Wine"
    QUILLET_WINE_NS_STARTED=$QUILLET_WINE_NS
    export QUILLET_WINE_NS
  fi
  export WINEPREFIX="${QUILLET_WINEPREFIX:-$QUILLET_DEFAULT_PREFIX}" WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree=;mshtml="
  # For Wine and the tools it starts. A shell that began before set-up made the locale cannot
  # take it itself (glibc does not look for locales again) and would say so; they can.
  { export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8; } 2>/dev/null
  if [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    QUILLET_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    [ -e "/tmp/.X11-unix/X$n" ] || die "Xvfb did not start on :$n"
  fi
  # A prefix made before wine32 was installed lacks the 32-bit side that the i686 build
  # needs, and Wine does not add it later: such a prefix is made anew.
  if [ -f "$WINEPREFIX/system.reg" ] && wine32_loader_runs &&
    [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    log "the Wine prefix lacks its 32-bit side: making it anew"
    timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
    timeout 20 "$WINESERVER" -w >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  # A prefix of an earlier set-up only lacks the newer settings.
  if [ ! -f "$WINEPREFIX/.quillet-ready-3" ]; then
    log "preparing the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/.quillet-ready-2" ]; then
      timeout 300 "$WINE" wineboot -i >/dev/null 2>&1 || die "wineboot failed"
    fi
    wine_import_settings
    timeout 60 "$WINESERVER" -w || true
    touch "$WINEPREFIX/.quillet-ready-3"
  fi
}

# wine32 may be installed on a kernel that cannot execute 32-bit programs: such a loader
# gives no 32-bit side, and a prefix without one must not be made anew on every set-up.
wine32_loader_runs() {
  [ -x "$WINE32_LOADER" ] && "$WINE32_LOADER" --version >/dev/null 2>&1
}

# Japanese dialog fonts map to the IPA fonts; a crash ends the program instead of
# opening a debugger dialog that nobody can answer.
wine_import_settings() {
  local reg="$WINEPREFIX/quillet-settings.reg"
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"ＭＳ ゴシック"="IPAGothic"\r\n"ＭＳ Ｐゴシック"="IPAPGothic"\r\n'
    printf '"MS Gothic"="IPAGothic"\r\n"MS PGothic"="IPAPGothic"\r\n"MS UI Gothic"="IPAPGothic"\r\n\r\n'
    # Wine 8.0 as packaged looks for its own fonts in a folder that does not exist, so
    # caption buttons lacked their Marlett glyphs and showed letters: named here instead.
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\r\n'
    printf '"Marlett (TrueType)"="Z:\\\\usr\\\\share\\\\wine\\\\fonts\\\\marlett.ttf"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n'
    # A virtual desktop: Wine draws the frames and captions itself, with or without a
    # window manager, so screenshots show window titles.
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"Desktop"="Default"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"Default"="1024x768"\r\n\r\n'
  } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
  timeout 60 "$WINE" regedit /S "$(wine_path "$reg")" >/dev/null 2>&1 || die "regedit failed"
}

# Whether this machine runs 32-bit Windows programs: the prefix's own 32-bit command
# interpreter is asked for an exit status.
wine_runs_32bit() {
  wine32_loader_runs && [ -f "$WINEPREFIX/drive_c/windows/syswow64/cmd.exe" ] || return 1
  local status=0
  WINE_TIMEOUT=60 wine_run 'C:\windows\syswow64\cmd.exe' /c exit 7 >/dev/null 2>&1 || status=$?
  [ "$status" -eq 7 ]
}

# One line on the Wine that runs 32-bit programs here: whose, which, and whether the
# kernel runs its code or qemu-i386 emulates it.
wine32_described() {
  local version how=native
  version=$("$WINE32_LOADER" --version 2>/dev/null | sed -n '1s/^wine-\([^ ]*\).*/Wine \1/p')
  if [ "$QUILLET_WINE" = private ]; then
    [ "$("$QUILLET_ROOT/scripts/wine-root" kind)" = emulated ] && how="emulated by qemu-i386"
    printf 'the private %s in %s, %s' "$version" "$QUILLET_CACHE/wine-root" "$how"
  else
    printf "the host's %s, %s" "$version" "$how"
  fi
}

# The Windows form of a Linux path (Z:\...).
wine_path() {
  local p
  p=$(realpath -m "$1")
  printf 'Z:%s' "${p//\//\\}"
}

wine_run() {  # [timeout seconds] via WINE_TIMEOUT; program args...
  timeout --kill-after=10 "${WINE_TIMEOUT:-600}" "$WINE" "$@"
}

wine_teardown() {
  timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
  # Gone for good before anything starts Wine again with this prefix.
  timeout 20 "$WINESERVER" -w >/dev/null 2>&1 || true
  if [ -n "${QUILLET_WINE_NS_STARTED:-}" ]; then
    kill "$QUILLET_WINE_NS_STARTED" 2>/dev/null || true
    unset QUILLET_WINE_NS QUILLET_WINE_NS_STARTED
  fi
  if [ -n "$QUILLET_XVFB_PID" ]; then
    kill "$QUILLET_XVFB_PID" 2>/dev/null || true
    wait "$QUILLET_XVFB_PID" 2>/dev/null || true
    QUILLET_XVFB_PID=""
  fi
}
