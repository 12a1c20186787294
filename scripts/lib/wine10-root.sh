# Sourced by the scripts that run the Wine 10 lane: a Debian 13 root under .cache/ with Wine 10
# in it, made from the Debian registry with debootstrap and entered with chroot. Nothing on the
# host changes: the root's packages are its own, and its bind mounts live in a private mount
# namespace that ends with the command.
#
#   wine10_root_ensure           makes the root, or makes it anew when its recipe changed
#   wine10_root_run cmd args...  runs a command inside the root, with the checkout (and the
#                                host's /tmp, where the X displays and Wine's sockets live) at
#                                the same paths; returns its exit code
#
# QUARNEL_WINE10_ROOT overrides the root's place; QUARNEL_DEBIAN_MIRROR the mirror.

repo=${repo:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
wine10_root=${QUARNEL_WINE10_ROOT:-$repo/.cache/wine10-root}

# The recipe: what the root holds. A change here makes the root anew.
wine10_packages=(wine64 wine32:i386 wine xvfb xauth x11-utils xdotool binutils imagemagick
                 libxinerama1:i386 libxrandr2:i386 libxrender1:i386 libxi6:i386
                 libxcursor1:i386 libxcomposite1:i386 libxfixes3:i386 libxxf86vm1:i386)
wine10_recipe() { printf 'trixie minbase ca-certificates i386 %s\n' "${wine10_packages[*]}"; }

# Runs in a new mount namespace, so every bind below disappears with the command, whatever
# ends it, and concurrent runs (several checkouts) never unmount each other's.
wine10_enter() { # dir cmd args...
  local dir=$1
  shift
  unshare --mount --propagation private /bin/sh -c '
    root=$1 checkout=$2 cwd=$(pwd); shift 2
    for d in /proc /sys /dev /dev/pts /tmp; do
      mkdir -p "$root$d" && mount --rbind "$d" "$root$d" || exit 125
    done
    mkdir -p "$root$checkout" && mount --bind "$checkout" "$root$checkout" || exit 125
    # A checkout whose .cache is a link elsewhere (a worktree sharing the cached downloads).
    if [ -L "$checkout/.cache" ]; then
      cache=$(readlink -f "$checkout/.cache")
      mkdir -p "$root$cache" && mount --bind "$cache" "$root$cache" || exit 125
    fi
    cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null
    # The host environment goes in (the QUARNEL_ settings among it), with the PATH of the root.
    PATH=/usr/sbin:/usr/bin:/sbin:/bin exec chroot "$root" /bin/sh -c "cd \"\$0\" && exec \"\$@\"" "$cwd" "$@"
  ' wine10-enter "$dir" "$repo" "$@"
}

wine10_root_ensure() {
  local recipe
  recipe=$(wine10_recipe)
  [ "$(cat "$wine10_root/.quarnel-recipe" 2>/dev/null)" = "$recipe" ] && return 0
  command -v debootstrap >/dev/null || {
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get install -y -q --no-install-recommends debootstrap >/dev/null 2>&1 ||
      { echo "wine10-root: debootstrap cannot be installed" >&2; return 1; }
  }
  echo "wine10-root: making $wine10_root (Debian 13 with Wine 10; a few minutes)"
  # Only a root these scripts made is ever removed: it carries their recipe file.
  if [ -e "$wine10_root" ]; then
    if [ -f "$wine10_root/.quarnel-recipe" ]; then
      rm -rf --one-file-system "$wine10_root"
    else
      echo "wine10-root: $wine10_root exists and was not made by these scripts; not touching it" >&2
      return 1
    fi
  fi
  local tmp="$wine10_root.new" log
  log=$(mktemp)
  [ -f "$tmp/.quarnel-partial" ] && rm -rf --one-file-system "$tmp"
  [ -e "$tmp" ] && { echo "wine10-root: $tmp is in the way" >&2; return 1; }
  mkdir -p "$tmp" && touch "$tmp/.quarnel-partial"
  if ! debootstrap --variant=minbase --include=ca-certificates trixie "$tmp" \
    "${QUARNEL_DEBIAN_MIRROR:-http://deb.debian.org/debian}" >"$log" 2>&1; then
    echo "wine10-root: debootstrap failed: $(tail -3 "$log")" >&2
    rm -f "$log"
    return 1
  fi
  if ! wine10_enter "$tmp" /bin/sh -c "
      dpkg --add-architecture i386 &&
      { apt-get update -q || echo 'apt-get update reported errors; continuing'; } &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends ${wine10_packages[*]} &&
      apt-get clean" >"$log" 2>&1; then
    echo "wine10-root: installing Wine 10 failed: $(grep -m3 -E '^(E|W):' "$log")" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log" "$tmp/.quarnel-partial"
  printf '%s' "$recipe" >"$tmp/.quarnel-recipe"
  mv "$tmp" "$wine10_root"
  echo "wine10-root: ready ($(wine10_enter "$wine10_root" /usr/lib/wine/wine64 --version 2>/dev/null))"
}

wine10_root_run() { wine10_enter "$wine10_root" "$@"; }
