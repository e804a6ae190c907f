# A KDE Plasma 5.27 session, headless, from Debian's packages, on one
# 1280x720 output, with PowerDevil (Plasma's power management) and
# ksmserver (its session manager):
#   start_plasma:     on Wayland: KWin (kwin_wayland --virtual) with its
#                     Xwayland. KWin hosts the screen locker there: it owns
#                     org.freedesktop.ScreenSaver (and org.kde.screensaver)
#                     and hands the holds taken through
#                     org.freedesktop.ScreenSaver.Inhibit to PowerDevil
#                     (org.kde.Solid.PowerManagement.PolicyAgent);
#   start_plasma_x11: on X11: a private Xvfb, kwin_x11 on it, and ksmserver,
#                     which hosts the screen locker there (the same names).
# It runs as an unprivileged user (nobody, when we are root) in a runtime
# directory (0700) of its own, which is its HOME too (so its own
# ~/.config), with a session bus of its own and a system bus of its own
# where a stand-in for logind answers (tests/e2e/tools/logind.py, session
# 1, its log $XDG_RUNTIME_DIR/logind.log): the screen locker asks logind for
# its session, tells it LockedHint and obeys its Unlock, as `loginctl
# unlock-session` sends it; nothing else unlocks a headless session (the
# greeter wants the user's password). PowerDevil finds no UPower there and
# goes on.
# KWin on Wayland runs from a plain copy of its binary, as in desktops.sh:
# the installed one carries a file capability (cap_sys_resource) that a
# process here may not be allowed to exec. Its Xwayland takes the first
# free display number on the machine, and has no Xauthority file (KWin
# gives its clients XAUTHORITY empty): it lets in the session's user only.
# The log of all of it is $XDG_RUNTIME_DIR/compositor.log.
#
# Sourced:  start_plasma TOOLS or start_plasma_x11 TOOLS (TOOLS: the tests'
#           tools, tests/e2e/tools) starts one and returns once KWin,
#           ksmserver, PowerDevil and the owner of
#           org.freedesktop.ScreenSaver are up; sets WAYLAND_DISPLAY (on
#           Wayland), DISPLAY, XAUTHORITY, XDG_RUNTIME_DIR,
#           DBUS_SESSION_BUS_ADDRESS, DBUS_SYSTEM_BUS_ADDRESS,
#           COMPOSITOR_PID (KWin), KSMSERVER_PID, POWERDEVIL_PID,
#           PLASMA_SESSION_TYPE (wayland or x11) and PLASMA_START_SECONDS
#           (how long the start took); fails when it cannot start.
#           scripts/desktops.sh's helpers work in it (as_desktop_user,
#           spawn_as_desktop_user: without DISPLAY); as_plasma_user
#           COMMAND... and spawn_as_plasma_user COMMAND... (SPAWNED: its
#           pid) run a client as the session's user with the session's
#           whole environment (DISPLAY, XDG_CURRENT_DESKTOP=KDE, ...).
#           plasma_lock locks the screen (as the user's Meta+L would);
#           plasma_unlock ends the lock through logind (as a password
#           would); both return once GetActive says so, or fail after
#           half a minute.
#           stop_plasma ends everything it started.
# Settings: PLASMA_NAME names the Wayland socket and the runtime directory
#           (pellavin-plasma);
#           PLASMA_DPMS_SECONDS: PowerDevil's profile turns the screen off
#           after that many seconds without input ("Screen Energy
#           Saving"); not set: PowerDevil's defaults (dim after 5 minutes,
#           screen off after 10, suspend after 15: logind's stand-in then
#           sends PrepareForSleep true and, a second later, false). On
#           Wayland KWin's virtual output cannot be turned off, so nothing
#           happens;
#           PLASMA_AUTOLOCK_MINUTES: the screen locker locks the screen
#           after that many minutes without input (not set: never).
# Run:      sh scripts/plasma.sh [--x11] COMMAND... runs COMMAND (as the
#           session's user, with its environment) in one, and exits with
#           its status, or with 77 (a skip to CTest) when it cannot start.

_plasma_dir=
_plasma_powerdevil=/usr/lib/x86_64-linux-gnu/libexec/org_kde_powerdevil

start_plasma() {
  _plasma_start wayland "$1"
}

