# The other desktops Debian 12 ships, each a whole X11 session as a user's
# login starts it, headless: Cinnamon 5.6, MATE 1.26, Xfce 4.18 (with
# xscreensaver as its locker) and LXQt 1.2 (the same). Each runs as an
# unprivileged user (nobody, when we are root) whose HOME is a fresh
# runtime directory (0700), on the X server DISPLAY names, with a session bus that can
# start only that desktop's own services (with several desktops installed,
# their lockers would start in each other's sessions) and a system bus of
# its own with logind's stand-in (tests/e2e/tools/logind.py). Its session
# manager starts its own components, then the autostart entries of
# ~/.config/autostart. Its log, the session manager's stderr (where the
# autostart programs write too), is $XDG_RUNTIME_DIR/session.log.
#
# Sourced after scripts/desktops.sh:
#   x11_desktop_prepare cinnamon|mate|xfce|lxqt TOOLS (the tests' tools,
#     tests/e2e/tools): the runtime directory and the buses, the user let
#     into the X server; sets XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS,
#     DBUS_SYSTEM_BUS_ADDRESS and DESKTOP_CURRENT (its XDG_CURRENT_DESKTOP).
#   autostart NAME COMMAND... then puts an entry into the session's
#     autostart;
#   start_x11_desktop IDLE_SECONDS starts the session, whose own blank and
#     lock come after IDLE_SECONDS without input (whole minutes on MATE),
#     and returns once its session manager and its locker are up; sets
#     SESSION_PID and X11_DESKTOP_START_SECONDS.
#   as_session_user COMMAND... runs a client as the session's user with the
#     session's environment; spawn_as_session_user in the background
#     (SPAWNED: its pid).
#   desktop_lock locks the screen as the desktop's own command does, and
#     desktop_locked says whether its locker says so.
#   stop_x11_desktop ends every process that carries the session's runtime
#     directory.

_x11_desktop_dir=
_x11_desktop=

# The desktop's own D-Bus services, the only ones its bus may start.
_x11_desktop_services() {
  echo ca.desrt.dconf.service org.a11y.Bus.service
  case $1 in
  cinnamon) echo org.cinnamon.ScreenSaver.service ;;
  mate) echo org.mate.ScreenSaver.service ;;
  xfce) echo org.xfce.Xfconf.service ;;
  esac
}

_x11_desktop_current() {
  case $1 in
  cinnamon) echo X-Cinnamon ;;
  mate) echo MATE ;;
  xfce) echo XFCE ;;
  lxqt) echo LXQt ;;
  esac
}

_x11_desktop_env() {
  echo HOME="$XDG_RUNTIME_DIR" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" DISPLAY="$DISPLAY" \
    DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" \
    XDG_SESSION_ID=1 XDG_SESSION_TYPE=x11 XDG_SESSION_CLASS=user XDG_CURRENT_DESKTOP="$DESKTOP_CURRENT" \
    XDG_SESSION_DESKTOP="$_x11_desktop" DESKTOP_SESSION="$_x11_desktop" ${PELLAVIN_IDLE_MINUTE_MS:+PELLAVIN_IDLE_MINUTE_MS=$PELLAVIN_IDLE_MINUTE_MS}
}

as_session_user() {
  # shellcheck disable=SC2046
  $(_desktop_user_prefix) env -i PATH=/usr/bin:/bin $(_x11_desktop_env) "$@"
}

spawn_as_session_user() {
  # shellcheck disable=SC2046
  (exec $(_desktop_user_prefix) env -i PATH=/usr/bin:/bin $(_x11_desktop_env) "$@") &
  SPAWNED=$!
}

