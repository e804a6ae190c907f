# Private headless desktops of the two big families, each with a runtime
# directory (0700) and a session bus of its own, run as an unprivileged
# user (nobody, when we are root) as those compositors expect, with one
# 1920x1080 output:
#   GNOME: mutter 43, no X11; it offers no Wayland idle protocol, but its
#          idle monitor on the bus (org.gnome.Mutter.IdleMonitor);
#          or the whole GNOME Shell 43, which hosts that mutter and adds
#          the screen shield; the shield exists only where GDM answers on
#          the system bus, so the shell gets a system bus of its own with
#          a stand-in for GDM there (tests/e2e/tools/display_manager.py);
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
#           start_gnome_shell TOOLS (the tests' tools, tests/e2e/tools)
#           starts GNOME Shell, sets DBUS_SYSTEM_BUS_ADDRESS too, and
#           returns once it has left the overview it starts in;
#           gnome_shield on|off brings its screen shield or takes it away
#           through GNOME Shell's own org.gnome.Shell.ScreenShield (GNOME
#           Shell brings it itself when gnome-session says the session is
#           idle; the signals are the same), so that nothing starts the
#           org.gnome.ScreenSaver go-between on the way;
#           gnome_screenshot PNG saves what it shows;
#           as_desktop_user COMMAND... runs a client in it as its user,
#           spawn_as_desktop_user in the background (SPAWNED: its pid);
#           stop_desktop ends the compositor and the buses.
# Run:      sh scripts/desktops.sh mutter|kwin|gnome_shell COMMAND... runs
#           COMMAND (as the desktop's user) in one, and exits with its
#           status, or with 77 (a skip to CTest) when it cannot start.

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

# _desktop_wait SECONDS WHAT COMMAND...: runs the command every tenth of a
# second until it succeeds; after SECONDS, or once the compositor (when
# there is one) has ended, says that WHAT failed, ends the desktop and
# fails.
_desktop_wait() {
  _deadline=$(($(date +%s) + $1))
  _what=$2
  shift 2
  _desktop_died=
  until "$@"; do
    [ -z "${COMPOSITOR_PID:-}" ] || _desktop_runs "$COMPOSITOR_PID" || _desktop_died=yes
    if [ "$(date +%s)" -ge "$_deadline" ] || [ -n "$_desktop_died" ]; then
      echo "desktops.sh: $_what" >&2
      [ ! -s "$XDG_RUNTIME_DIR/compositor.log" ] || { echo "its log ends:"; tail -n 20 "$XDG_RUNTIME_DIR/compositor.log"; } >&2
      stop_desktop
      return 1
    fi
    sleep 0.1
  done
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
  _desktop_wait 10 "the session bus did not start" test -S "$_desktop_dir/bus"
}

# _desktop_system_bus: a system bus of the desktop's own in its runtime
# directory, where stand-ins take the names of what the machine lacks
# (logind, GDM); sets SYSTEM_BUS_PID and DBUS_SYSTEM_BUS_ADDRESS. The caller
# waits for its socket.
_desktop_system_bus() {
  printf '<busconfig><type>system</type><listen>unix:path=%s</listen><auth>EXTERNAL</auth>
  <policy context="default"><allow send_destination="*"/><allow eavesdrop="true"/><allow own="*"/></policy></busconfig>\n' \
    "$XDG_RUNTIME_DIR/system_bus" >"$XDG_RUNTIME_DIR/system-bus.conf"
  chmod 644 "$XDG_RUNTIME_DIR/system-bus.conf"
  spawn_as_desktop_user dbus-daemon --config-file="$XDG_RUNTIME_DIR/system-bus.conf" --nofork >/dev/null 2>&1
  SYSTEM_BUS_PID=$SPAWNED
  DBUS_SYSTEM_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/system_bus
  export DBUS_SYSTEM_BUS_ADDRESS
}

# _desktop_ask session|system DESTINATION PATH METHOD [ARGUMENT...]: the
# reply, given within two seconds (a waiting loop must not hang on a busy
# desktop).
_desktop_ask() {
  _bus=$1
  _destination=$2
  shift 2
  as_desktop_user dbus-send --"$_bus" --print-reply --reply-timeout=2000 --dest="$_destination" "$@" 2>/dev/null
}

