# A whole GNOME 43 session, headless, as a user's login starts it, without
# a screen: gnome-session (builtin, no systemd) with its session of our
# own, "test", that starts GNOME Shell (Wayland, no X11, one virtual
# 1920x1080 monitor) and gnome-settings-daemon's screensaver proxy
# (org.freedesktop.ScreenSaver, whose holds land in the session manager's
# inhibitors) and power plugin. The session goes idle by itself after the
# idle delay given, and GNOME Shell brings its shield because of it.
# It runs as an unprivileged user (nobody, when we are root) in a runtime
# directory (0700) of its own, which is its HOME too (so its own dconf
# settings), with its own session bus and a system bus of its own, where
# stand-ins answer for what the machine lacks: logind, with the user's one
# session (tests/e2e/tools/logind.py; its log, $XDG_RUNTIME_DIR/logind.log,
# has every call, signal and change of a hint: "hint LockedHint true" once
# GNOME Shell has locked), and GDM (display_manager.py: without it GNOME
# Shell makes no shield; it takes the lock screen's password, "pellavin",
# and unlocks the session through logind, as GDM does). The log of the rest
# is $XDG_RUNTIME_DIR/compositor.log.
#
# Sourced:  start_gnome_session TOOLS IDLE_DELAY_SECONDS (TOOLS: the
#           tests' tools, tests/e2e/tools) starts one and returns once
#           GNOME Shell is up, has left the overview it starts in, and
#           org.freedesktop.ScreenSaver has its owner; sets WAYLAND_DISPLAY,
#           XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS,
#           DBUS_SYSTEM_BUS_ADDRESS, XDG_SESSION_ID, SESSION_PID
#           (gnome-session), STAND_IN_PID (GDM's), LOGIN_MANAGER_PID
#           (logind's) and SESSION_START_SECONDS (how long the start
#           took); fails when it cannot start. scripts/desktops.sh's
#           helpers work in it (as_desktop_user, spawn_as_desktop_user,
#           gnome_shield, gnome_screenshot).
#           gnome_unlock unlocks the locked shield as the user does: a key
#           wakes the password prompt, the password is taken, GNOME Shell
#           lowers the shield; returns once GetActive says false.
#           stop_gnome_session ends everything it started.
# Settings: GNOME_SESSION_TYPE=x11: GNOME Shell on X11 instead (gnome-shell
#           --x11, the window manager and compositor of a private Xvfb at
#           1920x1080, as GNOME on Xorg runs); sets DISPLAY, not
#           WAYLAND_DISPLAY, and leaves the overview with a key of its own
#           (XTEST);
#           GNOME_SESSION_PLUGINS=all starts every settings daemon plugin
#           of a real login, not only the two (heavier: a dozen more
#           processes); GNOME_SESSION_NAME names the Wayland socket and the
#           runtime directory (pellavin-gnome-session).
# Run:      sh scripts/gnome_session.sh IDLE_DELAY_SECONDS COMMAND... runs
#           COMMAND (as the session's user) in one, and exits with its
#           status, or with 77 (a skip to CTest) when it cannot start.

_gnome_session_dir=

