# Private headless desktops of the two big families, each with a runtime
# directory (0700) and a session bus of its own, run as an unprivileged
# user (nobody, when we are root) as those compositors expect, with one
# 1920x1080 output:
#   GNOME: mutter 43, no X11; it offers no Wayland idle protocol, but its
#          idle monitor on the bus (org.gnome.Mutter.IdleMonitor);
#   KDE:   KWin 5.27 (kwin_wayland --virtual), from a plain copy of the
#          binary: the installed one carries file capabilities that a
#          process here may not be allowed to exec.
# The compositor's log is $XDG_RUNTIME_DIR/compositor.log.
#
# Sourced:  start_mutter or start_kwin starts one; sets WAYLAND_DISPLAY,
#           XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS and COMPOSITOR_PID, or
#           fails when it cannot run;
#           start_mutter_nested starts the same mutter in a window of the X
#           server that DISPLAY names (a private Xvfb, scripts/xvfb.sh): a
#           headless mutter offers no way to take a screenshot, but this
#           one shows on the X server (`import -window root`), with its own
#           pointer, and takes xdotool's input;
#           as_desktop_user COMMAND... runs a client in it as its user,
#           spawn_as_desktop_user in the background (SPAWNED: its pid);
#           stop_desktop ends the compositor and the bus.
# Run:      sh scripts/desktops.sh mutter|kwin COMMAND... runs COMMAND (as
#           the desktop's user) in one, and exits with its status, or with
#           77 (a skip to CTest) when it cannot start.

_desktop_dir=

_desktop_user_prefix() {
  if [ "$(id -u)" -eq 0 ]; then echo "setpriv --reuid=nobody --regid=nogroup --clear-groups --"; fi
}

as_desktop_user() {
  _as_desktop_user "" "$@"
}

spawn_as_desktop_user() {
  (_as_desktop_user exec "$@") &
  SPAWNED=$!
}

_as_desktop_user() {
  _exec=$1
  shift
  # shellcheck disable=SC2046
  $_exec $(_desktop_user_prefix) env -u DISPLAY -u WAYLAND_DISPLAY HOME="$XDG_RUNTIME_DIR" \
    XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
    ${WAYLAND_DISPLAY:+WAYLAND_DISPLAY=$WAYLAND_DISPLAY} "$@"
}

_desktop_start_bus() {
  _desktop_dir=$(mktemp -d) || return 1
  chmod 700 "$_desktop_dir"
  [ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$_desktop_dir"
  XDG_RUNTIME_DIR=$_desktop_dir
  DBUS_SESSION_BUS_ADDRESS=unix:path=$_desktop_dir/bus
  WAYLAND_DISPLAY=
  export XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS
  spawn_as_desktop_user dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" >/dev/null 2>&1
  DESKTOP_BUS_PID=$SPAWNED
  _tries=0
  until [ -S "$_desktop_dir/bus" ]; do
    _tries=$((_tries + 1))
    [ "$_tries" -le 100 ] || { stop_desktop; return 1; }
    sleep 0.1
  done
}

# _desktop_ready SOCKET BUS_NAME: waits for the compositor's Wayland socket
# and its name on the bus; fails when it ends first or takes over 30 s.
_desktop_ready() {
  _tries=0
  until [ -S "$XDG_RUNTIME_DIR/$1" ] && as_desktop_user dbus-send --session --print-reply --dest=org.freedesktop.DBus \
    /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:"$2" 2>/dev/null | grep -q 'boolean true'; do
    _tries=$((_tries + 1))
    if [ "$_tries" -gt 300 ] || ! kill -0 "$COMPOSITOR_PID" 2>/dev/null; then stop_desktop; return 1; fi
    sleep 0.1
  done
  WAYLAND_DISPLAY=$1
  export WAYLAND_DISPLAY
}

start_mutter() {
  command -v mutter >/dev/null 2>&1 || return 1
  _desktop_start_bus || return 1
  spawn_as_desktop_user mutter --headless --wayland --no-x11 --virtual-monitor 1920x1080 \
    --wayland-display=pellavin-mutter >"$XDG_RUNTIME_DIR/compositor.log" 2>&1
  COMPOSITOR_PID=$SPAWNED
  _desktop_ready pellavin-mutter org.gnome.Mutter.IdleMonitor
}

start_mutter_nested() {
  command -v mutter >/dev/null 2>&1 && [ -n "${DISPLAY:-}" ] || return 1
  _x11=$DISPLAY
  _desktop_start_bus || return 1
  # The X server's own size for the output, not the nested default 800x600.
  spawn_as_desktop_user env DISPLAY="$_x11" MUTTER_DEBUG_DUMMY_MODE_SPECS=1920x1080 \
    mutter --nested --wayland --no-x11 --wayland-display=pellavin-mutter >"$XDG_RUNTIME_DIR/compositor.log" 2>&1
  COMPOSITOR_PID=$SPAWNED
  _desktop_ready pellavin-mutter org.gnome.Mutter.IdleMonitor
}

start_kwin() {
  command -v kwin_wayland >/dev/null 2>&1 || return 1
  _desktop_start_bus || return 1
  # cp copies no extended attributes, so no file capabilities.
  cp "$(command -v kwin_wayland)" "$XDG_RUNTIME_DIR/kwin_wayland"
  [ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$XDG_RUNTIME_DIR/kwin_wayland"
  spawn_as_desktop_user "$XDG_RUNTIME_DIR/kwin_wayland" --virtual --no-lockscreen --socket pellavin-kwin \
    --width 1920 --height 1080 >"$XDG_RUNTIME_DIR/compositor.log" 2>&1
  COMPOSITOR_PID=$SPAWNED
  _desktop_ready pellavin-kwin org.kde.KWin
}

stop_desktop() {
  for _pid in ${COMPOSITOR_PID:-} ${DESKTOP_BUS_PID:-}; do
    kill "$_pid" 2>/dev/null || true
    wait "$_pid" 2>/dev/null || true
  done
  COMPOSITOR_PID=
  DESKTOP_BUS_PID=
  if [ -n "$_desktop_dir" ]; then
    rm -rf "$_desktop_dir"
    _desktop_dir=
  fi
  unset WAYLAND_DISPLAY
}

case $0 in
*desktops.sh)
  set -eu
  [ $# -gt 1 ] || { echo "usage: sh $0 mutter|kwin COMMAND..." >&2; exit 2; }
  desktop=$1
  shift
  "start_$desktop" || { echo "SKIP: $desktop cannot run here" >&2; exit 77; }
  trap stop_desktop EXIT
  status=0
  as_desktop_user "$@" || status=$?
  exit "$status"
  ;;
esac