# _desktop_owned session|system NAME: whether the name has an owner there.
_desktop_owned() {
  _desktop_ask "$1" org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:"$2" |
    grep -q 'boolean true'
}

# _desktop_ready SOCKET BUS_NAME: waits up to 30 s for the compositor's
# Wayland socket and its name on the bus.
_desktop_ready() {
  _desktop_wait 30 "no $2 on the session bus" _desktop_up "$1" "$2" || return 1
  WAYLAND_DISPLAY=$1
  export WAYLAND_DISPLAY
}

_desktop_up() {
  [ -S "$XDG_RUNTIME_DIR/$1" ] && _desktop_owned session "$2"
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

# GNOME Shell is slow to start on a busy machine: minutes. The
# services it starts on demand (org.gnome.ScreenSaver, say) end with its
# session bus. Now and then it has ended within its first seconds, with
# no word in its log: then it gets a second start.
start_gnome_shell() {
  command -v gnome-shell >/dev/null 2>&1 || return 1
  _start_gnome_shell "$1" && return 0
  [ -n "$_desktop_died" ] || return 1
  echo "desktops.sh: GNOME Shell ended as it started; once more" >&2
  _start_gnome_shell "$1"
}

_start_gnome_shell() {
  _desktop_tools=$1
  _desktop_start_bus || return 1
  _desktop_system_bus
  _desktop_wait 10 "the system bus did not start" test -S "$XDG_RUNTIME_DIR/system_bus" || return 1
  spawn_as_desktop_user /usr/bin/python3 "$_desktop_tools/display_manager.py" >"$XDG_RUNTIME_DIR/compositor.log" 2>&1
  STAND_IN_PID=$SPAWNED
  _desktop_wait 10 "the stand-in for GDM did not start" _desktop_owned system org.gnome.DisplayManager || return 1
  _desktop_turn
  spawn_as_desktop_user gnome-shell --headless --wayland --no-x11 --virtual-monitor 1920x1080 \
    --wayland-display=pellavin-gnome-shell >>"$XDG_RUNTIME_DIR/compositor.log" 2>&1
  COMPOSITOR_PID=$SPAWNED
  _desktop_wait 120 "GNOME Shell did not start" _gnome_shell_up || { _desktop_turn_done; return 1; }
  WAYLAND_DISPLAY=pellavin-gnome-shell
  export WAYLAND_DISPLAY
  _desktop_wait 60 "GNOME Shell stays in its overview" _gnome_left_overview
  _status=$?
  _desktop_turn_done
  return "$_status"
}

# _desktop_turn, _desktop_turn_done: a whole desktop starts only when no
# other is starting on the machine. Several starting at once on two cores
# each take minutes, and so does every test beside them; one at a time,
# seconds.
_desktop_turn() {
  _desktop_lock=${TMPDIR:-/tmp}/pellavin-desktop-start.lock
  { : >>"$_desktop_lock"; } 2>/dev/null
  if [ -r "$_desktop_lock" ]; then exec 9<"$_desktop_lock" && flock 9; fi
}

_desktop_turn_done() {
  flock -u 9 2>/dev/null || true
  exec 9<&-
}

# _gnome_shell_up: whether the shell is up, with its screen shield, and in
# the overview it starts in. At its start GNOME Shell forks to start
# ibus-daemon, and runs JavaScript in the child before the exec; on a busy
# machine that child has hung there, on a lock that no thread would
# release, and GNOME Shell with it, waiting for the exec. Such a child is
# ended: GNOME Shell goes on without ibus-daemon, as it does here anyway.
_gnome_shell_up() {
  ps -o pid=,etimes=,comm= --ppid "$COMPOSITOR_PID" | while read -r _pid _age _name; do
    [ "$_name" != gnome-shell ] || [ "$_age" -lt 2 ] || {
      echo "desktops.sh: GNOME Shell's child $_pid hangs before its exec; it is ended" >&2
      kill -9 "$_pid"
    }
  done
  _desktop_up pellavin-gnome-shell org.gnome.Shell.ScreenShield && _gnome_overview_is true
}

_gnome_overview_is() {
  _desktop_ask session org.gnome.Shell /org/gnome/Shell org.freedesktop.DBus.Properties.Get \
    string:org.gnome.Shell string:OverviewActive | grep -q "boolean $1"
}

# _gnome_left_overview: whether the overview is gone; if not, a key that
# leaves it.
_gnome_left_overview() {
  _gnome_overview_is false && return 0
  _gnome_key Escape
  return 1
}

# _gnome_key KEY: a key pressed and released, through GNOME Shell's remote
# desktop interface on Wayland, with XTEST on X11.
_gnome_key() {
  if [ "${_gnome_session_type:-wayland}" = x11 ]; then
    xdotool key "$1"
  else
    as_desktop_user /usr/bin/python3 "$_desktop_tools/mutter_input.py" "$1" >/dev/null 2>&1
  fi
}

# gnome_shield on|off: returns once GNOME Shell says the shield is so, or
# fails after half a minute: over a full-screen game, GNOME Shell has
# taken 20 s here to bring it.
gnome_shield() {
  _active=true
  [ "$1" = on ] || _active=false
  as_desktop_user dbus-send --session --print-reply --dest=org.gnome.Shell.ScreenShield /org/gnome/ScreenSaver \
    org.gnome.ScreenSaver.SetActive boolean:"$_active" >/dev/null || return 1
  _deadline=$(($(date +%s) + 30))
  until _desktop_ask session org.gnome.Shell.ScreenShield /org/gnome/ScreenSaver org.gnome.ScreenSaver.GetActive |
    grep -q "boolean $_active"; do
    [ "$(date +%s)" -lt "$_deadline" ] || return 1
    sleep 0.1
  done
}

# gnome_screenshot PNG: GNOME Shell writes it, as its user, so first into
# the desktop's own directory.
gnome_screenshot() {
  as_desktop_user /usr/bin/python3 "$_desktop_tools/gnome_shell_screenshot.py" "$XDG_RUNTIME_DIR/screen.png" &&
    cp "$XDG_RUNTIME_DIR/screen.png" "$1"
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

# _desktop_end PID: ends one of the desktop's processes and any child it
# has forked, by force after five seconds: a compositor that waits on a
# stuck child never reaches its handler of SIGTERM.
_desktop_end() {
  # shellcheck disable=SC2046
  kill $(ps -o pid= --ppid "$1") "$1" 2>/dev/null || true
  _deadline=$(($(date +%s) + 5))
  while _desktop_runs "$1" && [ "$(date +%s)" -lt "$_deadline" ]; do sleep 0.1; done
  kill -9 "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

_desktop_runs() {
  _state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) && [ -n "$_state" ] && [ "$_state" != Z ]
}

stop_desktop() {
  for _pid in ${COMPOSITOR_PID:-} ${STAND_IN_PID:-} ${SYSTEM_BUS_PID:-} ${DESKTOP_BUS_PID:-}; do
    _desktop_end "$_pid"
  done
  COMPOSITOR_PID=
  STAND_IN_PID=
  SYSTEM_BUS_PID=
  DESKTOP_BUS_PID=
  unset DBUS_SYSTEM_BUS_ADDRESS
  if [ -n "$_desktop_dir" ]; then
    rm -rf "$_desktop_dir"
    _desktop_dir=
  fi
  unset WAYLAND_DISPLAY
}

case $0 in
*desktops.sh)
  set -eu
  [ $# -gt 1 ] || { echo "usage: sh $0 mutter|kwin|gnome_shell COMMAND..." >&2; exit 2; }
  desktop=$1
  shift
  "start_$desktop" "$(dirname "$0")/../tests/e2e/tools" || { echo "SKIP: $desktop cannot run here" >&2; exit 77; }
  trap stop_desktop EXIT
  status=0
  as_desktop_user "$@" || status=$?
  exit "$status"
  ;;
esac