# autostart NAME COMMAND...: an entry the session manager starts.
autostart() {
  _name=$1
  shift
  mkdir -p "$XDG_RUNTIME_DIR/.config/autostart"
  printf '[Desktop Entry]\nType=Application\nName=%s\nExec=%s\n' "$_name" "$*" \
    >"$XDG_RUNTIME_DIR/.config/autostart/$_name.desktop"
  [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$XDG_RUNTIME_DIR/.config"
}

# x11_desktop_prepare cinnamon|mate|xfce|lxqt: the runtime directory, the
# server and the buses, before the session's files go in.
x11_desktop_prepare() {
  _x11_desktop=$1
  _desktop_tools=$2
  DESKTOP_CURRENT=$(_x11_desktop_current "$1")
  _x11_desktop_dir=$(mktemp -d "${TMPDIR:-/tmp}/pellavin-$1.XXXXXX") || return 1
  XDG_RUNTIME_DIR=$_x11_desktop_dir
  DBUS_SESSION_BUS_ADDRESS=unix:path=$_x11_desktop_dir/bus
  # Its configuration is its own, under its HOME.
  unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
  export XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS DESKTOP_CURRENT
  mkdir "$_x11_desktop_dir/services"
  for _service in $(_x11_desktop_services "$1"); do
    cp "/usr/share/dbus-1/services/$_service" "$_x11_desktop_dir/services/"
  done
  sed -e "s|<standard_session_servicedirs */>|<servicedir>$_x11_desktop_dir/services</servicedir>|" \
    -e "s|<listen>.*</listen>|<listen>$DBUS_SESSION_BUS_ADDRESS</listen>|" \
    /usr/share/dbus-1/session.conf >"$_x11_desktop_dir/session-bus.conf"
  [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$_x11_desktop_dir"
  chmod 700 "$_x11_desktop_dir"
  xhost +si:localuser:nobody >/dev/null 2>&1 || true
  spawn_as_desktop_user dbus-daemon --config-file="$_x11_desktop_dir/session-bus.conf" --nofork >/dev/null 2>&1
  _desktop_system_bus
  _desktop_wait 20 "the buses did not start" test -S "$_x11_desktop_dir/bus" -a -S "$_x11_desktop_dir/system_bus" ||
    return 1
  spawn_as_desktop_user /usr/bin/python3 "$_desktop_tools/logind.py" --type x11 --display "$DISPLAY" \
    >"$_x11_desktop_dir/logind.log" 2>&1
  _desktop_wait 20 "the stand-in for logind did not start" _desktop_owned system org.freedesktop.login1
}

_x11_desktop_settings() {
  _idle=$2
  mkdir -p "$XDG_RUNTIME_DIR/.config/dconf"
  [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$XDG_RUNTIME_DIR/.config"
  case $1 in
  cinnamon)
    mkdir -p "$XDG_RUNTIME_DIR/.config/cinnamon-session/sessions" "$XDG_RUNTIME_DIR/.local/share/applications"
    printf '[Cinnamon Session]\nName=Cinnamon, headless\nRequiredComponents=test-muffin;org.cinnamon.ScreenSaver;\nDesktopName=X-Cinnamon\n' \
      >"$XDG_RUNTIME_DIR/.config/cinnamon-session/sessions/headless.session"
    printf '[Desktop Entry]\nType=Application\nName=Muffin\nExec=muffin --x11 --replace\nX-GNOME-Autostart-Phase=WindowManager\nX-GNOME-Provides=windowmanager\nX-GNOME-AutoRestart=false\n' \
      >"$XDG_RUNTIME_DIR/.local/share/applications/test-muffin.desktop"
    _x11_desktop_gsettings org.cinnamon.desktop.session idle-delay "$_idle" \
      org.cinnamon.desktop.screensaver lock-enabled true org.cinnamon.desktop.screensaver lock-delay 0
    ;;
  mate)
    _x11_desktop_gsettings org.mate.session required-components-list "['windowmanager']" \
      org.mate.session idle-delay $(((_idle + 59) / 60)) org.mate.screensaver lock-enabled true \
      org.mate.screensaver idle-activation-enabled true org.mate.screensaver lock-delay 0 \
      org.mate.screensaver mode blank-only
    ;;
  xfce | lxqt)
    printf 'mode: blank\nlock: True\nlockTimeout: 0:00:00\ntimeout: 0:%02d:%02d\ncycle: 0:00:00\nsplash: False\nfade: False\nunfade: False\ndpmsEnabled: False\nverbose: True\n' \
      $((_idle / 60)) $((_idle % 60)) >"$XDG_RUNTIME_DIR/.xscreensaver"
    if [ "$1" = lxqt ]; then
      mkdir -p "$XDG_RUNTIME_DIR/.config/lxqt"
      printf '[General]\nwindow_manager=openbox\n' >"$XDG_RUNTIME_DIR/.config/lxqt/session.conf"
    fi
    ;;
  esac
  [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$XDG_RUNTIME_DIR"
}

# _x11_desktop_gsettings SCHEMA KEY VALUE...: into the user's dconf, through its bus.
_x11_desktop_gsettings() {
  while [ $# -ge 3 ]; do
    as_session_user gsettings set "$1" "$2" "$3" || return 1
    shift 3
  done
}

_x11_desktop_command() {
  case $1 in
  cinnamon) echo cinnamon-session --session headless ;;
  mate) echo mate-session --disable-acceleration-check ;;
  xfce) echo startxfce4 ;;
  lxqt) echo startlxqt ;;
  esac
}