start_plasma_x11() {
  _plasma_start x11 "$1"
}

_plasma_start() {
  PLASMA_SESSION_TYPE=$1
  _desktop_tools=$2
  if [ "$PLASMA_SESSION_TYPE" = wayland ]; then _plasma_needs="kwin_wayland Xwayland"; else _plasma_needs="kwin_x11 Xvfb"; fi
  for _command in $_plasma_needs ksmserver "$_plasma_powerdevil" dbus-daemon dbus-send python3; do
    command -v "$_command" >/dev/null 2>&1 || return 1
  done
  # shellcheck source=scripts/desktops.sh
  command -v _desktop_turn >/dev/null 2>&1 || . "$_desktop_tools/../../../scripts/desktops.sh"
  _plasma_name=${PLASMA_NAME:-pellavin-plasma}
  _plasma_dir=$(mktemp -d "${TMPDIR:-/tmp}/$_plasma_name.XXXXXX") || return 1
  _plasma_files
  [ "$PLASMA_SESSION_TYPE" = x11 ] || cp "$(command -v kwin_wayland)" "$_plasma_dir/kwin_wayland"
  [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$_plasma_dir"
  chmod 700 "$_plasma_dir"
  XDG_RUNTIME_DIR=$_plasma_dir
  DBUS_SESSION_BUS_ADDRESS=unix:path=$_plasma_dir/bus
  # Its configuration is its own, under its HOME (kscreenlockerrc above
  # among it): a browser that cannot make its own there loads no profile.
  unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
  WAYLAND_DISPLAY=
  DISPLAY=
  XAUTHORITY=
  export XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS
  spawn_as_desktop_user dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" >/dev/null 2>&1
  DESKTOP_BUS_PID=$SPAWNED
  _desktop_system_bus
  _plasma_wait 20 "the buses did not start" test -S "$_plasma_dir/bus" -a -S "$_plasma_dir/system_bus" || return 1
  spawn_as_desktop_user /usr/bin/python3 "$_desktop_tools/logind.py" --type "$PLASMA_SESSION_TYPE" \
    >"$_plasma_dir/logind.log" 2>&1
  STAND_IN_PID=$SPAWNED
  _plasma_wait 20 "the stand-in for logind did not start" _desktop_owned system org.freedesktop.login1 || return 1
  _desktop_turn
  _plasma_began=$(_plasma_now)
  if [ "$PLASMA_SESSION_TYPE" = wayland ]; then
    # KWin starts the program given after its options once Xwayland is
    # up, with DISPLAY and XAUTHORITY set: it writes them down.
    _plasma_session_env spawn_as_desktop_user "$_plasma_dir/kwin_wayland" --virtual --width 1280 --height 720 \
      --socket "$_plasma_name" --xwayland "$_plasma_dir/x11-env" >"$_plasma_dir/compositor.log" 2>&1
    COMPOSITOR_PID=$SPAWNED
    _plasma_wait 120 "KWin did not start" _plasma_kwin_up || { _desktop_turn_done; return 1; }
    WAYLAND_DISPLAY=$_plasma_name
    DISPLAY=$(sed -n 's/^DISPLAY=//p' "$_plasma_dir/x11.env")
    XAUTHORITY=$(sed -n 's/^XAUTHORITY=//p' "$_plasma_dir/x11.env")
    export WAYLAND_DISPLAY
  else
    # Xvfb takes the first free display number and says which on fd 3.
    # shellcheck disable=SC2016
    spawn_as_desktop_user sh -c 'exec Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$XDG_RUNTIME_DIR/display"' \
      >"$_plasma_dir/compositor.log" 2>&1
    _plasma_xvfb_pid=$SPAWNED
    _plasma_wait 60 "Xvfb did not start" test -s "$_plasma_dir/display" || { _desktop_turn_done; return 1; }
    DISPLAY=:$(cat "$_plasma_dir/display")
  fi
  export DISPLAY
  # What the session bus starts on demand (kglobalaccel on X11, say) gets
  # the session's variables too.
  as_desktop_user dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.UpdateActivationEnvironment \
    "dict:string:string:DISPLAY,$DISPLAY,XDG_CURRENT_DESKTOP,KDE,KDE_FULL_SESSION,true,KDE_SESSION_VERSION,5,XDG_SESSION_TYPE,$PLASMA_SESSION_TYPE${WAYLAND_DISPLAY:+,WAYLAND_DISPLAY,$WAYLAND_DISPLAY}" \
    >/dev/null || { _desktop_turn_done; stop_plasma; return 1; }
  if [ "$PLASMA_SESSION_TYPE" = x11 ]; then
    spawn_as_plasma_user kwin_x11 >>"$_plasma_dir/compositor.log" 2>&1
    COMPOSITOR_PID=$SPAWNED
    _plasma_wait 120 "KWin did not start" _desktop_owned session org.kde.KWin || { _desktop_turn_done; return 1; }
  fi
  spawn_as_plasma_user ksmserver >>"$_plasma_dir/compositor.log" 2>&1
  KSMSERVER_PID=$SPAWNED
  _plasma_qpa=wayland
  [ "$PLASMA_SESSION_TYPE" = wayland ] || _plasma_qpa=xcb
  spawn_as_plasma_user env QT_QPA_PLATFORM=$_plasma_qpa "$_plasma_powerdevil" >>"$_plasma_dir/compositor.log" 2>&1
  POWERDEVIL_PID=$SPAWNED
  _plasma_wait 120 "ksmserver, PowerDevil or the screen locker did not start" _plasma_up ||
    { _desktop_turn_done; return 1; }
  _desktop_turn_done
  PLASMA_START_SECONDS=$(echo "$_plasma_began $(_plasma_now)" | awk '{ printf "%.1f", $2 - $1 }')
}

# _plasma_files: the settings (in ~/.config), the system bus's
# configuration and the program that KWin starts on Wayland.
_plasma_files() {
  mkdir -p "$_plasma_dir/.config"
  _autolock=false
  [ -z "${PLASMA_AUTOLOCK_MINUTES:-}" ] || _autolock=true
  printf '[Daemon]\nAutolock=%s\nLockOnResume=false\nTimeout=%s\n' "$_autolock" "${PLASMA_AUTOLOCK_MINUTES:-5}" \
    >"$_plasma_dir/.config/kscreenlockerrc"
  if [ -n "${PLASMA_DPMS_SECONDS:-}" ]; then
    for _profile in AC Battery LowBattery; do
      printf '[%s]\nicon=battery-charging\n\n[%s][DPMSControl]\nidleTime=%s\nlockBeforeTurnOff=0\n\n' \
        "$_profile" "$_profile" "$PLASMA_DPMS_SECONDS"
    done >"$_plasma_dir/.config/powermanagementprofilesrc"
  fi
  # shellcheck disable=SC2016
  printf '#!/bin/sh\nenv >"$XDG_RUNTIME_DIR/x11.env.part" && mv "$XDG_RUNTIME_DIR/x11.env.part" "$XDG_RUNTIME_DIR/x11.env"\n' \
    >"$_plasma_dir/x11-env"
  chmod 755 "$_plasma_dir/x11-env"
}

# _plasma_session_env SPAWNER COMMAND...: the command with the variables
# of a Plasma session.
_plasma_session_env() {
  _spawner=$1
  shift
  "$_spawner" env XDG_CURRENT_DESKTOP=KDE XDG_SESSION_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5 \
    XDG_SESSION_TYPE="$PLASMA_SESSION_TYPE" KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 "$@"
}

as_plasma_user() {
  _plasma_session_env as_desktop_user ${DISPLAY:+DISPLAY=$DISPLAY} XAUTHORITY="$XAUTHORITY" "$@"
}

spawn_as_plasma_user() {
  _plasma_session_env spawn_as_desktop_user ${DISPLAY:+DISPLAY=$DISPLAY} XAUTHORITY="$XAUTHORITY" "$@"
}

_plasma_kwin_up() {
  [ -s "$_plasma_dir/x11.env" ] && _desktop_up "$_plasma_name" org.kde.KWin
}

_plasma_up() {
  _desktop_owned session org.kde.ksmserver && _desktop_owned session org.kde.Solid.PowerManagement &&
    _desktop_owned session org.freedesktop.ScreenSaver
}

_plasma_now() {
  cut -d ' ' -f 1 /proc/uptime
}

# plasma_lock, plasma_unlock: through org.freedesktop.ScreenSaver and
# logind's org.freedesktop.login1.Session.Unlock, as a user would.
plasma_lock() {
  as_desktop_user dbus-send --session --print-reply --dest=org.freedesktop.ScreenSaver /ScreenSaver \
    org.freedesktop.ScreenSaver.Lock >/dev/null || return 1
  _plasma_active_is true
}

plasma_unlock() {
  as_desktop_user dbus-send --system --print-reply --dest=org.freedesktop.login1 /org/freedesktop/login1/session/auto \
    org.freedesktop.login1.Session.Unlock >/dev/null || return 1
  _plasma_active_is false
}

_plasma_active_is() {
  _deadline=$(($(date +%s) + 30))
  until _desktop_ask session org.freedesktop.ScreenSaver /ScreenSaver org.freedesktop.ScreenSaver.GetActive |
    grep -q "boolean $1"; do
    [ "$(date +%s)" -lt "$_deadline" ] || return 1
    sleep 0.1
  done
}

# _plasma_wait SECONDS WHAT COMMAND...: runs the command every tenth of a
# second until it succeeds; after SECONDS, or once KWin (or Xvfb) has
# ended, says that WHAT failed, ends the session and fails.
_plasma_wait() {
  _deadline=$(($(date +%s) + $1))
  _what=$2
  shift 2
  until "$@"; do
    if [ "$(date +%s)" -ge "$_deadline" ] || { [ -n "${COMPOSITOR_PID:-}" ] && ! _desktop_runs "$COMPOSITOR_PID"; } ||
      { [ -n "${_plasma_xvfb_pid:-}" ] && ! _desktop_runs "$_plasma_xvfb_pid"; }; then
      echo "plasma.sh: $_what" >&2
      [ ! -s "$_plasma_dir/compositor.log" ] || { echo "its log ends:"; tail -n 30 "$_plasma_dir/compositor.log"; } >&2
      stop_plasma
      return 1
    fi
    sleep 0.1
  done
}

_plasma_processes() {
  for _environ in $({ grep -lsxzF "HOME=$_plasma_dir" /proc/[0-9]*/environ; } 2>/dev/null); do
    _pid=${_environ#/proc/}
    echo "${_pid%/environ}"
  done
}

# stop_plasma: ends PowerDevil, ksmserver, KWin (and its Xwayland), Xvfb,
# the stand-in and the buses, and then any process still running with
# this session's runtime directory as its HOME (those the session bus
# started) by its pid.
stop_plasma() {
  [ -n "$_plasma_dir" ] || return 0
  for _pid in ${POWERDEVIL_PID:-} ${KSMSERVER_PID:-} ${COMPOSITOR_PID:-} ${_plasma_xvfb_pid:-} ${STAND_IN_PID:-} \
    ${SYSTEM_BUS_PID:-} ${DESKTOP_BUS_PID:-}; do
    _desktop_end "$_pid"
  done
  for _pid in $(_plasma_processes); do kill "$_pid" 2>/dev/null || true; done
  sleep 1
  for _pid in $(_plasma_processes); do kill -9 "$_pid" 2>/dev/null || true; done
  POWERDEVIL_PID=
  KSMSERVER_PID=
  COMPOSITOR_PID=
  _plasma_xvfb_pid=
  STAND_IN_PID=
  SYSTEM_BUS_PID=
  DESKTOP_BUS_PID=
  unset WAYLAND_DISPLAY DISPLAY XAUTHORITY DBUS_SYSTEM_BUS_ADDRESS
  rm -rf "$_plasma_dir"
  _plasma_dir=
}

case $0 in
*plasma.sh)
  set -eu
  _plasma_starter=start_plasma
  [ "${1:-}" != --x11 ] || { _plasma_starter=start_plasma_x11; shift; }
  [ $# -gt 0 ] || { echo "usage: sh $0 [--x11] COMMAND..." >&2; exit 2; }
  # shellcheck source=scripts/desktops.sh
  . "$(dirname "$0")/desktops.sh"
  "$_plasma_starter" "$(dirname "$0")/../tests/e2e/tools" ||
    { echo "SKIP: a Plasma session cannot run here" >&2; exit 77; }
  trap stop_plasma EXIT
  echo "plasma.sh: started in $PLASMA_START_SECONDS s" >&2
  status=0
  as_plasma_user "$@" || status=$?
  exit "$status"
  ;;
esac
