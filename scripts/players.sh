# Films played as a user plays one, for the scenarios where a player holds
# the desktop's idleness off: a generated film (tests/e2e/tools/film_y4m.py,
# 160x120 YUV4MPEG2 at 10 frames a second, which needs no codec), made as
# the player reads it from a FIFO, so that it lasts exactly the seconds
# asked for and costs no disk; the player quits at its end.
#
# What each player holds while the film plays (measured with mpv 0.35 and
# VLC 3.0 on Debian 12):
#   mpv on X11 (--vo=x11): XScreenSaverSuspend(True) as the first frame
#     shows, then XResetScreenSaver (ForceScreenSaver Reset) at once and every
#     10 s; XScreenSaverSuspend(False) at the film's end (or on pause). The X
#     server sets its idle time (IDLETIME) back to 0 when the last
#     suspension goes, whether asked for or by the client's going (even on
#     SIGKILL). No D-Bus at all.
#   VLC on X11 (cvlc, --vout=xcb_x11): nothing on the X server. When its
#     video window opens, and only then, it looks for an owner of
#     org.freedesktop.ScreenSaver on the session bus (NameHasOwner) and calls
#     Inhibit("vlc", "Playing some media.") on the path /ScreenSaver (not
#     /org/freedesktop/ScreenSaver); UnInhibit(cookie) at the end or on
#     SIGTERM, nothing on SIGKILL. With no owner it tries
#     xdg-screensaver, which Debian's VLC does not bring. VLC refuses to run
#     as root: as root it runs as nobody, so the session bus, if any, must
#     let nobody in.
#   mpv in sway (--vo=wlshm, as the compositor's user): a
#     zwp_idle_inhibitor_v1 on its surface while it plays (swaymsg -t
#     get_tree: "inhibit_idle": true); sway 1.7 then stops its
#     org_kde_kwin_idle timers and starts them afresh, from zero, when the
#     inhibitor goes.
#
# Sourced after scripts/xvfb.sh (and scripts/sway.sh for play_film_sway):
#   play_film_x11 SECONDS [mpv|vlc]: a film on $DISPLAY, mpv by default;
#     sets PLAYER_PID, the player's own process.
#   play_film_sway SECONDS: mpv in the sway session; sets PLAYER_PID.
#   wait_player_shown [SECONDS]: returns once the player's window shows (in
#     sway: once its inhibitor is there too), or fails after SECONDS (10).
#   player_playing: whether the player still runs.
#   stop_player: ends the player (SIGTERM) and the film's writer, and waits
#     for both.
# PLAYER_LOG (/dev/null by default) takes the player's output; PLAYER_ARGS,
# more arguments for it (e.g. "--fs" for mpv); PLAYER_FILM_TOOL, the film's
# writer (tests/e2e/tools/film_y4m.py beside the sourcing scenario).

PLAYER_PID=
_player_kind=
_player_dir=
_player_writer=

# _player_film SECONDS: a FIFO that a writer fills with the film once a
# player opens it; sets _player_dir and _player_writer.
_player_film() {
  _player_tool=${PLAYER_FILM_TOOL:-$(dirname "$0")/tools/film_y4m.py}
  [ -r "$_player_tool" ] || { echo "players.sh: no film writer at $_player_tool" >&2; return 1; }
  _player_dir=$(mktemp -d) || return 1
  chmod 755 "$_player_dir"
  mkfifo -m 644 "$_player_dir/film.y4m" || return 1
  /usr/bin/python3 "$_player_tool" "$_player_dir/film.y4m" "$1" >/dev/null 2>&1 &
  _player_writer=$!
}

play_film_x11() {
  _player_kind=${2:-mpv}
  _player_film "$1" || return 1
  case $_player_kind in
  mpv)
    # shellcheck disable=SC2086
    mpv --no-config --no-terminal --vo=x11 --ao=null ${PLAYER_ARGS:-} "$_player_dir/film.y4m" \
      >"${PLAYER_LOG:-/dev/null}" 2>&1 &
    ;;
  vlc)
    # VLC opens a FIFO given by name twice, and hangs on the second: it reads
    # the film from its standard input instead.
    mkdir "$_player_dir/home"
    chmod 700 "$_player_dir/home"
    if [ "$(id -u)" -eq 0 ]; then
      chown nobody "$_player_dir/home"
      _player_as="setpriv --reuid=nobody --regid=nogroup --clear-groups --"
    else
      _player_as=
    fi
    # shellcheck disable=SC2086
    $_player_as env HOME="$_player_dir/home" XDG_RUNTIME_DIR="$_player_dir/home" \
      cvlc --no-audio --vout=xcb_x11 --play-and-exit ${PLAYER_ARGS:-} - \
      <"$_player_dir/film.y4m" >"${PLAYER_LOG:-/dev/null}" 2>&1 &
    ;;
  *)
    echo "players.sh: no player $_player_kind (mpv or vlc)" >&2
    stop_player
    return 1
    ;;
  esac
  PLAYER_PID=$!
}

play_film_sway() {
  _player_kind=sway
  _player_film "$1" || return 1
  # shellcheck disable=SC2086
  spawn_as_wayland_user mpv --no-config --no-terminal --vo=wlshm --ao=null ${PLAYER_ARGS:-} "$_player_dir/film.y4m" \
    >"${PLAYER_LOG:-/dev/null}" 2>&1
  PLAYER_PID=$SPAWNED
}

player_playing() {
  [ -n "$PLAYER_PID" ] && kill -0 "$PLAYER_PID" 2>/dev/null
}

_player_shown() {
  case $_player_kind in
  mpv) [ -n "$(xdotool search --onlyvisible --pid "$PLAYER_PID" 2>/dev/null)" ] ;;
  # VLC's window carries no _NET_WM_PID.
  vlc) [ -n "$(xdotool search --onlyvisible --class '^vlc$' 2>/dev/null)" ] ;;
  sway) as_wayland_user swaymsg -t get_tree 2>/dev/null | grep -q '"inhibit_idle": true' ;;
  *) return 1 ;;
  esac
}

wait_player_shown() {
  _player_tries=$(( ${1:-10} * 10 ))
  until _player_shown; do
    player_playing || return 1
    _player_tries=$((_player_tries - 1))
    [ "$_player_tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

stop_player() {
  if [ -n "$PLAYER_PID" ]; then
    kill "$PLAYER_PID" 2>/dev/null || true
    wait "$PLAYER_PID" 2>/dev/null || true
    PLAYER_PID=
  fi
  if [ -n "$_player_writer" ]; then
    # A writer whose player never opened the FIFO waits for one for ever.
    kill "$_player_writer" 2>/dev/null || true
    wait "$_player_writer" 2>/dev/null || true
    _player_writer=
  fi
  if [ -n "$_player_dir" ]; then
    rm -rf "$_player_dir"
    _player_dir=
  fi
}