# What says the session is up: its session manager's name, and its locker.
_x11_desktop_up() {
  case $_x11_desktop in
  cinnamon) _desktop_owned session org.gnome.SessionManager && _desktop_owned session org.freedesktop.ScreenSaver ;;
  mate) _desktop_owned session org.gnome.SessionManager && _desktop_owned session org.mate.ScreenSaver ;;
  xfce) _desktop_owned session org.xfce.SessionManager && _desktop_owned session org.jwz.XScreenSaver ;;
  lxqt) _desktop_owned session org.lxqt.session && _desktop_owned session org.jwz.XScreenSaver ;;
  esac
}

start_x11_desktop() {
  _x11_desktop_settings "$_x11_desktop" "$1" || return 1
  _desktop_turn
  _x11_desktop_began=$(date +%s)
  # shellcheck disable=SC2046
  spawn_as_session_user $(_x11_desktop_command "$_x11_desktop") >"$XDG_RUNTIME_DIR/session.log" 2>&1
  SESSION_PID=$SPAWNED
  _desktop_wait 120 "$_x11_desktop's session did not come up" _x11_desktop_up || { _desktop_turn_done; return 1; }
  _desktop_turn_done
  X11_DESKTOP_START_SECONDS=$(($(date +%s) - _x11_desktop_began))
}

desktop_lock() {
  case $_x11_desktop in
  cinnamon) as_session_user cinnamon-screensaver-command --lock ;;
  mate) as_session_user mate-screensaver-command --lock ;;
  xfce | lxqt) as_session_user xscreensaver-command -lock ;;
  esac >/dev/null 2>&1
}

desktop_locked() {
  case $_x11_desktop in
  cinnamon) _desktop_ask session org.cinnamon.ScreenSaver /org/cinnamon/ScreenSaver org.cinnamon.ScreenSaver.GetActive ;;
  mate) _desktop_ask session org.mate.ScreenSaver /org/mate/ScreenSaver org.mate.ScreenSaver.GetActive ;;
  xfce | lxqt) xprop -root _SCREENSAVER_STATUS | grep -q '= [1-9]' && echo 'boolean true' ;;
  esac | grep -q 'boolean true'
}

stop_x11_desktop() {
  [ -n "$_x11_desktop_dir" ] || return 0
  # Every process of the session: its runtime directory is in each one's environment.
  for _pid in $(grep -l -s -F "XDG_RUNTIME_DIR=$_x11_desktop_dir" /proc/[0-9]*/environ | cut -d/ -f3); do
    kill "$_pid" 2>/dev/null || true
  done
  sleep 0.5
  for _pid in $(grep -l -s -F "XDG_RUNTIME_DIR=$_x11_desktop_dir" /proc/[0-9]*/environ | cut -d/ -f3); do
    kill -KILL "$_pid" 2>/dev/null || true
  done
  rm -rf "$_x11_desktop_dir"
  _x11_desktop_dir=
}