start_gnome_session() {
  for _command in gnome-shell gnome-session /usr/libexec/gsd-screensaver-proxy /usr/libexec/gsd-power; do
    command -v "$_command" >/dev/null 2>&1 || return 1
  done
  _desktop_tools=$1
  # shellcheck source=scripts/desktops.sh
  command -v _desktop_turn >/dev/null 2>&1 || . "$_desktop_tools/../../../scripts/desktops.sh"
  _gnome_session_name=${GNOME_SESSION_NAME:-pellavin-gnome-session}
  _gnome_session_dir=$(mktemp -d "${TMPDIR:-/tmp}/$_gnome_session_name.XXXXXX") || return 1
  _gnome_session_files
  [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$_gnome_session_dir"
  chmod 700 "$_gnome_session_dir"
  XDG_RUNTIME_DIR=$_gnome_session_dir
  DBUS_SESSION_BUS_ADDRESS=unix:path=$_gnome_session_dir/bus
  WAYLAND_DISPLAY=
  XDG_SESSION_ID=pellavin
  # The session keeps its settings in its own home, whatever the caller's are.
  unset XDG_CONFIG_HOME
  export XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS XDG_SESSION_ID
  spawn_as_desktop_user dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" >/dev/null 2>&1
  DESKTOP_BUS_PID=$SPAWNED
  _desktop_system_bus
  _gnome_session_wait 20 "the buses did not start" _gnome_buses_up || return 1
  _gnome_session_type=${GNOME_SESSION_TYPE:-wayland}
  spawn_as_desktop_user /usr/bin/python3 "$_desktop_tools/logind.py" --id "$XDG_SESSION_ID" --type "$_gnome_session_type" \
    >"$_gnome_session_dir/logind.log" 2>&1
  LOGIN_MANAGER_PID=$SPAWNED
  spawn_as_desktop_user /usr/bin/python3 "$_desktop_tools/display_manager.py" \
    >"$_gnome_session_dir/compositor.log" 2>&1
  STAND_IN_PID=$SPAWNED
  _gnome_session_wait 20 "the stand-ins for logind and GDM did not start" _gnome_stand_ins_up || return 1
  # Through dconf's own service on the session bus, as the user would.
  as_desktop_user gsettings set org.gnome.desktop.session idle-delay "$2"
  if ! as_desktop_user gsettings get org.gnome.desktop.session idle-delay | grep -qx "uint32 $2"; then
    echo "gnome_session.sh: the idle delay could not be set" >&2
    stop_gnome_session
    return 1
  fi
  _desktop_turn
  _gnome_session_began=$(_gnome_session_now)
  _gnome_display=
  if [ "$_gnome_session_type" = x11 ]; then
    # Xvfb takes the first free display number and says which on fd 3.
    # shellcheck disable=SC2016
    spawn_as_desktop_user sh -c 'exec Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$XDG_RUNTIME_DIR/display"' \
      >>"$_gnome_session_dir/compositor.log" 2>&1
    _gnome_xvfb_pid=$SPAWNED
    _gnome_session_wait 60 "Xvfb did not start" test -s "$_gnome_session_dir/display" || { _desktop_turn_done; return 1; }
    DISPLAY=:$(cat "$_gnome_session_dir/display")
    export DISPLAY
    _gnome_display=DISPLAY=$DISPLAY
  fi
  # SHELL unset: with it, gnome-session starts itself again in a login shell.
  # shellcheck disable=SC2086
  spawn_as_desktop_user env -u SHELL XDG_SESSION_TYPE="$_gnome_session_type" XDG_CURRENT_DESKTOP=GNOME \
    XDG_SESSION_DESKTOP=gnome $_gnome_display DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" \
    gnome-session --builtin --session=test $_gnome_session_autostart >>"$_gnome_session_dir/compositor.log" 2>&1
  SESSION_PID=$SPAWNED
  _gnome_session_wait 120 "GNOME Shell did not start in the session" _gnome_session_up ||
    { _desktop_turn_done; return 1; }
  if [ "$_gnome_session_type" = wayland ]; then
    WAYLAND_DISPLAY=$_gnome_session_name
    export WAYLAND_DISPLAY
  fi
  _gnome_session_wait 60 "GNOME Shell stays in its overview" _gnome_left_overview || { _desktop_turn_done; return 1; }
  _gnome_session_wait 60 "nothing owns org.freedesktop.ScreenSaver" \
    _desktop_owned session org.freedesktop.ScreenSaver || { _desktop_turn_done; return 1; }
  _desktop_turn_done
  SESSION_START_SECONDS=$(echo "$_gnome_session_began $(_gnome_session_now)" | awk '{ printf "%.1f", $2 - $1 }')
}

# _gnome_session_files: the session, the shell it starts, the autostart
# entries, the system bus's configuration.
_gnome_session_files() {
  mkdir -p "$_gnome_session_dir/.config/gnome-session/sessions" "$_gnome_session_dir/.local/share/applications"
  printf '[GNOME Session]\nName=Test session\nRequiredComponents=%s\n' \
    'org.gnome.Shell.Headless;org.gnome.SettingsDaemon.ScreensaverProxy;org.gnome.SettingsDaemon.Power;' \
    >"$_gnome_session_dir/.config/gnome-session/sessions/test.session"
  _gnome_shell="gnome-shell --headless --wayland --no-x11 --virtual-monitor 1920x1080 --wayland-display=$_gnome_session_name"
  [ "${GNOME_SESSION_TYPE:-wayland}" = wayland ] || _gnome_shell="gnome-shell --x11 --replace"
  printf '[Desktop Entry]\nType=Application\nName=GNOME Shell, headless\nExec=%s\n%s\n' "$_gnome_shell" \
    'X-GNOME-Autostart-Phase=DisplayServer
X-GNOME-Provides=windowmanager;panel
X-GNOME-AutoRestart=false
NoDisplay=true' >"$_gnome_session_dir/.local/share/applications/org.gnome.Shell.Headless.desktop"
  # Only the two plugins, unless all are asked for: gnome-session then
  # reads its autostart entries from this directory alone.
  _gnome_session_autostart=
  if [ "${GNOME_SESSION_PLUGINS:-}" != all ]; then
    mkdir -p "$_gnome_session_dir/autostart"
    cp /etc/xdg/autostart/org.gnome.SettingsDaemon.ScreensaverProxy.desktop \
      /etc/xdg/autostart/org.gnome.SettingsDaemon.Power.desktop "$_gnome_session_dir/autostart/"
    _gnome_session_autostart=--autostart=$_gnome_session_dir/autostart
  fi
}

_gnome_buses_up() {
  [ -S "$_gnome_session_dir/bus" ] && [ -S "$_gnome_session_dir/system_bus" ]
}

_gnome_stand_ins_up() {
  _desktop_owned system org.freedesktop.login1 && _desktop_owned system org.gnome.DisplayManager
}

_gnome_session_now() {
  cut -d ' ' -f 1 /proc/uptime
}

# _gnome_session_wait SECONDS WHAT COMMAND...: runs the command every tenth
# of a second until it succeeds; after SECONDS, or once gnome-session has
# ended, says that WHAT failed, ends the session and fails.
_gnome_session_wait() {
  _deadline=$(($(date +%s) + $1))
  _what=$2
  shift 2
  until "$@"; do
    if [ "$(date +%s)" -ge "$_deadline" ] || { [ -n "${SESSION_PID:-}" ] && ! _desktop_runs "$SESSION_PID"; }; then
      echo "gnome_session.sh: $_what" >&2
      [ ! -s "$_gnome_session_dir/compositor.log" ] ||
        { echo "its log ends:"; tail -n 30 "$_gnome_session_dir/compositor.log"; } >&2
      stop_gnome_session
      return 1
    fi
    sleep 0.1
  done
}

# _gnome_session_up: whether GNOME Shell, the session's child, is up with
# its shield and in its overview; as in desktops.sh, a child it forked that
# hangs before its exec is ended.
_gnome_session_up() {
  COMPOSITOR_PID=$(ps -o pid=,comm= --ppid "$SESSION_PID" | awk '$2 == "gnome-shell" { print $1; exit }')
  [ -n "$COMPOSITOR_PID" ] || return 1
  ps -o pid=,etimes=,comm= --ppid "$COMPOSITOR_PID" | while read -r _pid _age _name; do
    [ "$_name" != gnome-shell ] || [ "$_age" -lt 2 ] || {
      echo "gnome_session.sh: GNOME Shell's child $_pid hangs before its exec; it is ended" >&2
      kill -9 "$_pid"
    }
  done
  if [ "$_gnome_session_type" = wayland ]; then
    _desktop_up "$_gnome_session_name" org.gnome.Shell.ScreenShield && _gnome_overview_is true
  else
    _desktop_owned session org.gnome.Shell.ScreenShield && _gnome_overview_is true
  fi
}

# gnome_unlock: a character's key raises the prompt (Shift does not, and
# Escape would take it away again), which opens its conversation with
# GDM's stand-in; SIGUSR1 there completes it, as the right password would,
# and GDM's unlock reaches GNOME Shell through logind's. More characters in
# the prompt are harmless; the conversation may take a few seconds on a
# busy machine, so both are tried again.
gnome_unlock() {
  _deadline=$(($(date +%s) + 60))
  until _desktop_ask session org.gnome.Shell.ScreenShield /org/gnome/ScreenSaver org.gnome.ScreenSaver.GetActive |
    grep -q "boolean false"; do
    [ "$(date +%s)" -lt "$_deadline" ] || return 1
    _gnome_key x
    sleep 1
    kill -USR1 "$STAND_IN_PID"
    sleep 1
  done
}

# stop_gnome_session: every process of the session, known by its HOME
# (this session's runtime directory; the test's own processes have
# another), those that the session bus or GNOME Shell started too, is told
# to end at once, and ended by force after five seconds; by its pid.
stop_gnome_session() {
  [ -n "$_gnome_session_dir" ] || return 0
  _pids=$(_gnome_session_processes)
  # shellcheck disable=SC2086
  [ -z "$_pids" ] || kill $_pids 2>/dev/null || true
  _deadline=$(($(date +%s) + 5))
  while [ -n "$(_gnome_session_processes)" ] && [ "$(date +%s)" -lt "$_deadline" ]; do sleep 0.1; done
  for _pid in $(_gnome_session_processes); do kill -9 "$_pid" 2>/dev/null || true; done
  for _pid in ${SESSION_PID:-} ${STAND_IN_PID:-} ${LOGIN_MANAGER_PID:-} ${SYSTEM_BUS_PID:-} ${DESKTOP_BUS_PID:-} \
    ${_gnome_xvfb_pid:-}; do
    wait "$_pid" 2>/dev/null || true
  done
  SESSION_PID=
  COMPOSITOR_PID=
  STAND_IN_PID=
  LOGIN_MANAGER_PID=
  SYSTEM_BUS_PID=
  DESKTOP_BUS_PID=
  _gnome_xvfb_pid=
  unset DBUS_SYSTEM_BUS_ADDRESS WAYLAND_DISPLAY XDG_SESSION_ID
  [ "${_gnome_session_type:-wayland}" = wayland ] || unset DISPLAY
  rm -rf "$_gnome_session_dir"
  _gnome_session_dir=
}

# One grep over every process, silent about those that end meanwhile or that
# are not ours to read.
_gnome_session_processes() {
  for _environ in $({ grep -lsxzF "HOME=$_gnome_session_dir" /proc/[0-9]*/environ; } 2>/dev/null); do
    _pid=${_environ#/proc/}
    echo "${_pid%/environ}"
  done
}

case $0 in
*gnome_session.sh)
  set -eu
  [ $# -gt 1 ] || { echo "usage: sh $0 IDLE_DELAY_SECONDS COMMAND..." >&2; exit 2; }
  # shellcheck source=scripts/desktops.sh
  . "$(dirname "$0")/desktops.sh"
  idle_delay=$1
  shift
  start_gnome_session "$(dirname "$0")/../tests/e2e/tools" "$idle_delay" ||
    { echo "SKIP: a GNOME session cannot run here" >&2; exit 77; }
  trap stop_gnome_session EXIT
  echo "gnome_session.sh: started in $SESSION_START_SECONDS s" >&2
  status=0
  as_desktop_user "$@" || status=$?
  exit "$status"
  ;;
esac
